#include "qvplatform.h"

#include <fcntl.h>
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
}
