// The relay's sockets and forwarding loop on a POSIX system.
#include "relay.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
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
    bool announced = false; // "sent to" is logged once per request
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

void Relay::log(const char *format, ...) {
    std::fputs("kelvo-relay: ", options_.log);
    va_list args;
    va_start(args, format);
    std::vfprintf(options_.log, format, args);
    va_end(args);
    std::fflush(options_.log);
}

std::vector<Target> Relay::targets() const {
    if (options_.devices.empty())
        return broadcast_targets(udps::device_port, options_.interfaces);
    std::vector<Target> out;
    for (const auto &d : options_.devices)
        out.push_back({d, ""});
    return out;
}

std::string Relay::status_text() const {
    if (!targets().empty())
        return {};
    return options_.interfaces.empty()
               ? "no up IPv4 interface with a broadcast address"
               : "none of the --interface interfaces is up with a broadcast address";
}

void Relay::answer_probe(const sockaddr_in &client, const std::uint8_t *nonce) {
    ++stats_.probes;
    const auto reply = probe_reply(nonce, status_text());
    if (sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr *>(&client),
               sizeof client) < 0)
        log("probe reply to %s: %s\n", text_of(client).c_str(), std::strerror(errno));
    else if (options_.verbose >= 2)
        log("probe from %s\n", text_of(client).c_str());
}

void Relay::send_payload(Request &r) {
    const auto to = targets();
    if (to.empty())
        log("%s\n", status_text().c_str());
    // The first sending of a search says where it looked: a search that finds
    // nothing is then explained by the log.
    std::string where;
    for (const auto &t : to) {
        if (sendto(r.fd, r.payload.data(), r.payload.size(), 0,
                   reinterpret_cast<const sockaddr *>(&t.address), sizeof t.address) < 0)
            log("send to %s: %s\n", text_of(t.address).c_str(), std::strerror(errno));
        where += (where.empty() ? "" : ", ") +
                 (t.interface.empty() ? "" : log_text(t.interface) + " ") + text_of(t.address);
    }
    if (options_.verbose >= 1 && !r.announced && !to.empty())
        log("sent to %s\n", where.c_str());
    r.announced = true;
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
    // All slots taken (throwaway sockets, a flood): the oldest open search
    // gives way, so a client asking now is always served.
    if (search && options_.max_requests > 0 && requests_.size() >= options_.max_requests) {
        ++stats_.evicted;
        if (drop_log_allowed())
            log("all %zu searches open: the oldest, from %s, gives way to %s\n", requests_.size(),
                text_of(requests_.front()->client).c_str(), text_of(client).c_str());
        close(requests_.front()->fd);
        requests_.erase(requests_.begin());
    }
    auto r = std::make_unique<Request>();
    r->fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (r->fd < 0) {
        log("socket: %s\n", std::strerror(errno));
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
        log("%s from %s (%s), %zu bytes\n", search ? "search" : "setup", text_of(client).c_str(),
            log_text(r->client_name).c_str(), len);
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
            log("%llu more datagrams dropped\n", static_cast<unsigned long long>(drops_unlogged_));
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
                log("drop %zd bytes from %s: %s\n", n, text_of(from).c_str(),
                    too_long ? "too long" : verdict_text(v));
            continue;
        }
        if (header.kind == probe_kind)
            answer_probe(from, payload);
        else
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
            log("forward to %s: %s\n", text_of(r.client).c_str(), std::strerror(errno));
            continue;
        }
        ++r.forwarded;
        ++stats_.replies;
        if (options_.verbose >= 2)
            log("reply of %zd bytes from %s to %s\n", n, text_of(from).c_str(),
                text_of(r.client).c_str());
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
            log("poll: %s\n", std::strerror(errno));
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
                    log("search from %s done, %llu replies\n", text_of(r.client).c_str(),
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
