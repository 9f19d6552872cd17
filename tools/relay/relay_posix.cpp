// The relay's sockets and forwarding loop on a POSIX system.
#include "relay.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kelvo::relay {

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSocketBuffer = 4 << 20;

std::string text_of(const sockaddr_in &sa) {
    char b[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &sa.sin_addr, b, sizeof b);
    return std::string(b) + ":" + std::to_string(ntohs(sa.sin_port));
}

// A burst of a thousand replies must fit into the socket's queue; root may
// go past the system's maximum.
void enlarge_buffers(int fd) {
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
}

} // namespace

struct Relay::Request {
    int fd = -1;
    sockaddr_in client{};
    std::string client_name;
    std::vector<std::uint8_t> payload;
    int sends_left = 0;
    Clock::time_point next_send;
    Clock::time_point deadline;
    std::uint64_t forwarded = 0;
};

Relay::Relay(Options options) : options_(std::move(options)) {}

Relay::~Relay() {
    for (auto &r : requests_)
        close(r->fd);
    if (fd_ >= 0)
        close(fd_);
}

bool Relay::open(std::string *error) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    enlarge_buffers(fd_);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(options_.listen_port);
    if (inet_pton(AF_INET, options_.listen_address.c_str(), &sa.sin_addr) != 1 ||
        bind(fd_, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (error)
            *error = "cannot listen on " + options_.listen_address + ":" +
                     std::to_string(options_.listen_port) + ": " + std::strerror(errno);
        close(fd_);
        fd_ = -1;
        return false;
    }
    socklen_t len = sizeof sa;
    getsockname(fd_, reinterpret_cast<sockaddr *>(&sa), &len);
    port_ = ntohs(sa.sin_port);
    return true;
}

std::vector<sockaddr_in> Relay::targets() const {
    if (!options_.devices.empty())
        return options_.devices;
    return broadcast_targets(udps::device_port);
}

void Relay::send_payload(Request &r) {
    const auto to = targets();
    if (to.empty() && options_.verbose >= 0)
        std::fprintf(stderr, "kelvo-relay: no up IPv4 interface with a broadcast address\n");
    for (const auto &t : to)
        if (sendto(r.fd, r.payload.data(), r.payload.size(), 0,
                   reinterpret_cast<const sockaddr *>(&t), sizeof t) < 0)
            std::fprintf(stderr, "kelvo-relay: send to %s: %s\n", text_of(t).c_str(),
                         std::strerror(errno));
    --r.sends_left;
    r.next_send = Clock::now() + std::chrono::milliseconds(options_.repeat_interval_ms);
}

