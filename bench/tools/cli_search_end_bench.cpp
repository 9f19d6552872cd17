// How long after the end of a search kelvo-cli notices it: search end minus
// (last reply + the library's 3 s quiet period), for a fleet of simulated
// devices (default 1000) behind a real relay, all in this process on
// loopback. The command line's wait on the library's hooks beside the
// 100 ms poll of the main window. Prints medians and the ratio.
#include "console.h"
#include "devsim.h"
#include "discovery.h"
#include "relay.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Milliseconds from the fleet's search entry at or after log line `from` to
// its last reply entry.
double LastReplyAfterRequest(const kelvo::devsim::Fleet &fleet, std::size_t from) {
    const auto log = fleet.log();
    double request = -1, last = -1;
    for (std::size_t i = from; i < log.size(); ++i) {
        const auto o = QJsonDocument::fromJson(QByteArray::fromStdString(log[i])).object();
        if (o["kind"] == "search" && request < 0)
            request = o["t"].toDouble();
        if (o["kind"] == "reply")
            last = o["t"].toDouble();
    }
    return request < 0 || last < 0 ? -1 : last - request;
}

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
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(fleet.udp_port());
    inet_pton(AF_INET, fleet.udp_address().c_str(), &sa.sin_addr);
    options.devices.push_back(sa);
    kelvo::relay::Relay relay(options);
    int stop[2];
    if (!relay.open(&err) || pipe2(stop, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "cli_search_end_bench: %s\n", err.c_str());
        return 1;
    }
    std::thread relayThread([&] { relay.run(stop[0]); });

    kelvo::cli::Route route;
    route.relayPort = relay.port();
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
        const std::size_t from = fleet.log_size();
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
        const double end = Ms(Clock::now() - t0);
        const double last = LastReplyAfterRequest(fleet, from);
        if (last >= 0)
            (poll ? polled : hooked).push_back(end - (last + quietMs));
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
