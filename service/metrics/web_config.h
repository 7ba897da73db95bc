#pragma once
// The web configuration file of the metrics listener, in the YAML form the Prometheus
// exporters share:
//   basic_auth_users:          # user name: bcrypt hash ("$2b$", "$2y$", "$2a$")
//     prometheus: $2b$10$...
//   tls_server_config:
//     cert_file: server.crt
//     key_file: server.key
// Keys this listener does not know are refused, so that a setting is never silently ignored.

#include <map>
#include <string>

namespace quel {

struct WebConfig {
    std::map<std::string, std::string> users;  // name -> bcrypt hash
    bool tls = false;                          // a tls_server_config section is present
    std::string certFile;
    std::string keyFile;
};

// Parses the text of a web configuration file; false with a one-line reason.
bool ParseWebConfig(const std::string& text, WebConfig& config, std::string& reason);
// Reads and parses the file at path; false with a one-line reason naming the file.
bool ReadWebConfig(const std::string& path, WebConfig& config, std::string& reason);

// Whether password matches the bcrypt hash (through the system's crypt library).
bool PasswordMatches(const std::string& password, const std::string& hash);

} // namespace quel
