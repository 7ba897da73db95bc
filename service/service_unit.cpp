#include "service/service_unit.h"

#include "service/service_names.h"

namespace quel {

bool ExecStartWord(const std::string& path, std::string& word)
{
    bool quote = false;
    std::string escaped;
    for (char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\n' || c == '\r' || c == '\0')
            return false;
        if (c == '%')
            escaped += "%%";
        else if (c == '$')
            escaped += "$$";
        else if (c == '\\' || c == '"')
            escaped += std::string("\\") + c, quote = true;
        else
            escaped += c;
        if (u <= ' ' || c == '\'' || c == ';' || u >= 0x7F)
            quote = true;
    }
    word = quote ? "\"" + escaped + "\"" : escaped;
    return !path.empty();
}

std::string ServiceUnitText(const std::string& programPath)
{
    std::string exec;
    ExecStartWord(programPath, exec);
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
