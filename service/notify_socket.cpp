#include "service/notify_socket.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace quel {

NotifySocket::NotifySocket()
{
    if (const char* address = std::getenv("NOTIFY_SOCKET"))
        address_ = address;
}

NotifySocket::NotifySocket(std::string address) : address_(std::move(address)) {}

bool NotifySocket::MakeAddress(const std::string& address, sockaddr_un& socketAddress, socklen_t& length)
{
    socketAddress = {};
    socketAddress.sun_family = AF_UNIX;
    if (address.size() < 2 || (address[0] != '/' && address[0] != '@')) {
        errno = EAFNOSUPPORT;
        return false;
    }
    if (address.size() > sizeof socketAddress.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(socketAddress.sun_path, address.data(), address.size());
    // An abstract name has no terminating NUL: its length is exactly the name's, counting the
    // leading NUL that stands for "@".
    if (address[0] == '@')
        socketAddress.sun_path[0] = '\0';
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address.size());
    return true;
}

bool NotifySocket::Send(const std::string& message) const
{
    if (address_.empty())
        return true;
    sockaddr_un socketAddress {};
    socklen_t length = 0;
    if (!MakeAddress(address_, socketAddress, length))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ssize_t sent = 0;
    do {
        sent = ::sendto(fd, message.data(), message.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&socketAddress), length);
    } while (sent < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    errno = error;
    return sent == static_cast<ssize_t>(message.size());
}

} // namespace quel