void Relay::start_request(const sockaddr_in &client, const udps::ProxyHeader &header,
                          const std::uint8_t *payload, std::size_t len) {
    const bool search = header.kind == udps::proxy_search;
    if (search) {
        // One open search per client socket: a client that asks again wants
        // the new answers, and a client flooding from one socket holds one
        // slot instead of starving everybody else.
        for (auto it = requests_.begin(); it != requests_.end();) {
            const sockaddr_in &c = (*it)->client;
            if (c.sin_addr.s_addr == client.sin_addr.s_addr && c.sin_port == client.sin_port) {
                close((*it)->fd);
                it = requests_.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (search && requests_.size() >= options_.max_requests) {
        ++stats_.dropped;
        if (options_.verbose >= 1 && drop_log_allowed())
            std::fprintf(stderr, "kelvo-relay: drop search from %s: %zu searches already open\n",
                         text_of(client).c_str(), requests_.size());
        return;
    }
    auto r = std::make_unique<Request>();
    r->fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (r->fd < 0) {
        std::fprintf(stderr, "kelvo-relay: socket: %s\n", std::strerror(errno));
        return;
    }
    // Also with --devices: an address book entry may be a remote subnet's
    // broadcast address.
    const int one = 1;
    setsockopt(r->fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (search)
        enlarge_buffers(r->fd);
    r->client = client;
    r->client_name = header.client_name;
    r->payload.assign(payload, payload + len);
    r->sends_left = search ? std::max(1, options_.repeat) : 1;
    r->deadline = Clock::now() + std::chrono::milliseconds(options_.linger_ms);
    if (options_.verbose >= 1)
        std::fprintf(stderr, "kelvo-relay: %s from %s (%s), %zu bytes\n",
                     search ? "search" : "setup", text_of(client).c_str(), r->client_name.c_str(),
                     len);
    send_payload(*r);
    if (search) {
        ++stats_.searches;
        requests_.push_back(std::move(r));
    } else {
        ++stats_.setups;
        close(r->fd); // nothing comes back to a setup
    }
}

// A flood of bad datagrams must not turn into a flood of log lines: at most
// 20 lines a second, then one line with the number left out.
bool Relay::drop_log_allowed() {
    const auto now = Clock::now();
    if (now - drop_window_ >= std::chrono::seconds(1)) {
        if (drops_unlogged_ > 0)
            std::fprintf(stderr, "kelvo-relay: %llu more datagrams dropped\n",
                         static_cast<unsigned long long>(drops_unlogged_));
        drop_window_ = now;
        drops_logged_ = 0;
        drops_unlogged_ = 0;
    }
    if (drops_logged_ < 20) {
        ++drops_logged_;
        return true;
    }
    ++drops_unlogged_;
    return false;
}

void Relay::on_client_datagram() {
    // Bounded per wake-up so that a flood from one client cannot starve the
    // forwarding of replies.
    for (int round = 0; round < 512; ++round) {
        std::uint8_t buf[udps::max_datagram + udps::proxy_header_size + 1];
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        const ssize_t n =
            recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
        if (n < 0)
            return;
        udps::ProxyHeader header{};
        const std::uint8_t *payload = nullptr;
        std::size_t payload_len = 0;
        // A datagram that fills the buffer was cut by the kernel: refuse it.
        const bool too_long = static_cast<std::size_t>(n) >= sizeof buf;
        const Verdict v = too_long ? Verdict::too_short
                                   : check_datagram(from, buf, static_cast<std::size_t>(n), header,
                                                    payload, payload_len);
        if (v != Verdict::ok) {
            ++stats_.dropped;
            if (options_.verbose >= 1 && drop_log_allowed())
                std::fprintf(stderr, "kelvo-relay: drop %zd bytes from %s: %s\n", n,
                             text_of(from).c_str(), too_long ? "too long" : verdict_text(v));
            continue;
        }
        start_request(from, header, payload, payload_len);
    }
}

void Relay::forward_replies(Request &r) {
    for (int round = 0; round < 4096; ++round) {
        std::uint8_t buf[2048];
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        const ssize_t n =
            recvfrom(r.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
        if (n < 0)
            return;
        if (sendto(fd_, buf, static_cast<std::size_t>(n), 0,
                   reinterpret_cast<const sockaddr *>(&r.client), sizeof r.client) < 0) {
            std::fprintf(stderr, "kelvo-relay: forward to %s: %s\n", text_of(r.client).c_str(),
                         std::strerror(errno));
            continue;
        }
        ++r.forwarded;
        ++stats_.replies;
        if (options_.verbose >= 2)
            std::fprintf(stderr, "kelvo-relay: reply of %zd bytes from %s to %s\n", n,
                         text_of(from).c_str(), text_of(r.client).c_str());
    }
}

int Relay::run(int stop_fd) {
    std::vector<pollfd> fds;
    for (;;) {
        auto now = Clock::now();
        auto wake = now + std::chrono::seconds(1);
        fds.clear();
        fds.push_back({stop_fd, POLLIN, 0});
        fds.push_back({fd_, POLLIN, 0});
        for (const auto &r : requests_) {
            fds.push_back({r->fd, POLLIN, 0});
            wake = std::min(wake, r->deadline);
            if (r->sends_left > 0)
                wake = std::min(wake, r->next_send);
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
        const int n = poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(ms, 0)));
        if (n < 0 && errno != EINTR) {
            std::fprintf(stderr, "kelvo-relay: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (n > 0 && fds[0].revents)
            return 0;
        // Replies first: they are what a client is waiting for.
        for (std::size_t i = 0; n > 0 && i < requests_.size(); ++i)
            if (fds[2 + i].revents)
                forward_replies(*requests_[i]);
        if (n > 0 && fds[1].revents)
            on_client_datagram();
        now = Clock::now();
        for (auto it = requests_.begin(); it != requests_.end();) {
            Request &r = **it;
            if (r.sends_left > 0 && now >= r.next_send)
                send_payload(r);
            if (now >= r.deadline) {
                forward_replies(r);
                if (options_.verbose >= 1)
                    std::fprintf(stderr, "kelvo-relay: search from %s done, %llu replies\n",
                                 text_of(r.client).c_str(),
                                 static_cast<unsigned long long>(r.forwarded));
                close(r.fd);
                it = requests_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

} // namespace kelvo::relay
