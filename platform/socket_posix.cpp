#include "qvplatform.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" {

int qv_socket_startup(void) {
    return 0;
}

int qv_socket_nonblock(qv_socket_t s) {
    int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0)
        return -1;
    return fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : -1;
}

int qv_socket_close(qv_socket_t s) {
    if (s == QV_INVALID_SOCKET)
        return -1;
    return close(s) == 0 ? 0 : -1;
}

int qv_raise_fd_limit(void) {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) != 0)
        return -1;
    if (r.rlim_cur == r.rlim_max)
        return 0;
    // An unlimited hard limit is still capped by the kernel; try the usual
    // ceilings from the top.
    const rlim_t wanted[] = {r.rlim_max, rlim_t{1} << 20, rlim_t{1} << 16};
    for (rlim_t want : wanted) {
        if (want > r.rlim_max || want <= r.rlim_cur)
            continue;
        rlimit n{want, r.rlim_max};
        if (setrlimit(RLIMIT_NOFILE, &n) == 0)
            return 0;
    }
    return -1;
}
}
