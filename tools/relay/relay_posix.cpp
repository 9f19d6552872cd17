// The relay's socket calls on a POSIX system.
#include "relay_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kelvo::relay {

namespace net {

namespace {

constexpr int kSocketBuffer = 4 << 20;

} // namespace

std::string error_text() {
    return std::strerror(errno);
}

Socket open_udp() {
    return socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

void close(Socket s) {
    ::close(s);
}

bool bind_to(Socket s, const sockaddr_in &address) {
    return bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

bool prepare_listening(Socket fd, sockaddr_in &sa, std::string *error) {
    int type = 0;
    socklen_t tlen = sizeof type;
    socklen_t len = sizeof sa;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &tlen) != 0 || type != SOCK_DGRAM ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len) != 0 || sa.sin_family != AF_INET ||
        len != sizeof sa) {
        if (error)
            *error = "the socket handed over (fd " + std::to_string(fd) +
                     ") is not an AF_INET datagram socket";
        return false;
    }
    if (sa.sin_port == 0) {
        if (error)
            *error = "the socket handed over (fd " + std::to_string(fd) + ") is not bound";
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    const int one = 1, zero = 0;
    // Without SO_REUSEADDR on the listening socket nobody else can bind the
    // address beside it. The flag belongs to the socket, so it stays cleared
    // while a service manager holds the socket between two runs.
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &zero, sizeof zero) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0) {
        if (error)
            *error = "cannot set up the listening socket: " + error_text();
        return false;
    }
    return true;
}

// Root may go past the system's maximum.
void enlarge_buffers(Socket fd) {
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
}

void enable_broadcast(Socket fd) {
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
}

void report_interface(Socket fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
}

long receive(Socket fd, std::uint8_t *buf, std::size_t cap, sockaddr_in &from, int &ifindex,
             in_addr *to) {
    char control[CMSG_SPACE(sizeof(in_pktinfo))];
    iovec iov{buf, cap};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &msg, 0);
    ifindex = 0;
    if (to)
        to->s_addr = 0;
    for (cmsghdr *c = n < 0 ? nullptr : CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            ifindex = info.ipi_ifindex;
            if (to)
                *to = info.ipi_addr;
        }
    return static_cast<long>(n);
}

bool send_to(Socket fd, const void *data, std::size_t len, const sockaddr_in &to) {
    return sendto(fd, data, len, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to) >= 0;
}

std::vector<int> loopback_interfaces() {
    std::vector<int> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next)
        if (i->ifa_flags & IFF_LOOPBACK) {
            const int index = static_cast<int>(if_nametoindex(i->ifa_name));
            if (index > 0 && std::find(out.begin(), out.end(), index) == out.end())
                out.push_back(index);
        }
    freeifaddrs(list);
    return out;
}

std::string interface_name(int index) {
    char name[IF_NAMESIZE] = {};
    return if_indextoname(static_cast<unsigned>(index), name) ? name : "";
}

int wait(StopHandle stop, const std::vector<Socket> &sockets, int timeout_ms,
         std::vector<char> &readable, std::string *error) {
    std::vector<pollfd> fds;
    fds.push_back({stop, POLLIN, 0});
    for (const Socket s : sockets)
        fds.push_back({s, POLLIN, 0});
    readable.assign(sockets.size(), 0);
    const int n = poll(fds.data(), fds.size(), timeout_ms);
    if (n < 0 && errno != EINTR) {
        if (error)
            *error = "poll: " + error_text();
        return -1;
    }
    if (n > 0 && fds[0].revents)
        return 1;
    for (std::size_t i = 0; n > 0 && i < sockets.size(); ++i)
        readable[i] = fds[1 + i].revents != 0;
    return 0;
}

} // namespace net

int inherited_socket(std::string *error) {
    const char *pid = std::getenv("LISTEN_PID");
    const char *fds = std::getenv("LISTEN_FDS");
    if (!pid || !fds || std::strtoll(pid, nullptr, 10) != getpid())
        return -1;
    const std::string count = fds;
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    if (count != "1") {
        if (error)
            *error = "LISTEN_FDS=" + log_text(count) + ": wants exactly one listening socket";
        return -2;
    }
    return 3;
}

} // namespace kelvo::relay
