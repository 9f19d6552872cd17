// How long after the end of a search kelvo-cli notices it: search end minus
// (last reply + the library's 3 s quiet period), for a fleet of simulated
// devices (default 1000) behind a real relay, all in this process on
// loopback. The command line's wait on the library's hooks beside the
// 100 ms poll of the main window. Prints medians and the ratio.
#include "console.h"
#include "devsim.h"
#include "discovery.h"
#include "relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A UDP tap between the library and the relay on 127.0.0.1: it forwards
// both ways and notes when it handed the library the last reply, so the
// figure does not include the relay's own queueing.
class Tap {
public:
    explicit Tap(std::uint16_t relayPort) {
        for (int *fd : {&client, &upstream}) {
            *fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            // A thousand replies arrive at once.
            const int buffer = 8 << 20;
            setsockopt(*fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            bind(*fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        relay.sin_family = AF_INET;
        relay.sin_port = htons(relayPort);
        relay.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        thread = std::thread([this] { run(); });
    }
    ~Tap() {
        stop = true;
        thread.join();
        close(client);
        close(upstream);
    }
    std::uint16_t port() const {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        getsockname(client, reinterpret_cast<sockaddr *>(&a), &n);
        return ntohs(a.sin_port);
    }
    Clock::time_point lastReply() {
        std::lock_guard g(lock);
        return last;
    }

private:
    void run() {
        sockaddr_in from{};
        char buf[2048];
        while (!stop) {
            pollfd p[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
            if (poll(p, 2, 100) <= 0)
                continue;
            if (p[0].revents & POLLIN) {
                socklen_t n = sizeof from;
                const auto len =
                    recvfrom(client, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &n);
                if (len > 0)
                    sendto(upstream, buf, static_cast<size_t>(len), 0,
                           reinterpret_cast<sockaddr *>(&relay), sizeof relay);
            }
            if (p[1].revents & POLLIN) {
                const auto len = recv(upstream, buf, sizeof buf, 0);
                if (len > 0) {
                    sendto(client, buf, static_cast<size_t>(len), 0,
                           reinterpret_cast<sockaddr *>(&from), sizeof from);
                    std::lock_guard g(lock);
                    last = Clock::now();
                }
            }
        }
    }

    int client = -1, upstream = -1;
    sockaddr_in relay{};
    std::atomic<bool> stop{false};
    std::mutex lock;
    Clock::time_point last{};
    std::thread thread;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const double quietMs = 3000;

    kelvo::devsim::FleetConfig cfg;
    cfg.udp_port = 0;
    cfg.devices = kelvo::devsim::mixed_devices(count, true, "127.0.60.1");
    kelvo::devsim::Fleet fleet(cfg);
    std::string err;
    if (!fleet.start(&err)) {
        std::fprintf(stderr, "cli_search_end_bench: %s\n", err.c_str());
        return 1;
    }
    kelvo::relay::Options options;
    options.listen_address = "127.0.0.1";
    options.listen_port = 0;
    options.verbose = 0;
    sockaddr_in sa;
    kelvo::relay::make_endpoint(fleet.udp_address(), fleet.udp_port(), sa);
    options.devices.push_back(sa);
    kelvo::relay::Relay relay(options);
    int stop[2];
    if (!relay.open(&err) || pipe2(stop, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "cli_search_end_bench: %s\n", err.c_str());
        return 1;
    }
    std::thread relayThread([&] { relay.run(stop[0]); });

    Tap tap(relay.port());
    kelvo::cli::Route route;
    route.relayPort = tap.port();
    if (!kelvo::cli::StartDiscovery(route, &err)) {
        std::fprintf(stderr, "cli_search_end_bench: %s\n", err.c_str());
        return 1;
    }
    std::ostringstream sink;
    kelvo::cli::Console console(sink, sink, false, true);
    std::vector<double> polled, hooked;
    std::size_t found = 0;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool poll = round % 2 == 0;
        const auto t0 = Clock::now();
        if (poll) {
            // The main window's way: a 100 ms timer asks whether it is over.
            if (qvudps_search(0, nullptr) != 0)
                continue;
            while (qvudps_search_finish() != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            found = static_cast<std::size_t>(qvudps_count());
        } else {
            std::vector<qvudps_module> records;
            if (!kelvo::cli::Search(false, console, records, &err))
                continue;
            found = records.size();
        }
        const auto end = Clock::now();
        const auto last = tap.lastReply();
        if (last > t0)
            (poll ? polled : hooked).push_back(Ms(end - last) - quietMs);
    }
    const char b = 1;
    [[maybe_unused]] auto n = write(stop[1], &b, 1);
    relayThread.join();
    const double p = Median(polled), h = Median(hooked);
    std::printf("search end - (last reply + %.0f ms quiet), %zu devices (%zu found), median of %d: "
                "100 ms poll %.1f ms, completion hook %.1f ms, ratio %.1fx\n",
                quietMs, count, found, rounds, p, h, h > 0.05 ? p / h : 0.0);
    return 0;
}
