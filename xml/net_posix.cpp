// POSIX sockets for the HTTP transport.
#include "net.h"

#include "qvtext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace qvxml::net {

qv_socket_t tcp_socket() {
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

int connect_start(qv_socket_t s, const char *ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (ip == nullptr || !qv::parse_dotted_ipv4(ip, address.sin_addr.s_addr)) {
        errno = EINVAL;
        return -1;
    }
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        return 0;
    }
    return (errno == EINPROGRESS || errno == EWOULDBLOCK) ? 0 : -1;
}

int wait_round(qv_socket_t s, bool write, int seconds) {
    // poll instead of select: no FD_SETSIZE limit on the descriptor number.
    pollfd entry{};
    entry.fd = s;
    entry.events = write ? POLLOUT : POLLIN;
    const int result = ::poll(&entry, 1, seconds * 1000);
    if (result < 0) {
        return errno == EINTR ? 0 : -1;
    }
    if (result == 0) {
        return 0;
    }
    // An error or hang-up also ends the wait; the following call reports it.
    return 1;
}

int peer_connected(qv_socket_t s) {
    // The connect's own result (a refusal, an unreachable host) is the cause
    // to report, not the getpeername failure that follows from it.
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0) {
        errno = error;
        return -1;
    }
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    return ::getpeername(s, reinterpret_cast<sockaddr *>(&peer), &size) == 0 ? 0 : -1;
}

long receive_some(qv_socket_t s, char *buffer, size_t capacity) {
    const ssize_t n = ::recv(s, buffer, capacity, 0);
    if (n >= 0) {
        return static_cast<long>(n);
    }
    return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? -2 : -1;
}

long send_some(qv_socket_t s, const char *data, size_t length) {
    const ssize_t n = ::send(s, data, length, MSG_NOSIGNAL);
    if (n >= 0) {
        return static_cast<long>(n);
    }
    return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? -2 : -1;
}

int resolve_host(const char *host, char *ip_out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) {
        return -1;
    }
    const auto *address = reinterpret_cast<const sockaddr_in *>(list->ai_addr);
    char text[INET_ADDRSTRLEN] = {};
    const bool ok = inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr;
    ::freeaddrinfo(list);
    if (!ok) {
        return -1;
    }
    std::memset(ip_out, 0, 16);
    std::memcpy(ip_out, text, strnlen(text, 15));
    return 0;
}

} // namespace qvxml::net
