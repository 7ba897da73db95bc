#include "service/metrics/web_config.h"

#include <yaml-cpp/yaml.h>

#include <crypt.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>

namespace quel {
namespace {

// Larger than any real web configuration; keeps a wrong path (a disk image) from being read.
constexpr std::size_t MaxFileSize = 1 << 20;

// A name from the file as a message may show it: one line, printable, not too long.
std::string Shown(const std::string& text)
{
    std::string shown;
    for (const char c : text.substr(0, 64))
        shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    return "\"" + shown + (text.size() > 64 ? "...\"" : "\"");
}

// A message made of texts from the file (yaml-cpp quotes them too) kept to one line.
bool Refuse(std::string& reason)
{
    for (char& c : reason) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return false;
}

bool IsBcrypt(const std::string& hash)
{
    // "$2b$10$" then 53 characters of salt and hash; crypt_checksalt checks the alphabet.
    return hash.size() == 60 && (hash.starts_with("$2b$") || hash.starts_with("$2y$") || hash.starts_with("$2a$")) &&
           crypt_checksalt(hash.c_str()) == CRYPT_SALT_OK;
}

bool ParseUsers(const YAML::Node& node, WebConfig& config, std::string& reason)
{
    if (node.IsNull())
        return true;
    if (!node.IsMap()) {
        reason = "basic_auth_users is not a map of user names to bcrypt hashes";
        return false;
    }
    for (const auto& entry : node) {
        if (!entry.first.IsScalar() || !entry.second.IsScalar()) {
            reason = "basic_auth_users is not a map of user names to bcrypt hashes";
            return false;
        }
        const std::string name = entry.first.Scalar();
        const std::string hash = entry.second.Scalar();
        if (name.empty() || name.find(':') != std::string::npos) {
            reason = "the user name " + Shown(name) + " is empty or holds a colon";
            return false;
        }
        if (!IsBcrypt(hash)) {
            reason = "the password hash of user " + Shown(name) + " is not a bcrypt hash ($2b$, $2y$ or $2a$)";
            return false;
        }
        if (!config.users.emplace(name, hash).second) {
            reason = "the user " + Shown(name) + " is listed twice";
            return false;
        }
    }
    return true;
}

bool ParseTls(const YAML::Node& node, WebConfig& config, std::string& reason)
{
    config.tls = true;
    if (node.IsNull())
        return true;
    if (!node.IsMap()) {
        reason = "tls_server_config is not a map";
        return false;
    }
    static const std::set<std::string> unsupported = {"cert",          "key",         "client_auth_type",
                                                      "client_ca_file", "client_ca",  "client_allowed_sans",
                                                      "min_version",   "max_version", "cipher_suites",
                                                      "curve_preferences", "prefer_server_cipher_suites"};
    for (const auto& entry : node) {
        const std::string key = entry.first.IsScalar() ? entry.first.Scalar() : std::string();
        std::string* field = key == "cert_file" ? &config.certFile : key == "key_file" ? &config.keyFile : nullptr;
        if (!field) {
            reason = unsupported.count(key) ? "tls_server_config: " + key + " is not supported by this listener"
                                            : "tls_server_config: unknown key " + Shown(key);
            return false;
        }
        if (!entry.second.IsScalar() || entry.second.Scalar().empty()) {
            reason = "tls_server_config: " + key + " is not a file name";
            return false;
        }
        *field = entry.second.Scalar();
    }
    return true;
}

bool ParseWebConfigText(const std::string& text, WebConfig& config, std::string& reason)
{
    config = WebConfig();
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& problem) {
        reason = "not YAML (line " + std::to_string(problem.mark.line + 1) + ": " + problem.msg + ")";
        return false;
    }
    try {
        if (root.IsNull())
            return true;  // an empty file: no users, no TLS
        if (!root.IsMap()) {
            reason = "not a map of settings (basic_auth_users, tls_server_config)";
            return false;
        }
        for (const auto& entry : root) {
            const std::string key = entry.first.IsScalar() ? entry.first.Scalar() : std::string();
            bool good = true;
            if (key == "basic_auth_users")
                good = ParseUsers(entry.second, config, reason);
            else if (key == "tls_server_config")
                good = ParseTls(entry.second, config, reason);
            else if (key == "http_server_config")
                reason = "http_server_config is not supported by this listener", good = false;
            else
                reason = "unknown key " + Shown(key) + " (known: basic_auth_users, tls_server_config)", good = false;
            if (!good)
                return false;
        }
    } catch (const YAML::Exception& problem) {
        reason = "not a web configuration (" + problem.msg + ")";
        return false;
    }
    return true;
}

} // namespace

bool ParseWebConfig(const std::string& text, WebConfig& config, std::string& reason)
{
    return ParseWebConfigText(text, config, reason) || Refuse(reason);
}

bool ReadWebConfig(const std::string& path, WebConfig& config, std::string& reason)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        reason = "cannot read the web configuration " + path + ": " + std::strerror(errno);
        return Refuse(reason);
    }
    std::string text(MaxFileSize + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        reason = "cannot read the web configuration " + path + ": " + std::strerror(errno);
        return Refuse(reason);
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > MaxFileSize) {
        reason = "the web configuration " + path + " is larger than 1 MiB";
        return Refuse(reason);
    }
    if (!ParseWebConfig(text, config, reason)) {
        reason = "the web configuration " + path + ": " + reason;
        return Refuse(reason);
    }
    return true;
}

bool PasswordMatches(const std::string& password, const std::string& hash)
{
    if (password.find('\0') != std::string::npos)
        return false;
    auto data = std::make_unique<crypt_data>();  // about 32 KiB: not on a listener thread's stack
    const char* result = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (!result || result[0] == '*' || std::strlen(result) != hash.size())
        return false;
    unsigned char difference = 0;  // every byte compared: the time says nothing of where they differ
    for (std::size_t i = 0; i < hash.size(); ++i)
        difference |= static_cast<unsigned char>(result[i] ^ hash[i]);
    return difference == 0;
}

} // namespace quel
