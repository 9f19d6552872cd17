// POSIX sockets for the HTTP transport.
#include "net_platform.h"

#include <cerrno>
#include <poll.h>
#include <sys/types.h>

namespace qvxml::net {

namespace sys {

int fail_with_last() {
    return -1; // errno already tells why
}

bool last_connect_pending() {
    return errno == EINPROGRESS || errno == EWOULDBLOCK;
}

bool last_would_block() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace sys

int wait_round(qv_socket_t s, bool write, int seconds) {
    // poll instead of select: no FD_SETSIZE limit on the descriptor number.
    pollfd entry{};
    entry.fd = s;
    entry.events = write ? POLLOUT : POLLIN;
    const int result = ::poll(&entry, 1, seconds * 1000);
    if (result < 0) {
        return errno == EINTR ? 0 : -1;
    }
    // An error or hang-up also ends the wait; the following call reports it.
    return result == 0 ? 0 : 1;
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
    return transfer_result(static_cast<long>(::recv(s, buffer, capacity, 0)));
}

long send_some(qv_socket_t s, const char *data, size_t length) {
    return transfer_result(static_cast<long>(::send(s, data, length, MSG_NOSIGNAL)));
}

} // namespace qvxml::net
