// Figures of the discovery library on loopback: a peer that plays the relay
// answers a burst of devices, and silent HTTP peers stand in for device web
// servers that accept a connection and never answer. Nothing leaves
// 127.0.0.1; every send loop is bounded by the device count.
#include "names.h"
#include "qvplatform.h"
#include "qvudps.h"
#include "tea.h"
#include "wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr double quiet_period_ms = 3000.0;

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

Bytes device_reply(unsigned index, unsigned type_code, uint16_t port) {
    qvudps_module d{};
    std::snprintf(d.mac, sizeof d.mac, "02:BE:00:%02X:%02X:%02X", (index >> 16) & 0xFF,
                  (index >> 8) & 0xFF, index & 0xFF);
    std::strcpy(d.ip, "127.0.0.1");
    std::strcpy(d.mask, "255.0.0.0");
    std::strcpy(d.filter_ip, "0.0.0.0");
    std::strcpy(d.filter_mask, "0.0.0.0");
    std::strcpy(d.gateway, "127.0.0.254");
    d.raw_type = static_cast<uint8_t>(type_code << 3);
    d.port = port;
    Bytes b(qvudps::max_datagram);
    b.resize(qvudps::encode_reply(d, qvudps::builtin_search_key, b.data(), b.size()));
    return b;
}

