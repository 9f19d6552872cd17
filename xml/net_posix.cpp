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

int errno_of_socket(int error) {
    return error;
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
    pollfd entry{s, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    return sys::wait_result(::poll(&entry, 1, seconds * 1000));
}

long receive_some(qv_socket_t s, char *buffer, size_t capacity) {
    return transfer_result(static_cast<long>(::recv(s, buffer, capacity, 0)));
}

long send_some(qv_socket_t s, const char *data, size_t length) {
    return transfer_result(static_cast<long>(::send(s, data, length, MSG_NOSIGNAL)));
}

} // namespace qvxml::net
