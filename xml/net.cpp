// The socket operations of the HTTP transport that read the same on every
// socket layer.
#include "net_platform.h"

#include <cerrno>
#include <cstring>

namespace qvxml::net {

qv_socket_t tcp_socket() {
    if (qv_socket_startup() != 0) {
        errno = EIO;
        return QV_INVALID_SOCKET;
    }
    const qv_socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == QV_INVALID_SOCKET) {
        sys::fail_with_last();
    }
    return s;
}

int connect_start(qv_socket_t s, const char *ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, ip, &address.sin_addr) != 1) {
        errno = EINVAL;
        return -1;
    }
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        return 0;
    }
    return sys::last_connect_pending() ? 0 : sys::fail_with_last();
}

long transfer_result(long n) {
    if (n >= 0) {
        return n;
    }
    return sys::last_would_block() ? -2 : sys::fail_with_last();
}

int resolve_host(const char *host, char *ip_out) {
    if (qv_socket_startup() != 0) {
        return -1;
    }
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