// Plays the relay: answers the next search request with `replies`, sent
// back to back, and notes when the last one left.
class Relay {
public:
    Relay() {
        sock_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        int big = 8 * 1024 * 1024;
        setsockopt(sock_, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(sock_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(sock_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Relay() { ::close(sock_); }
    uint16_t port() const { return port_; }

    // Serves one request in a thread; join with finish().
    void serve(std::vector<Bytes> replies) {
        thread_ = std::thread([this, r = std::move(replies)] {
            uint8_t buf[1024];
            pollfd p{sock_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                return;
            sockaddr_in from{};
            socklen_t flen = sizeof from;
            if (::recvfrom(sock_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen) <=
                0)
                return;
            // Forwarded as a relay would, in bursts of 500 a millisecond apart.
            for (std::size_t i = 0; i < r.size(); ++i) {
                if (i && i % 500 == 0)
                    std::this_thread::sleep_for(1ms);
                ::sendto(sock_, r[i].data(), r[i].size(), 0, reinterpret_cast<sockaddr *>(&from),
                         flen);
            }
            last_sent_ = Clock::now();
            sent_ = r.size();
        });
    }
    void finish() { thread_.join(); }
    Clock::time_point last_sent() const { return last_sent_; }
    std::size_t sent() const { return sent_; }

private:
    int sock_;
    uint16_t port_;
    std::thread thread_;
    Clock::time_point last_sent_{};
    std::size_t sent_ = 0;
};

// HTTP peers that accept and never answer, all served by one thread.
class SilentPeers {
public:
    explicit SilentPeers(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
            ::listen(s, 16);
            socklen_t len = sizeof a;
            getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
            listeners_.push_back(s);
            ports_.push_back(ntohs(a.sin_port));
        }
        thread_ = std::thread([this] { run(); });
    }
    ~SilentPeers() {
        stop_ = true;
        thread_.join();
        for (int s : listeners_)
            ::close(s);
        for (int s : held_)
            ::close(s);
    }
    const std::vector<uint16_t> &ports() const { return ports_; }
    std::size_t accepted() const { return accepted_; }

private:
    void run() {
        std::vector<pollfd> fds;
        for (int s : listeners_)
            fds.push_back({s, POLLIN, 0});
        while (!stop_) {
            if (::poll(fds.data(), fds.size(), 50) <= 0)
                continue;
            for (auto &p : fds) {
                if (!(p.revents & POLLIN))
                    continue;
                const int c = ::accept(p.fd, nullptr, nullptr);
                if (c >= 0) {
                    held_.push_back(c);
                    ++accepted_;
                }
            }
        }
    }
    std::vector<int> listeners_;
    std::vector<uint16_t> ports_;
    std::vector<int> held_;
    std::atomic<std::size_t> accepted_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::mutex done_m;
Clock::time_point done_at;

void on_done(void *) {
    std::lock_guard lk(done_m);
    done_at = Clock::now();
}

struct Run {
    int found;
    int dropped;
    std::size_t sent;
    double hook_after_quiet_ms; // search end (done hook) minus last reply minus quiet period
    double poll_after_quiet_ms; // the same, seen by a 100 ms poll
};

Run search_once(Relay &relay, std::vector<Bytes> replies, int name_lookup) {
    relay.serve(std::move(replies));
    if (qvudps_search(name_lookup, nullptr) != 0) {
        qvudps_error_print();
        relay.finish();
        return {};
    }
    // The way a caller without hooks learns of the end: a 100 ms poll.
    const auto limit = Clock::now() + 120s;
    while (qvudps_search_finish() != 0 && Clock::now() < limit)
        std::this_thread::sleep_for(100ms);
    const auto polled = Clock::now();
    relay.finish();
    std::lock_guard lk(done_m);
    const double quiet_end_ms = quiet_period_ms;
    return {qvudps_count(), qvudps_count_dropped(), relay.sent(),
            ms_between(relay.last_sent(), done_at) - quiet_end_ms,
            ms_between(relay.last_sent(), polled) - quiet_end_ms};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

long peak_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::vector<Bytes> fleet(unsigned n, unsigned first, unsigned type_code,
                         const std::vector<uint16_t> &ports = {}) {
    std::vector<Bytes> out;
    for (unsigned i = 0; i < n; ++i)
        out.push_back(device_reply(first + i, type_code, ports.empty() ? 80 : ports[i]));
    return out;
}

// Seconds the name lookup of `n` mute devices takes with `parallel`
// connections at once.
double lookup_seconds(const SilentPeers &peers, std::size_t parallel) {
    std::vector<qvudps::HttpExchange> xs(peers.ports().size());
    for (std::size_t i = 0; i < xs.size(); ++i) {
        xs[i].ip = "127.0.0.1";
        xs[i].port = peers.ports()[i];
        xs[i].request = qvudps::lookup_request;
    }
    const auto t0 = Clock::now();
    qvudps::run_http_exchanges(xs, parallel, {});
    return ms_between(t0, Clock::now()) / 1000.0;
}

} // namespace

int main() {
    qv_raise_fd_limit();
    if (qvudps_init() != 0) {
        qvudps_error_print();
        return 1;
    }
    qvudps_callbacks cb{};
    cb.on_search_done = on_done;
    qvudps_callback(&cb);
    Relay relay;
    qvudps_set_proxy("127.0.0.1", relay.port(), "Mvx-Config");

    std::printf("discovery library benchmark (loopback relay, quiet period %.0f ms)\n",
                quiet_period_ms);

    // Found / answered: the default table against a table of 10,000.
    for (unsigned n : {1000u, 2000u, 10000u}) {
        qvudps_set_capacity(MAX_MODULES);
        const Run small = search_once(relay, fleet(n, 0, 8), 0);
        qvudps_set_capacity(10000);
        const Run large = search_once(relay, fleet(n, 0, 8), 0);
        std::printf("%5u answered: table 1000 found %d (%d reported left out), table 10000 "
                    "found %d (%d left out); found/answered %.3f vs %.3f\n",
                    n, small.found, small.dropped, large.found, large.dropped,
                    double(small.found) / n, double(large.found) / n);
    }

    // When the caller learns of the end: done hook against a 100 ms poll.
    std::vector<double> hook, poll;
    for (int round = 0; round < 5; ++round) {
        const Run r = search_once(relay, fleet(1000, 0, 8), 0);
        hook.push_back(r.hook_after_quiet_ms);
        poll.push_back(r.poll_after_quiet_ms);
    }
    std::printf("1000 devices, search end minus (last reply + quiet period), median of 5: done "
                "hook %.1f ms, 100 ms poll %.1f ms (target <= 20 ms)\n",
                median(hook), median(poll));

    // Mute web servers: one deadline for all lookups against waves of 64.
    for (std::size_t n : {std::size_t{200}, std::size_t{1000}}) {
        SilentPeers peers(n);
        const Run r =
            search_once(relay, fleet(static_cast<unsigned>(n), 5000, 2, peers.ports()), 1);
        const double waves = lookup_seconds(peers, 64);
        std::printf("%4zu mute devices: search adds %.2f s with one deadline (%zu connections at "
                    "most); waves of 64 add %.2f s; ratio %.1fx (target <= %.1f s)\n",
                    n, r.hook_after_quiet_ms / 1000.0, qvudps::name_connections(), waves,
                    waves / std::max(0.001, r.hook_after_quiet_ms / 1000.0), n > 200 ? 3.0 : 2.5);
    }

    std::printf("peak memory (max RSS): %ld KiB\n", peak_rss_kb());
    qvudps_uninit();
    return 0;
}
