// Windows Sockets for the HTTP transport. Failures leave a matching errno, so
// the error records read the same as on POSIX.
#include "net_platform.h"

#include <cerrno>

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

int clamp(size_t n) {
    return n > (1u << 30) ? (1 << 30) : static_cast<int>(n);
}

} // namespace

namespace sys {

int fail_with_last() {
    errno = errno_of(WSAGetLastError());
    return -1;
}

int errno_of_socket(int error) {
    return errno_of(error);
}

bool last_connect_pending() {
    return last_would_block();
}

bool last_would_block() {
    const int wsa = WSAGetLastError();
    return wsa == WSAEWOULDBLOCK || wsa == WSAEINTR || wsa == WSAEINPROGRESS;
}

} // namespace sys

int wait_round(qv_socket_t s, bool write, int seconds) {
    WSAPOLLFD entry{s, static_cast<SHORT>(write ? POLLWRNORM : POLLRDNORM), 0};
    return sys::wait_result(::WSAPoll(&entry, 1, seconds * 1000));
}

long receive_some(qv_socket_t s, char *buffer, size_t capacity) {
    return transfer_result(::recv(s, buffer, clamp(capacity), 0));
}

long send_some(qv_socket_t s, const char *data, size_t length) {
    return transfer_result(::send(s, data, clamp(length), 0));
}

} // namespace qvxml::net
