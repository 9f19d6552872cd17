#include "net_sockaddr.h"

#include "adaptersinfo_win32.h"
#include "qvtext.h"

#include <mswsock.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvudps::net {

int last_error() {
    return WSAGetLastError();
}

bool would_block(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

int timeout_error() {
    return WSAETIMEDOUT;
}

int no_route_error() {
    return WSAENETUNREACH;
}

void set_last_error(int error) {
    WSASetLastError(error);
}

bool out_of_descriptors(int error) {
    return error == WSAEMFILE || error == WSAENOBUFS;
}

int invalid_argument_error() {
    return WSAEINVAL;
}

bool connect_in_progress(int error) {
    return would_block(error);
}

long descriptor_limit() {
    // No per-process ceiling on sockets; a bound keeps the parallel
    // connections within what a desktop's stack serves without refusals.
    return 4096;
}

Socket udp_socket() {
    if (qv_socket_startup() != 0)
        return invalid_socket;
    Socket s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == invalid_socket)
        return s;
    // Without this an ICMP "port unreachable" for an earlier datagram makes
    // the next receive fail with WSAECONNRESET and ends the wait for replies.
    BOOL report = FALSE;
    DWORD bytes = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &bytes, nullptr, nullptr);
    return s;
}

int enable_broadcast(Socket s) {
    BOOL on = TRUE;
    return ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on),
                        sizeof on) == 0
               ? 0
               : -1;
}

int set_receive_buffer(Socket s, int bytes) {
    return ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&bytes),
                        sizeof bytes) == 0
               ? 0
               : -1;
}

int send_to(Socket s, const void *data, std::size_t len, const char *ip, uint16_t port) {
    sockaddr_in addr;
    if (!make_address(ip, port, addr) || len > 65535)
        return -1;
    const int n = ::sendto(s, static_cast<const char *>(data), static_cast<int>(len), 0,
                           reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    return n == static_cast<int>(len) ? 0 : -1;
}

int wait_readable(Socket s, int timeout_ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLRDNORM;
    const int r = ::WSAPoll(&p, 1, timeout_ms);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

long receive_from(Socket s, void *buf, std::size_t cap, char *src, uint16_t *src_port) {
    sockaddr_in from{};
    int flen = sizeof from;
    int n = ::recvfrom(s, static_cast<char *>(buf), static_cast<int>(cap > 65536 ? 65536 : cap), 0,
                       reinterpret_cast<sockaddr *>(&from), &flen);
    if (n < 0) {
        // A datagram longer than the buffer arrives cut to its size, as on
        // POSIX, instead of failing.
        if (WSAGetLastError() != WSAEMSGSIZE)
            return -1;
        n = static_cast<int>(cap > 65536 ? 65536 : cap);
    }
    return received_from(n, from.sin_addr.s_addr, from.sin_port, src, src_port);
}

namespace {

uint32_t host_order(const char (&dotted)[16]) {
    uint32_t network_order = 0;
    return qv::parse_dotted_ipv4(qv::field_text(dotted), network_order) ? ntohl(network_order) : 0;
}

} // namespace

std::vector<BroadcastTarget> broadcast_targets(const std::vector<std::string> &only) {
    std::vector<BroadcastTarget> out;
    std::vector<unsigned char> buffer;
    const ULONG rc = qv::read_adapters_info(buffer);
    if (rc != NO_ERROR)
        return out;
    for (auto *a = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()); a != nullptr; a = a->Next) {
        const std::string name(qv::field_text(a->AdapterName));
        if (a->Type == MIB_IF_TYPE_LOOPBACK ||
            (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()))
            continue;
        // Every address of the adapter: each subnet has its own broadcast.
        for (const IP_ADDR_STRING *ip = &a->IpAddressList; ip != nullptr; ip = ip->Next) {
            const uint32_t address = host_order(ip->IpAddress.String);
            if (address == 0)
                continue;
            const uint32_t b = broadcast_of(address, host_order(ip->IpMask.String), 0);
            if (b != 0)
                add_broadcast_target(out, name, b);
        }
    }
    return out;
}

Socket tcp_socket() {
    if (qv_socket_startup() != 0)
        return invalid_socket;
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

int pending_error(Socket s) {
    int err = 0;
    int len = sizeof err;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0)
        return WSAGetLastError();
    return err;
}

long send_some(Socket s, const void *data, std::size_t len) {
    const int n = ::send(s, static_cast<const char *>(data),
                         static_cast<int>(len > 1 << 30 ? 1 << 30 : len), 0);
    return n < 0 ? -1 : static_cast<long>(n);
}

long receive_some(Socket s, void *buf, std::size_t cap) {
    const int n =
        ::recv(s, static_cast<char *>(buf), static_cast<int>(cap > 1 << 30 ? 1 << 30 : cap), 0);
    return n < 0 ? -1 : static_cast<long>(n);
}

int poll_sockets(PollEntry *entries, std::size_t count, int timeout_ms) {
    auto fds = poll_set<WSAPOLLFD>(entries, count, POLLRDNORM, POLLWRNORM);
    if (count == 0) {
        // WSAPoll refuses an empty set, where poll() just waits.
        Sleep(static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms));
        return 0;
    }
    const int r = ::WSAPoll(fds.data(), static_cast<ULONG>(count), timeout_ms);
    if (r < 0)
        return -1;
    return mark_ready(entries, fds, POLLERR | POLLHUP | POLLNVAL);
}

} // namespace qvudps::net
