#pragma once
// NotifySocket: the service manager's notification channel ($NOTIFY_SOCKET), one datagram per
// message. A name starting with "@" is an abstract socket; one starting with "/" a socket file.

#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace quel {

class NotifySocket {
public:
    // Takes the address from the environment variable NOTIFY_SOCKET.
    NotifySocket();
    explicit NotifySocket(std::string address);

    // Whether a channel was given at all (a unit of another type has none).
    bool Present() const { return !address_.empty(); }
    // Sends one datagram; true when there is no channel. On failure errno tells why.
    bool Send(const std::string& message) const;

    // Fills the socket address; false (errno set) for a form that is not supported.
    static bool MakeAddress(const std::string& address, sockaddr_un& socketAddress, socklen_t& length);

private:
    std::string address_;
};

} // namespace quel
