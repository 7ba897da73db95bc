// The metrics listener's web configuration file: an input is the file's text. A file that is
// taken holds only bcrypt hashes and, with TLS, both file names; one that is refused says why
// in one line.

#include "fuzz_support.h"
#include "service/metrics/web_config.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    quel::WebConfig config;
    std::string reason;
    if (quel::ParseWebConfig(text, config, reason)) {
        if (!reason.empty())
            quel::fuzz::Finding("a reason for a file that was taken");
        for (const auto& [user, hash] : config.users) {
            if (user.empty() || hash.size() != 60 || !hash.starts_with("$2"))
                quel::fuzz::Finding("a user without a bcrypt hash");
        }
        if (!config.tls && (!config.certFile.empty() || !config.keyFile.empty()))
            quel::fuzz::Finding("TLS files without a tls_server_config");
    } else if (reason.empty() || reason.find_first_of("\r\n") != std::string::npos) {
        quel::fuzz::Finding("a refusal that is not one line");
    }
    return 0;
}
