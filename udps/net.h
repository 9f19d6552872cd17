// The few socket operations the worker needs, so that the search, setup and
// HTTP logic stays free of platform calls. Every function keeps the
// platform's error number for last_error() when it fails.
#ifndef UDPS_NET_H
#define UDPS_NET_H

#include "qvplatform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvudps::net {

using Socket = qv_socket_t;
inline constexpr Socket invalid_socket = QV_INVALID_SOCKET;

// The error number of the last failed call on this thread (errno).
int last_error();
// True when the last failure only means "try again later".
bool would_block(int error);
// Error number for a wait that ran out of time.
int timeout_error();
// Error number for a send with no way out (ENETUNREACH).
int no_route_error();
// Sets what last_error() returns on this thread.
void set_last_error(int error);
// True when the error means the process or system has no descriptor left.
bool out_of_descriptors(int error);
// The process's current limit of open descriptors.
long descriptor_limit();
// Error number for an address text that is no dotted IPv4 address (EINVAL).
int invalid_argument_error();
// True when a non-blocking connect failed only because it is under way.
bool connect_in_progress(int error);

// Ends a receive of `n` bytes from `network_address`/`network_port` (as the
// socket address holds them): the dotted text into src (16 bytes), the host
// order port into src_port when asked. Returns n.
long received_from(long n, uint32_t network_address, uint16_t network_port, char *src,
                   uint16_t *src_port);

// ---- UDP ------------------------------------------------------------------
Socket udp_socket();
int enable_broadcast(Socket s);
// Asks for a receive buffer of `bytes`; the system may grant less.
int set_receive_buffer(Socket s, int bytes);
// Binds to the wildcard address; port 0 lets the system choose.
int bind_any(Socket s, uint16_t port);
// Sends one datagram to a dotted IPv4 address; -1 also for a bad address.
int send_to(Socket s, const void *data, std::size_t len, const char *ip, uint16_t port);
// 1 readable, 0 time-out, -1 failure.
int wait_readable(Socket s, int timeout_ms);
// One datagram; its source address as dotted text into src (16 bytes) and,
// when asked, its source port into src_port. Returns its length or -1.
long receive_from(Socket s, void *buf, std::size_t cap, char *src, uint16_t *src_port = nullptr);

// ---- adapters -------------------------------------------------------------
// The directed broadcast address of a subnet, host byte order: `given` when
// the adapter names one of its own, else computed from address and mask (an
// adapter without a broadcast address reports its own address there). 0 when
// the subnet has none (/31, /32) or it would be the adapter's own address.
inline uint32_t broadcast_of(uint32_t address, uint32_t mask, uint32_t given) {
    if (given != 0 && given != address)
        return given;
    if ((~mask & 0xFFFFFFFEu) == 0)
        return 0;
    const uint32_t computed = (address & mask) | ~mask;
    return computed == address ? 0 : computed;
}

struct BroadcastTarget {
    std::string adapter;
    char address[16]; // dotted
};
// One entry per distinct broadcast address of every up, non-loopback IPv4
// adapter that can broadcast; only the named adapters when `only` is not
// empty. Reads the adapter list only.
std::vector<BroadcastTarget> broadcast_targets(const std::vector<std::string> &only = {});
// Adds the broadcast address `host_order` of `adapter` unless it is there.
void add_broadcast_target(std::vector<BroadcastTarget> &targets, const std::string &adapter,
                          uint32_t host_order);
// "eth0 192.168.1.255, eth1 10.20.255.255"
std::string targets_text(const std::vector<BroadcastTarget> &targets);
// Sends one datagram to `port` at every target. 0 when every send went out,
// -1 when one failed or there is no target (ENETUNREACH).
int send_to_targets(Socket s, const void *data, std::size_t len,
                    const std::vector<BroadcastTarget> &targets, uint16_t port);

// ---- TCP ------------------------------------------------------------------
Socket tcp_socket();
// Starts a connection; 0 when it is under way or made, -1 on an immediate
// failure.
int connect_start(Socket s, const char *ip, uint16_t port);
// The pending error of a socket whose connect has ended (0 = connected).
int pending_error(Socket s);
// Bytes sent/received, 0 when the peer closed (receive), -1 on failure.
long send_some(Socket s, const void *data, std::size_t len);
long receive_some(Socket s, void *buf, std::size_t cap);

// ---- waiting on several sockets --------------------------------------------
enum : short { want_read = 1, want_write = 2 };
struct PollEntry {
    Socket socket;
    short want; // want_read and/or want_write
    bool ready; // set by poll_sockets: the wanted condition, a hang-up or an error
};
// Waits until one of the entries is ready or the time runs out. Returns the
// number of ready entries, 0 on time-out, -1 on failure.
int poll_sockets(PollEntry *entries, std::size_t count, int timeout_ms);

// The platform's poll set for the entries (PollFd: pollfd or WSAPOLLFD), with
// its own flags for reading and writing; clears every entry's ready mark.
template <class PollFd>
std::vector<PollFd> poll_set(PollEntry *entries, std::size_t count, short read, short write) {
    std::vector<PollFd> fds(count);
    for (std::size_t i = 0; i < count; ++i) {
        fds[i].fd = entries[i].socket;
        fds[i].events = static_cast<short>(((entries[i].want & want_read) ? read : 0) |
                                           ((entries[i].want & want_write) ? write : 0));
        fds[i].revents = 0;
        entries[i].ready = false;
    }
    return fds;
}
// Marks the entries whose socket the poll found ready (`failed`: the flags of
// a hang-up or an error); returns how many.
template <class PollFd>
int mark_ready(PollEntry *entries, const std::vector<PollFd> &fds, short failed) {
    int ready = 0;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & (fds[i].events | failed)) {
            entries[i].ready = true;
            ++ready;
        }
    }
    return ready;
}

} // namespace qvudps::net

#endif
