#include "service/service_unit.h"

#include "service/service_names.h"

namespace quel {

namespace {

// The length of the UTF-8 sequence that starts text[pos], or 0 when none does.
std::size_t Utf8Length(const std::string& text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF.
    const unsigned char second = length > 1 ? byte(pos + 1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

// Why systemd would refuse this character of a command, or nullptr.
const char* CommandCharProblem(unsigned char c)
{
    if (c == '\t')
        return "a tab";
    if (c == '\n' || c == '\r')
        return "a line break";
    if (c < 0x20 || c == 0x7F)
        return "a control character";
    if (c == '"' || c == '\'')
        return "a quote";
    if (c == '\\')
        return "a backslash";
    return nullptr;
}

} // namespace

bool ExecStartWord(const std::string& path, std::string& word, std::string& problem)
{
    if (path.empty() || path.front() != '/') {
        problem = "the path is not absolute";
        return false;
    }
    bool quote = false;
    std::string escaped;
    for (std::size_t pos = 0; pos < path.size();) {
        const std::size_t length = Utf8Length(path, pos);
        if (length == 0) {
            problem = "the path is not valid UTF-8";
            return false;
        }
        const unsigned char c = static_cast<unsigned char>(path[pos]);
        if (const char* what = length == 1 ? CommandCharProblem(c) : nullptr) {
            problem = std::string("the path holds ") + what + ", which systemd does not allow in a command";
            return false;
        }
        if (c == '%')
            escaped += '%';
        quote = quote || c == ' ' || c == ';';
        escaped.append(path, pos, length);
        pos += length;
    }
    word = quote ? "\"" + escaped + "\"" : escaped;
    return true;
}

std::string ServiceUnitText(const std::string& programPath)
{
    std::string exec;
    std::string problem;
    ExecStartWord(programPath, exec, problem);
    return std::string(
               "# Written by \"quelmondsrvc -install\"; \"quelmondsrvc -remove\" deletes it.\n"
               "[Unit]\n"
               "Description=Quellarimond performance counter logging service\n"
               "\n"
               "[Service]\n"
               "Type=notify\n"
               "NotifyAccess=main\n"
               "ExecStart=") + exec + "\n" +
           "# The usage lines the program prints before it connects are of no use in the journal.\n"
           "StandardOutput=null\n"
           "# The fallback log goes here when the program's folder is read-only.\n"
           "StateDirectory=quellarimond\n"
           "# Counters are read from /proc and /sys; logs go beside the profile (or to the state\n"
           "# folder), so the system folders are read-only and the rest stays writable.\n"
           "ProtectSystem=full\n"
           "PrivateTmp=yes\n"
           "PrivateDevices=yes\n"
           "ProtectKernelTunables=yes\n"
           "ProtectKernelModules=yes\n"
           "ProtectKernelLogs=yes\n"
           "ProtectControlGroups=yes\n"
           "ProtectClock=yes\n"
           "ProtectHostname=yes\n"
           "NoNewPrivileges=yes\n"
           "CapabilityBoundingSet=CAP_DAC_OVERRIDE CAP_DAC_READ_SEARCH\n"
           "# AF_UNIX for systemd's notifications and the system log; IPv4 and IPv6 for the /metrics\n"
           "# listener that [Service] MetricsListen opens (and for counters of other computers).\n"
           "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n"
           "RestrictNamespaces=yes\n"
           "RestrictRealtime=yes\n"
           "RestrictSUIDSGID=yes\n"
           "LockPersonality=yes\n"
           "MemoryDenyWriteExecute=yes\n"
           "SystemCallArchitectures=native\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

} // namespace quel
