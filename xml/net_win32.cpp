// Windows Sockets for the HTTP transport. Failures leave a matching errno, so
// the error records read the same as on POSIX.
#include "net.h"

#include "qvtext.h"

#include <ws2tcpip.h>

#include <cerrno>
#include <cstring>

namespace qvxml::net {

namespace {

// The Winsock error of the last call as the errno the error texts are made of.
int errno_of(int wsa) {
    switch (wsa) {
    case WSAECONNREFUSED:
        return ECONNREFUSED;
    case WSAECONNRESET:
        return ECONNRESET;
    case WSAECONNABORTED:
        return ECONNABORTED;
    case WSAETIMEDOUT:
        return ETIMEDOUT;
    case WSAEHOSTUNREACH:
        return EHOSTUNREACH;
    case WSAENETUNREACH:
        return ENETUNREACH;
    case WSAENOTCONN:
        return ENOTCONN;
    case WSAEMFILE:
        return EMFILE;
    case WSAENOBUFS:
        return ENOBUFS;
    case WSAEADDRINUSE:
        return EADDRINUSE;
    case WSAEWOULDBLOCK:
        return EWOULDBLOCK;
    case WSAEINPROGRESS:
        return EINPROGRESS;
    case WSAEINTR:
        return EINTR;
    default:
        return EIO;
    }
}

int fail_with_last() {
    errno = errno_of(WSAGetLastError());
    return -1;
}

bool would_block(int wsa) {
    return wsa == WSAEWOULDBLOCK || wsa == WSAEINTR || wsa == WSAEINPROGRESS;
}

int clamp(size_t n) {
    return n > (1u << 30) ? (1 << 30) : static_cast<int>(n);
}

} // namespace

qv_socket_t tcp_socket() {
    if (qv_socket_startup() != 0) {
        errno = EIO;
        return QV_INVALID_SOCKET;
    }
    const qv_socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == QV_INVALID_SOCKET) {
        fail_with_last();
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
    return would_block(WSAGetLastError()) ? 0 : fail_with_last();
}

int wait_round(qv_socket_t s, bool write, int seconds) {
    WSAPOLLFD entry{};
    entry.fd = s;
    entry.events = write ? POLLWRNORM : POLLRDNORM;
    const int result = ::WSAPoll(&entry, 1, seconds * 1000);
    if (result < 0) {
        return fail_with_last();
    }
    // An error or hang-up also ends the wait; the following call reports it.
    return result == 0 ? 0 : 1;
}

int peer_connected(qv_socket_t s) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) == 0 &&
        error != 0) {
        errno = errno_of(error);
        return -1;
    }
    sockaddr_in peer{};
    int size = sizeof peer;
    if (::getpeername(s, reinterpret_cast<sockaddr *>(&peer), &size) != 0) {
        return fail_with_last();
    }
    return 0;
}

long receive_some(qv_socket_t s, char *buffer, size_t capacity) {
    const int n = ::recv(s, buffer, clamp(capacity), 0);
    if (n >= 0) {
        return n;
    }
    if (would_block(WSAGetLastError())) {
        return -2;
    }
    return fail_with_last();
}

long send_some(qv_socket_t s, const char *data, size_t length) {
    const int n = ::send(s, data, clamp(length), 0);
    if (n >= 0) {
        return n;
    }
    if (would_block(WSAGetLastError())) {
        return -2;
    }
    return fail_with_last();
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
