// The socket calls of the test peers, the same on POSIX and Windows: the
// peers keep their sockets in an int, open them here (which starts Winsock
// once) and close and wait on them here. Named apart from the system's own
// calls (wait, close) so that a using-declaration never hides those.
#pragma once

#include "qvtext.h"

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

#include <cstdint>

namespace kelvo::test {

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
inline bool connect_in_progress() {
    const int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}
// poll() of one socket: 1 ready, 0 time-out, -1 failure.
inline int wait_socket(int fd, short events, int timeout_ms) {
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
inline bool connect_in_progress() {
    return errno == EINPROGRESS || errno == EWOULDBLOCK;
}
inline int wait_socket(int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeout_ms);
}
#endif

// setsockopt of an int value; Windows wants it as char bytes.
inline int set_int_option(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, reinterpret_cast<const char *>(&value), sizeof value);
}

// The port a socket is bound to, 0 when it is not.
inline uint16_t local_port(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

// A UDP socket bound to `ip` and `port` (0: chosen by the system) with room
// for bursts; -1 on failure.
inline int bound_udp(const char *ip, uint16_t port) {
    const int s = open_socket(SOCK_DGRAM);
    if (s < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    qv::parse_dotted_ipv4(ip, a.sin_addr.s_addr);
    set_int_option(s, SOL_SOCKET, SO_SNDBUF, 4 * 1024 * 1024);
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close_socket(s);
        return -1;
    }
    return s;
}

} // namespace kelvo::test
