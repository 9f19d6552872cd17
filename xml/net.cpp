// The socket operations of the HTTP transport that read the same on every
// socket layer.
#include "net_platform.h"

#include "qvtext.h"

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
    if (ip == nullptr || !qv::parse_dotted_ipv4(ip, address.sin_addr.s_addr)) {
        errno = EINVAL;
        return -1;
    }
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        return 0;
    }
    return sys::last_connect_pending() ? 0 : sys::fail_with_last();
}

int peer_connected(qv_socket_t s) {
    // The connect's own result (a refusal, an unreachable host) is the cause
    // to report, not the getpeername failure that follows from it.
    int error = 0;
    sys::socket_length length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) == 0 &&
        error != 0) {
        errno = sys::errno_of_socket(error);
        return -1;
    }
    sockaddr_in peer{};
    sys::socket_length size = sizeof peer;
    if (::getpeername(s, reinterpret_cast<sockaddr *>(&peer), &size) != 0) {
        return sys::fail_with_last();
    }
    return 0;
}

namespace sys {

int wait_result(int result) {
    if (result < 0) {
        return last_would_block() ? 0 : fail_with_last();
    }
    return result == 0 ? 0 : 1;
}

} // namespace sys

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
