// The socket calls of the test peers, the same on POSIX and Windows: the
// peers keep their sockets in an int, open them here (which starts Winsock
// once) and close and wait on them here.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace testsock {

#ifdef _WIN32
inline int open_socket(int type) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        return -1;
    }
    const SOCKET s = ::socket(AF_INET, type, 0);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
inline int close_socket(int fd) {
    return ::closesocket(static_cast<SOCKET>(fd));
}
inline int set_nonblocking(int fd) {
    u_long on = 1;
    return ::ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &on);
}
// True when the last call failed only because it would block or is under way.
inline bool in_progress() {
    const int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}
// poll() of one socket: 1 ready, 0 time-out, -1 failure.
inline int wait(int fd, short events, int timeout_ms) {
    WSAPOLLFD p{};
    p.fd = static_cast<SOCKET>(fd);
    p.events = events;
    return ::WSAPoll(&p, 1, timeout_ms);
}
#else
inline int open_socket(int type) {
    return ::socket(AF_INET, type, 0);
}
inline int close_socket(int fd) {
    return ::close(fd);
}
inline int set_nonblocking(int fd) {
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}
inline bool in_progress() {
    return errno == EINPROGRESS || errno == EWOULDBLOCK;
}
inline int wait(int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeout_ms);
}
#endif

// setsockopt of an int value; Windows wants it as char bytes.
inline int set_int_option(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, reinterpret_cast<const char *>(&value), sizeof value);
}

} // namespace testsock
