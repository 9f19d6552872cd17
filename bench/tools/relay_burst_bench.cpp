// Burst and flood figures of kelvo-relay: a thousand simulated devices
// answer one search at once; how many replies reach the client, and how
// fast. Then a flood of malformed datagrams, after which the relay must
// still serve. Everything runs on loopback; every loop is bounded.
#include "devsim.h"
#include "lab.h"

#include "wire.h"

#include <cstdio>
#include <set>
#include <thread>

using namespace kelvo::test;
using namespace std::chrono_literals;

namespace {

struct Round {
    std::size_t datagrams = 0;
    std::size_t devices = 0;
    double first_ms = 0;
    double last_ms = 0;
};

Round burst(const Udp &client, const sockaddr_in &relay, std::chrono::milliseconds quiet) {
    Round r;
    std::set<std::string> macs;
    const auto t0 = Clock::now();
    client.send_to(relay, wrap(qvudps::proxy_search, search_request(), "Bench"));
    Bytes b;
    const auto until = t0 + 30s;
    while (Clock::now() < until && client.receive(b, nullptr, quiet)) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (r.datagrams == 0)
            r.first_ms = ms;
        r.last_ms = ms;
        ++r.datagrams;
        qvudps_module m{};
        std::uint8_t mac[6];
        if (qvudps::decode_reply(b.data(), b.size(), m, mac))
            macs.insert(m.mac);
    }
    r.devices = macs.size();
    return r;
}

} // namespace

int main(int argc, char **argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const int rounds = 5;

    kelvo::devsim::FleetConfig cfg;
    cfg.udp_port = 0;
    cfg.devices = kelvo::devsim::mixed_devices(count, true, "127.0.40.1");
    kelvo::devsim::Fleet fleet(cfg);
    std::string err;
    if (!fleet.start(&err)) {
        std::fprintf(stderr, "relay_burst_bench: %s\n", err.c_str());
        return 1;
    }

    int lossless = 0;
    for (const int repeat : {1, 2}) {
        Process relay({KELVO_RELAY_PATH, "--listen", "127.0.0.1:0", "--devices",
                       "127.0.0.2:" + std::to_string(fleet.udp_port()), "--linger", "3", "--repeat",
                       std::to_string(repeat), "--verbose", "0"});
        const std::uint16_t port = port_in(relay.line());
        if (!port) {
            std::fprintf(stderr, "relay_burst_bench: kelvo-relay did not start\n");
            return 1;
        }
        const sockaddr_in relay_at = endpoint("127.0.0.1", port);
        Udp client;
        for (int i = 0; i < rounds; ++i) {
            const Round r = burst(client, relay_at, 700ms);
            lossless += r.devices == count && r.datagrams == count * repeat;
            std::printf("burst repeat=%d round %d: %zu/%zu devices, %zu/%zu datagrams, first "
                        "reply %.1f ms, last %.1f ms (%.0f replies/s)\n",
                        repeat, i + 1, r.devices, count, r.datagrams, count * repeat, r.first_ms,
                        r.last_ms, r.last_ms > 0 ? 1000.0 * r.datagrams / r.last_ms : 0.0);
            std::this_thread::sleep_for(100ms);
        }

        if (repeat == 2) {
            // Flood: malformed datagrams as fast as one socket sends them,
            // bounded in count; then one good search.
            const int flood = 50000;
            Bytes bad = wrap(qvudps::proxy_search, search_request());
            bad[17] ^= 0xFF; // CRC mismatch
            Udp flooder;
            const auto t0 = Clock::now();
            for (int i = 0; i < flood; ++i)
                flooder.send_to(relay_at, bad);
            const double flood_ms =
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            const Round after = burst(client, relay_at, 700ms);
            std::printf("flood: %d malformed datagrams sent in %.0f ms; next search: %zu/%zu "
                        "devices, %zu datagrams, last after %.1f ms\n",
                        flood, flood_ms, after.devices, count, after.datagrams, after.last_ms);
            lossless += after.devices == count;
        }
        relay.stop();
    }
    std::printf("lossless rounds: %d of %d\n", lossless, 2 * rounds + 1);
    std::fflush(stdout);
    fleet.stop();
    return 0;
}
