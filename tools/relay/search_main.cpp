// kelvo-lab-search: one search through a relay with the discovery library,
// printed as a table. The smallest client of the device lab.
#include "qvudps.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

int usage() {
    std::fprintf(stderr, "usage: kelvo-lab-search [--relay ADDR:PORT] [--no-names]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string address = "127.0.0.1";
    int port = 9999;
    int names = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--relay" && i + 1 < argc) {
            const std::string v = argv[++i];
            const auto colon = v.rfind(':');
            if (colon == std::string::npos)
                return usage();
            address = v.substr(0, colon);
            char *end = nullptr;
            port = static_cast<int>(std::strtol(v.c_str() + colon + 1, &end, 10));
            if (*end != '\0' || port < 0 || port > 65535)
                return usage();
        } else if (a == "--no-names") {
            names = 0;
        } else {
            return usage();
        }
    }
    if (qvudps_init() != 0 || qvudps_set_proxy(address.c_str(), port, "Mvx-Config") != 0 ||
        qvudps_search(names, nullptr) != 0) {
        qvudps_error_print();
        return 1;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (qvudps_search_finish() != 0) {
        if (std::chrono::steady_clock::now() > until) {
            std::fprintf(stderr, "kelvo-lab-search: no end of the search after 60 s\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("%-17s  %-24s  %-15s  %-28s  %5s  %s\n", "MAC", "Name", "IP address", "Type",
                "Port", "Options");
    qvudps_module *m = nullptr;
    while (qvudps_record(&m) == 0)
        std::printf("%-17s  %-24.24s  %-15s  %-28.28s  %5u  TCP setup=%c TEA=%c DHCP=%c\n", m->mac,
                    m->name, m->ip, m->type_name, m->port, m->tcp_setup_enabled ? 'Y' : 'N',
                    m->tea_enabled ? 'Y' : 'N', m->dhcp_enabled ? 'Y' : 'N');
    std::printf("%d device(s) found\n", qvudps_count());
    return 0;
}
