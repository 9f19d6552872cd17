#include "net_sockaddr.h"

#include "qvtext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvudps::net {

int last_error() {
    return errno;
}

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EINPROGRESS;
}

int timeout_error() {
    return ETIMEDOUT;
}

int no_route_error() {
    return ENETUNREACH;
}

void set_last_error(int error) {
    errno = error;
}

bool out_of_descriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

int invalid_argument_error() {
    return EINVAL;
}

bool connect_in_progress(int error) {
    return error == EINPROGRESS || error == EINTR;
}

long descriptor_limit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0 || r.rlim_cur == RLIM_INFINITY)
        return 1024;
    return static_cast<long>(std::min<rlim_t>(r.rlim_cur, 1 << 20));
}

Socket udp_socket() {
    return ::socket(AF_INET, SOCK_DGRAM, 0);
}

int enable_broadcast(Socket s) {
    int on = 1;
    return ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : -1;
}

int set_receive_buffer(Socket s, int bytes) {
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
        return -1;
#ifdef SO_RCVBUFFORCE
    // The system cap (rmem_max) may be lower than asked; a privileged
    // process may go past it.
    int granted = 0;
    socklen_t len = sizeof granted;
    if (::getsockopt(s, SOL_SOCKET, SO_RCVBUF, &granted, &len) == 0 && granted < bytes)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
#endif
    return 0;
}

int send_to(Socket s, const void *data, std::size_t len, const char *ip, uint16_t port) {
    sockaddr_in addr;
    if (!make_address(ip, port, addr))
        return -1;
    const ssize_t n = ::sendto(s, data, len, 0, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    return n == static_cast<ssize_t>(len) ? 0 : -1;
}

int wait_readable(Socket s, int timeout_ms) {
    pollfd p{s, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeout_ms);
        if (r < 0 && errno == EINTR)
            continue; // a signal is not a failure of the wait
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
}

long receive_from(Socket s, void *buf, std::size_t cap, char *src, uint16_t *src_port) {
    sockaddr_in from{};
    socklen_t flen = sizeof from;
    const ssize_t n = ::recvfrom(s, buf, cap, 0, reinterpret_cast<sockaddr *>(&from), &flen);
    return n < 0 ? -1 : received_from(n, from.sin_addr.s_addr, from.sin_port, src, src_port);
}

std::vector<BroadcastTarget> broadcast_targets(const std::vector<std::string> &only) {
    std::vector<BroadcastTarget> out;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask)
            continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK) ||
            !(i->ifa_flags & IFF_BROADCAST))
            continue;
        if (!only.empty() && std::find(only.begin(), only.end(), i->ifa_name) == only.end())
            continue;
        const auto host = [](const sockaddr *sa) {
            return sa ? ntohl(reinterpret_cast<const sockaddr_in *>(sa)->sin_addr.s_addr) : 0u;
        };
        const uint32_t b =
            broadcast_of(host(i->ifa_addr), host(i->ifa_netmask), host(i->ifa_broadaddr));
        if (b != 0)
            add_broadcast_target(out, i->ifa_name, b);
    }
    ::freeifaddrs(list);
    return out;
}

Socket tcp_socket() {
    return ::socket(AF_INET, SOCK_STREAM, 0);
}

int pending_error(Socket s) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return errno;
    return err;
}

long send_some(Socket s, const void *data, std::size_t len) {
    const ssize_t n = ::send(s, data, len, MSG_NOSIGNAL);
    return n < 0 ? -1 : static_cast<long>(n);
}

long receive_some(Socket s, void *buf, std::size_t cap) {
    const ssize_t n = ::recv(s, buf, cap, 0);
    return n < 0 ? -1 : static_cast<long>(n);
}

int poll_sockets(PollEntry *entries, std::size_t count, int timeout_ms) {
    auto fds = poll_set<pollfd>(entries, count, POLLIN, POLLOUT);
    const int r = ::poll(fds.data(), static_cast<nfds_t>(count), timeout_ms);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    return mark_ready(entries, fds, POLLERR | POLLHUP | POLLNVAL);
}

} // namespace qvudps::net
