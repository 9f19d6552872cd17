#include "qvplatform.h"

namespace {

int start_winsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : -1;
}

} // namespace

extern "C" {

int qv_socket_startup(void) {
    // Once per process: every caller runs this before each socket, and a
    // matching WSACleanup would pull the layer from under the other threads.
    static const int result = start_winsock();
    return result;
}

int qv_socket_nonblock(qv_socket_t s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0 ? 0 : -1;
}

int qv_socket_close(qv_socket_t s) {
    if (s == QV_INVALID_SOCKET)
        return -1;
    return closesocket(s) == 0 ? 0 : -1;
}

int qv_raise_fd_limit(void) {
    // Sockets are kernel handles without a per-process ceiling to raise.
    return 0;
}
}
