// Soak run: searches and configuration downloads, over and over, against a
// simulated fleet in which every fault option is on for some device, through
// a relay in this process. Prints the process's memory, open descriptors and
// threads as it goes and at the end, and fails when they grew.
//
//   kelvo-soak [SECONDS] [DEVICES]      (default 1800 s, 10 devices)
//
// Everything stays on 127.x.x.x; the relay sends by unicast to the fleet.
#include "devsim.h"
#include "relay.h"

#include <qvudps.h>
#include <qvxml.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    long rss_kb = 0;
    int fds = 0;
    int threads = 0;
};

int count_entries(const char *path) {
    int n = 0;
    if (DIR *d = opendir(path)) {
        while (const dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n - (std::strcmp(path, "/proc/self/fd") == 0 ? 1 : 0); // the DIR's own descriptor
}

Figures figures() {
    Figures f;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            f.rss_kb = std::strtol(line.c_str() + 6, nullptr, 10);
    f.fds = count_entries("/proc/self/fd");
    f.threads = count_entries("/proc/self/task");
    return f;
}

// Every fault the simulator has, each on at least one device; the last two
// of every ten devices behave.
void add_faults(std::vector<kelvo::devsim::DeviceConfig> &devices) {
    using kelvo::devsim::Faults;
    static const Faults cycle[] = {
        {.reply_delay_ms = 1500, .duplicate_replies = 3, .malformed_xml = true},
        {.bad_auth = true},
        {.http_silent = true},
        {.http_delay_ms = 1500, .slow_body_ms = 20},
        {.oversize = 25000},
        {.http_status = 401},
        {.drop_replies = true},
        {.duplicate_replies = 1, .http_status = 500},
        {},
        {},
    };
    for (std::size_t i = 0; i < devices.size(); ++i)
        devices[i].faults = cycle[i % std::size(cycle)];
}

struct Tally {
    long searches = 0;
    long found = 0;
    long downloads = 0;
    long downloaded = 0;
    long refused = 0;
};

bool wait_search(int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (qvudps_search_finish() != 0) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// One download of setup.xml from every device found, a few at a time.
void download_all(const std::vector<qvudps_module> &found, Tally &t) {
    constexpr std::size_t parallel = 4;
    for (std::size_t first = 0; first < found.size(); first += parallel) {
        std::vector<int> handles;
        for (std::size_t i = first; i < found.size() && i < first + parallel; ++i) {
            const qvudps_module &m = found[i];
            const int port = m.web_port ? m.web_port : m.port;
            const int h = qvxml_open(m.ip, port, nullptr, nullptr);
            if (h < 0)
                continue;
            ++t.downloads;
            if (qvxml_wait_finish(h, 0, 5) != 0 || qvxml_get_setup(h) != 0) {
                ++t.refused;
                qvxml_close(h);
                continue;
            }
            handles.push_back(h);
        }
        for (int h : handles) {
            // A silent device costs the worker's ten one-second receive rounds.
            qvxml_wait_finish(h, 4, 30);
            qvxml_setup *setup = nullptr;
            qvxml_setup_counts *counts = nullptr;
            if (qvxml_get_setup_cache(h, &setup, &counts) == 0)
                ++t.downloaded;
            else
                ++t.refused;
            qvxml_close(h);
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1800;
    const long device_count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 10;
    if (seconds < 1 || seconds > 24 * 3600 || device_count < 1 || device_count > 200) {
        std::fprintf(stderr, "usage: kelvo-soak [SECONDS 1..86400] [DEVICES 1..200]\n");
        return 2;
    }

    kelvo::devsim::FleetConfig fc;
    fc.udp_address = "127.0.0.3";
    fc.udp_port = 0;
    fc.devices =
        kelvo::devsim::mixed_devices(static_cast<std::size_t>(device_count), true, "127.0.50.1");
    add_faults(fc.devices);
    kelvo::devsim::Fleet fleet(fc);
    std::string error;
    if (!fleet.start(&error)) {
        std::fprintf(stderr, "kelvo-soak: fleet: %s\n", error.c_str());
        return 1;
    }

    kelvo::relay::Options ro;
    ro.listen_port = 0;
    ro.linger_ms = 4000;
    ro.verbose = 0;
    sockaddr_in fleet_address;
    kelvo::relay::make_endpoint(fleet.udp_address(), fleet.udp_port(), fleet_address);
    ro.devices.push_back(fleet_address); // unicast only: the relay never broadcasts here
    kelvo::relay::Relay relay(ro);
    if (!relay.open(&error)) {
        std::fprintf(stderr, "kelvo-soak: relay: %s\n", error.c_str());
        return 1;
    }
    int stop[2];
    if (pipe2(stop, O_CLOEXEC) != 0)
        return 1;
    std::thread relay_thread([&] { relay.run(stop[0]); });

    qvudps_init();
    qvudps_set_proxy("127.0.0.1", relay.port(), "Mvx-Config");
    qvxml_init();

    const Figures before = figures();
    Figures warm{};
    Figures peak = before;
    Tally t;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    auto next_report = start;
    int cycle = 0;
    while (Clock::now() < end) {
        if (qvudps_search(1, nullptr) != 0 || !wait_search(70)) {
            std::fprintf(stderr, "kelvo-soak: search did not finish\n");
            break;
        }
        ++t.searches;
        std::vector<qvudps_module> found;
        qvudps_rewind();
        qvudps_module m;
        while (qvudps_record_copy(&m) == 0)
            found.push_back(m);
        t.found += static_cast<long>(found.size());
        download_all(found, t);
        const Figures now = figures();
        if (++cycle == 1)
            warm = now;
        peak.rss_kb = std::max(peak.rss_kb, now.rss_kb);
        peak.fds = std::max(peak.fds, now.fds);
        peak.threads = std::max(peak.threads, now.threads);
        if (Clock::now() >= next_report) {
            const long s =
                std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
            std::printf("%5ld s: %ld searches (%ld records), %ld downloads (%ld ok, %ld refused), "
                        "rss %ld kB, fds %d, threads %d\n",
                        s, t.searches, t.found, t.downloads, t.downloaded, t.refused, now.rss_kb,
                        now.fds, now.threads);
            std::fflush(stdout);
            next_report += std::chrono::seconds(60);
        }
    }
    const Figures last = figures();

    // What is left once the libraries' handles are closed and the lab stops.
    qvxml_uninit();
    if (write(stop[1], "x", 1) != 1)
        return 1;
    relay_thread.join();
    fleet.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Figures after = figures();
    close(stop[0]);
    close(stop[1]);

    std::printf("soak: %ld s, %ld searches, %ld records, %ld downloads (%ld ok, %ld refused)\n",
                static_cast<long>(
                    std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()),
                t.searches, t.found, t.downloads, t.downloaded, t.refused);
    std::printf("rss kB: before %ld, after first cycle %ld, peak %ld, last cycle %ld\n",
                before.rss_kb, warm.rss_kb, peak.rss_kb, last.rss_kb);
    std::printf("fds: before %d, after first cycle %d, peak %d, last cycle %d, after stop %d\n",
                before.fds, warm.fds, peak.fds, last.fds, after.fds);
    std::printf("threads: before %d, after first cycle %d, peak %d, last cycle %d, after stop %d\n",
                before.threads, warm.threads, peak.threads, last.threads, after.threads);
    // The discovery worker stays (it ends with the process); the XML library's
    // timer thread ends with qvxml_uninit; the relay and fleet threads end.
    const bool ok = t.searches > 0 && last.fds <= warm.fds && last.threads <= warm.threads &&
                    last.rss_kb <= warm.rss_kb + 4096;
    std::printf("soak: %s\n", ok ? "OK" : "FAILED");
    return ok ? 0 : 1;
}
