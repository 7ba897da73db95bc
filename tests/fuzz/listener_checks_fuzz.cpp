// The metrics listener's password check, as prometheus-cpp calls it for every request with an
// Authorization header: an input is the decoded "user:password". Only a known user with their
// own password is let in (a password that merely starts with it is not, a NUL byte included).

#include "fuzz_support.h"
#include "service/metrics/listener_checks.h"

#include <crypt.h>

#include <map>
#include <memory>
#include <string>

namespace quel::fuzz {
namespace {

// bcrypt of the lowest cost, so that a check costs about a millisecond.
std::string Hash(const std::string& password)
{
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    auto data = std::make_unique<crypt_data>();
    if (!crypt_gensalt_rn("$2b$", 4, nullptr, 0, salt, sizeof salt))
        Finding("cannot make a bcrypt salt");
    const char* hash = crypt_r(password.c_str(), salt, data.get());
    if (!hash || hash[0] == '*')
        Finding("cannot make a bcrypt hash");
    return hash;
}

const std::map<std::string, std::string>& Passwords()
{
    static const std::map<std::string, std::string> passwords {
        {"prometheus", "s3cret"}, {"Grafana Agent", ""}, {"\xc3\xa4rger", "p:w"}};
    return passwords;
}

PasswordCheck& Check()
{
    static PasswordCheck check([] {
        std::map<std::string, std::string> users;
        for (const auto& [user, password] : Passwords())
            users.emplace(user, Hash(password));
        return users;
    }());
    return check;
}

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quel::fuzz;
    // As the Basic scheme splits it: the user name ends at the first colon.
    const std::string text(AsText(data, size));
    const std::size_t colon = text.find(':');
    const std::string user = text.substr(0, colon);
    const std::string password = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    const auto known = Passwords().find(user);
    const bool right = known != Passwords().end() && known->second == password;
    if (Check().Authorized(user, password) != right)
        Finding(right ? "a right password refused" : "a wrong user or password let in");
    return 0;
}
