// The relay's forwarding loop; the socket calls are in relay_net.h.
#include "relay.h"
#include "relay_net.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>

namespace kelvo::relay {

using Clock = std::chrono::steady_clock;

namespace {

std::string text_of(const sockaddr_in &sa) {
    char b[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &sa.sin_addr, b, sizeof b);
    return std::string(b) + ":" + std::to_string(ntohs(sa.sin_port));
}

} // namespace

struct Relay::Request {
    net::Socket fd = net::invalid;
    std::uint64_t key = 0; // the client, see client_key
    std::uint64_t id = 0;
    // A setup goes only by these interfaces; empty: every one.
    std::vector<std::string> only;
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
        net::close(r->fd);
    if (fd_ != net::invalid)
        net::close(fd_);
}

bool Relay::open(std::string *error) {
    const net::Socket fd = net::open_udp();
    if (fd == net::invalid) {
        if (error)
            *error = "socket: " + net::error_text();
        return false;
    }
    sockaddr_in sa;
    if (!make_endpoint(options_.listen_address, options_.listen_port, sa) ||
        !net::bind_to(fd, sa)) {
        if (error)
            *error = "cannot listen on " + options_.listen_address + ":" +
                     std::to_string(options_.listen_port) + ": " + net::error_text();
        net::close(fd);
        return false;
    }
    return adopt(fd, error);
}

bool Relay::adopt(qv_socket_t fd, std::string *error) {
    sockaddr_in sa{};
    if (!net::prepare_listening(fd, sa, error))
        return false;
    net::enlarge_buffers(fd);
    loopback_ = net::loopback_interfaces();
    // Without it every client would be taken for a forger.
    if (loopback_.empty()) {
        if (error)
            *error = "cannot tell the loopback interface, so no client could be trusted";
        return false;
    }
    fd_ = fd;
    address_ = sa;
    port_ = ntohs(sa.sin_port);
    return true;
}

std::string Relay::address_text() const {
    return text_of(address_);
}

namespace {

constexpr const char *kLineNames[] = {"request", "sent",  "done",  "reply", "probe",
                                      "drop",    "share", "route", "error"};

} // namespace

void Relay::log(Line kind, const char *format, ...) {
    log_summary(false);
    if (log_lines_ >= options_.log_lines_per_second) {
        ++left_out_[static_cast<int>(kind)];
        return;
    }
    ++log_lines_;
    std::fputs("kelvo-relay: ", options_.log);
    va_list args;
    va_start(args, format);
    std::vfprintf(options_.log, format, args);
    va_end(args);
    std::fflush(options_.log);
}

void Relay::log_summary(bool now) {
    const auto t = Clock::now();
    if (!now && t - log_window_ < std::chrono::seconds(1))
        return;
    std::string what;
    for (int k = 0; k < static_cast<int>(Line::kinds); ++k)
        if (left_out_[k] > 0)
            what += (what.empty() ? "" : ", ") + std::to_string(left_out_[k]) + " " + kLineNames[k];
    if (!what.empty()) {
        std::fprintf(options_.log,
                     "kelvo-relay: left out of the log (over %d lines a second): %s\n",
                     options_.log_lines_per_second, what.c_str());
        std::fflush(options_.log);
    }
    log_window_ = t;
    log_lines_ = 0;
    std::fill(std::begin(left_out_), std::end(left_out_), 0);
}

std::vector<Target> Relay::targets() const {
    if (options_.devices.empty())
        return broadcast_targets(qvudps::device_port, options_.interfaces);
    std::vector<Target> out;
    for (const auto &d : options_.devices)
        out.push_back({d, ""});
    return out;
}

std::string Relay::status_text() const {
    if (!targets().empty())
        return {};
    return options_.interfaces.empty() ? "no up IPv4 interface to broadcast on"
                                       : "none of the --interface interfaces is up";
}

void Relay::answer_probe(const sockaddr_in &client, const std::uint8_t *nonce) {
    ++stats_.probes;
    const auto reply = probe_reply(nonce, status_text());
    if (!net::send_to(fd_, reply.data(), reply.size(), client))
        log(Line::error, "probe reply to %s: %s\n", text_of(client).c_str(),
            net::error_text().c_str());
    else if (options_.verbose >= 2)
        log(Line::probe, "probe from %s\n", text_of(client).c_str());
}

void Relay::send_payload(Request &r) {
    auto to = targets();
    if (!r.only.empty())
        to.erase(std::remove_if(to.begin(), to.end(),
                                [&](const Target &t) {
                                    return std::find(r.only.begin(), r.only.end(),
                                                     t.interface_name) == r.only.end();
                                }),
                 to.end());
    if (to.empty())
        log(Line::error, "%s\n", status_text().c_str());
    // The first sending of a search says where it looked: a search that finds
    // nothing is then explained by the log.
    std::string where;
    for (const auto &t : to) {
        if (!net::send_to(r.fd, r.payload.data(), r.payload.size(), t.address))
            log(Line::error, "send to %s: %s\n", text_of(t.address).c_str(),
                net::error_text().c_str());
        where += (where.empty() ? "" : ", ") +
                 (t.interface_name.empty() ? "" : log_text(t.interface_name) + " ") +
                 text_of(t.address);
    }
    if (options_.verbose >= 1 && !r.announced && !to.empty())
        log(Line::sent, "sent to %s\n", where.c_str());
    r.announced = true;
    --r.sends_left;
    r.next_send = Clock::now() + std::chrono::milliseconds(options_.repeat_interval_ms);
}

std::uint64_t Relay::client_key(const sockaddr_in &client, bool &gone) {
    gone = false;
    sockaddr_in relay = address_;
    if (relay.sin_addr.s_addr == htonl(INADDR_ANY))
        relay.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::uint32_t uid = 0;
    std::string error;
    switch (owners_.owner(client, relay, uid, &error)) {
    case Owner::found:
        return std::uint64_t{1} << 48 | uid;
    case Owner::gone:
        gone = true;
        break;
    case Owner::unknown:
        break;
    }
    if (!owners_failed_ && !gone)
        log(Line::error, "cannot tell the users of clients apart (%s): each socket is a client\n",
            error.c_str());
    owners_failed_ = owners_failed_ || !gone;
    return std::uint64_t{ntohl(client.sin_addr.s_addr)} << 16 | ntohs(client.sin_port);
}

bool Relay::allowed(std::uint64_t key, std::uint8_t kind) {
    // Searches and probes: a burst of 64, then 32 a second; setups: a batch
    // of 4096 devices at once, then 2048 a second.
    constexpr double kSearchBurst = 64, kSearchRate = 32, kSetupBurst = 4096, kSetupRate = 2048;
    const auto now = Clock::now();
    if (allowances_.size() > 4096) // forget the clients that are full again
        for (auto it = allowances_.begin(); it != allowances_.end();)
            it = now - it->second.refilled > std::chrono::seconds(128) ? allowances_.erase(it)
                                                                       : std::next(it);
    auto [it, added] = allowances_.try_emplace(key);
    Allowance &a = it->second;
    const double seconds = added ? 1e9 : std::chrono::duration<double>(now - a.refilled).count();
    a.refilled = now;
    a.searches = std::min(kSearchBurst, a.searches + seconds * kSearchRate);
    a.setups = std::min(kSetupBurst, a.setups + seconds * kSetupRate);
    double &left = kind == qvudps::proxy_setup ? a.setups : a.searches;
    if (left < 1)
        return false;
    left -= 1;
    return true;
}

bool Relay::make_room(std::uint64_t key, const sockaddr_in &client) {
    if (options_.max_requests == 0 || requests_.size() < options_.max_requests)
        return true;
    // Fair share: the slots divided by the clients holding one, the asking
    // one included. The client holding the most gives way with its oldest
    // search, but only while it holds more than its share, or when it is
    // the asking client itself; nobody pushes out a client within its share.
    std::unordered_map<std::uint64_t, std::size_t> held;
    for (const auto &r : requests_)
        ++held[r->key];
    const std::size_t clients = held.size() + (held.count(key) ? 0 : 1);
    const std::size_t share = std::max<std::size_t>(1, options_.max_requests / clients);
    std::uint64_t victim = key;
    if (held[key] < share) {
        victim = requests_.front()->key;
        for (const auto &r : requests_) // oldest first: ties go to the longest held
            if (held[r->key] > held[victim])
                victim = r->key;
        if (held[victim] <= share) {
            ++stats_.refused;
            log(Line::share,
                "all %zu searches open, every client within its share: search from %s refused\n",
                requests_.size(), text_of(client).c_str());
            return false;
        }
    }
    const auto oldest = std::find_if(requests_.begin(), requests_.end(),
                                     [&](const auto &r) { return r->key == victim; });
    ++stats_.evicted;
    log(Line::share,
        "all %zu searches open: the oldest of the client holding most, from %s, gives way to %s\n",
        requests_.size(), text_of((*oldest)->client).c_str(), text_of(client).c_str());
    net::close((*oldest)->fd);
    requests_.erase(oldest);
    return true;
}

void Relay::start_request(std::uint64_t key, const sockaddr_in &client,
                          const qvudps::ProxyHeader &header, const std::uint8_t *payload,
                          std::size_t len) {
    const bool search = header.kind == qvudps::proxy_search;
    if (search) {
        // One open search per client socket: a client that asks again wants
        // the new answers, and a client flooding from one socket holds one
        // slot instead of starving everybody else.
        for (auto it = requests_.begin(); it != requests_.end();) {
            const sockaddr_in &c = (*it)->client;
            if (c.sin_addr.s_addr == client.sin_addr.s_addr && c.sin_port == client.sin_port) {
                net::close((*it)->fd);
                it = requests_.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (search && !make_room(key, client))
        return;
    auto r = std::make_unique<Request>();
    r->fd = net::open_udp();
    if (r->fd == net::invalid) {
        log(Line::error, "socket: %s\n", net::error_text().c_str());
        return;
    }
    // Also with --devices: an address book entry may be a remote subnet's
    // broadcast address.
    net::enable_broadcast(r->fd);
    if (search) {
        net::enlarge_buffers(r->fd);
        // The interface each reply came in by tells where its device's
        // setup has to go.
        net::report_interface(r->fd);
    }
    r->client = client;
    r->client_name = header.client_name;
    r->payload.assign(payload, payload + len);
    r->sends_left = search ? std::max(1, options_.repeat) : 1;
    r->deadline = Clock::now() + std::chrono::milliseconds(options_.linger_ms);
    if (options_.verbose >= 1)
        log(Line::request, "%s from %s (%s), %zu bytes\n", search ? "search" : "setup",
            text_of(client).c_str(), log_text(r->client_name).c_str(), len);
    r->id = ++request_ids_;
    r->key = key;
    if (!search && options_.devices.empty())
        r->only = setup_interfaces(r->payload);
    send_payload(*r);
    if (search) {
        ++stats_.searches;
        requests_.push_back(std::move(r));
    } else {
        ++stats_.setups;
        net::close(r->fd); // nothing comes back to a setup
    }
}

void Relay::on_client_datagram() {
    // Bounded per wake-up so that a flood from one client cannot starve the
    // forwarding of replies.
    for (int round = 0; round < 512; ++round) {
        std::uint8_t buf[qvudps::max_datagram + qvudps::proxy_header_size + 1];
        sockaddr_in from{};
        int ifindex = 0;
        const long n = net::receive(fd_, buf, sizeof buf, from, ifindex);
        if (n < 0)
            return;
        // Datagrams queued on a handed-over socket before IP_PKTINFO was set
        // come without the interface; from the first one that has it on,
        // every one has it.
        pktinfo_seen_ = pktinfo_seen_ || ifindex != 0;
        const bool on_loopback =
            (ifindex == 0 && !pktinfo_seen_) ||
            std::find(loopback_.begin(), loopback_.end(), ifindex) != loopback_.end();
        qvudps::ProxyHeader header{};
        const std::uint8_t *payload = nullptr;
        std::size_t payload_len = 0;
        // A datagram that fills the buffer was cut by the kernel: refuse it.
        const bool too_long = static_cast<std::size_t>(n) >= sizeof buf;
        const Verdict v = too_long
                              ? Verdict::too_short
                              : check_datagram(from, on_loopback, buf, static_cast<std::size_t>(n),
                                               header, payload, payload_len);
        if (v != Verdict::ok) {
            ++stats_.dropped;
            if (options_.verbose >= 1)
                log(Line::drop, "drop %ld bytes from %s: %s\n", n, text_of(from).c_str(),
                    too_long ? "too long" : verdict_text(v));
            continue;
        }
        bool gone = false;
        const std::uint64_t key = client_key(from, gone);
        // Nobody would get the answers; a setup needs none and still goes.
        if (gone && header.kind != qvudps::proxy_setup) {
            ++stats_.dropped;
            if (options_.verbose >= 1)
                log(Line::drop, "drop %ld bytes from %s: its socket is closed\n", n,
                    text_of(from).c_str());
            continue;
        }
        if (!allowed(key, header.kind)) {
            ++stats_.dropped;
            if (options_.verbose >= 1)
                log(Line::drop, "drop %ld bytes from %s: over its allowance of requests\n", n,
                    text_of(from).c_str());
            continue;
        }
        if (header.kind == probe_kind)
            answer_probe(from, payload);
        else
            start_request(key, from, header, payload, payload_len);
    }
}

namespace {

std::uint64_t mac_key(const std::uint8_t *mac) {
    std::uint64_t key = 0;
    for (int i = 0; i < 6; ++i)
        key = (key << 8) | mac[qvudps::off::mac + i];
    return key;
}

std::string mac_text(std::uint64_t key) {
    char b[18];
    std::snprintf(b, sizeof b, "%02X:%02X:%02X:%02X:%02X:%02X", unsigned(key >> 40 & 255),
                  unsigned(key >> 32 & 255), unsigned(key >> 24 & 255), unsigned(key >> 16 & 255),
                  unsigned(key >> 8 & 255), unsigned(key & 255));
    return b;
}

constexpr std::size_t kMacsKept = 65536;
constexpr std::size_t kInterfacesPerMac = 8;

} // namespace

void Relay::learn(const std::uint8_t *reply, std::size_t len, int ifindex, std::uint64_t search) {
    if (len < qvudps::reply_fixed_size || ifindex <= 0)
        return;
    const std::string name = net::interface_name(ifindex);
    if (name.empty())
        return;
    const std::uint64_t key = mac_key(reply);
    auto [it, added] = macs_.try_emplace(key);
    if (added) {
        macs_order_.push_back(key);
        // The table is bounded: the MAC learnt first is forgotten first.
        if (macs_order_.size() > kMacsKept) {
            macs_.erase(macs_order_.front());
            macs_order_.pop_front();
        }
    }
    MacSeen &seen = it->second;
    // Only the latest search counts: a device moved to another network
    // is found there.
    if (seen.search != search) {
        seen.search = search;
        seen.interfaces.clear();
    }
    if (seen.interfaces.size() < kInterfacesPerMac &&
        std::find(seen.interfaces.begin(), seen.interfaces.end(), name) == seen.interfaces.end())
        seen.interfaces.emplace_back(name);
}

std::vector<std::string> Relay::setup_interfaces(const std::vector<std::uint8_t> &setup) {
    const std::uint64_t key = mac_key(setup.data());
    const auto it = macs_.find(key);
    if (it == macs_.end()) {
        log(Line::route, "setup for %s, which answered no search: sent on every interface\n",
            mac_text(key).c_str());
        return {};
    }
    const auto up = targets();
    for (const auto &name : it->second.interfaces)
        for (const auto &t : up)
            if (t.interface_name == name)
                return it->second.interfaces;
    log(Line::route, "setup for %s: %s, where it answered, is not up: sent on every interface\n",
        mac_text(key).c_str(), log_text(it->second.interfaces.front()).c_str());
    return {};
}

void Relay::forward_replies(Request &r) {
    for (int round = 0; round < 4096; ++round) {
        std::uint8_t buf[2048];
        sockaddr_in from{};
        int ifindex = 0;
        const long n = net::receive(r.fd, buf, sizeof buf, from, ifindex);
        if (n < 0)
            return;
        // A search socket has had IP_PKTINFO from its start, so a missing
        // index cannot be a network interface's.
        const bool on_loopback = ifindex == 0 || std::find(loopback_.begin(), loopback_.end(),
                                                           ifindex) != loopback_.end();
        if (!reply_accepted(from, on_loopback, options_.devices)) {
            ++stats_.dropped;
            log(Line::drop, "datagram from %s on a search socket is no device's reply\n",
                text_of(from).c_str());
            continue;
        }
        if (options_.devices.empty())
            learn(buf, static_cast<std::size_t>(n), ifindex, r.id);
        if (!net::send_to(fd_, buf, static_cast<std::size_t>(n), r.client)) {
            log(Line::error, "forward to %s: %s\n", text_of(r.client).c_str(),
                net::error_text().c_str());
            continue;
        }
        ++r.forwarded;
        ++stats_.replies;
        if (options_.verbose >= 2)
            log(Line::reply, "reply of %ld bytes from %s to %s\n", n, text_of(from).c_str(),
                text_of(r.client).c_str());
    }
}

int Relay::run(StopHandle stop) {
    std::vector<net::Socket> sockets;
    std::vector<char> readable;
    for (;;) {
        auto now = Clock::now();
        auto wake = now + std::chrono::seconds(1);
        sockets.assign(1, fd_);
        for (const auto &r : requests_) {
            sockets.push_back(r->fd);
            wake = std::min(wake, r->deadline);
            if (r->sends_left > 0)
                wake = std::min(wake, r->next_send);
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
        std::string error;
        const int n = net::wait(stop, sockets, static_cast<int>(std::max<long long>(ms, 0)),
                                readable, &error);
        if (n < 0) {
            log(Line::error, "%s\n", error.c_str());
            log_summary(true);
            return 1;
        }
        if (n > 0) {
            log_summary(true);
            return 0;
        }
        log_summary(false);
        // Replies first: they are what a client is waiting for.
        for (std::size_t i = 0; i < requests_.size(); ++i)
            if (readable[1 + i])
                forward_replies(*requests_[i]);
        if (readable[0])
            on_client_datagram();
        now = Clock::now();
        for (auto it = requests_.begin(); it != requests_.end();) {
            Request &r = **it;
            if (r.sends_left > 0 && now >= r.next_send)
                send_payload(r);
            if (now >= r.deadline) {
                forward_replies(r);
                if (options_.verbose >= 1)
                    log(Line::done, "search from %s done, %llu replies\n",
                        text_of(r.client).c_str(), static_cast<unsigned long long>(r.forwarded));
                net::close(r.fd);
                it = requests_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

} // namespace kelvo::relay
