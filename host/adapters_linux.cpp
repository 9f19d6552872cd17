// Adapter list on Linux: addresses from getifaddrs, gateways from the kernel's
// routing table.
#include "hostplatform.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelvo::host::platform {

namespace {

std::string dotted(const sockaddr *sa) {
    if (sa == nullptr || sa->sa_family != AF_INET)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto *in = reinterpret_cast<const sockaddr_in *>(sa);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr)
        return {};
    return text;
}

bool readHex(const std::string &field, unsigned long &value) {
    if (field.empty())
        return false;
    char *end = nullptr;
    value = std::strtoul(field.c_str(), &end, 16);
    return end != nullptr && *end == '\0';
}

std::string routeTable() {
    // thread-self, not self: a thread moved into another network namespace
    // must see that namespace's routes, and /proc/self/net follows the main thread.
    for (const char *path : {"/proc/thread-self/net/route", "/proc/net/route"}) {
        std::ifstream in(path);
        if (!in)
            continue;
        std::string table, line;
        while (std::getline(in, line))
            table += line + '\n';
        return table;
    }
    return {};
}

} // namespace

std::string DefaultGatewayFromRouteTable(const std::string &table, const std::string &iface) {
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line); // column headings
    bool found = false;
    unsigned long bestMetric = 0;
    std::uint32_t best = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, dest, gateway, flags, refcnt, use, metric, mask;
        if (!(fields >> name >> dest >> gateway >> flags >> refcnt >> use >> metric >> mask))
            continue;
        unsigned long d = 0, g = 0, f = 0, m = 0, mk = 0;
        if (name != iface || !readHex(dest, d) || !readHex(gateway, g) || !readHex(flags, f) ||
            !readHex(mask, mk))
            continue;
        m = std::strtoul(metric.c_str(), nullptr, 10);
        if (d != 0 || mk != 0 || g == 0 || (f & RTF_UP) == 0 || (f & RTF_GATEWAY) == 0)
            continue;
        if (!found || m < bestMetric) {
            found = true;
            bestMetric = m;
            // The kernel prints the address word as it lies in memory, i.e.
            // already in network byte order once read back into a 32-bit word.
            best = static_cast<std::uint32_t>(g);
        }
    }
    if (!found)
        return {};
    in_addr a{};
    a.s_addr = best;
    char text[INET_ADDRSTRLEN] = {};
    return inet_ntop(AF_INET, &a, text, sizeof text) ? std::string(text) : std::string();
}

int ListAdapters(std::vector<AdapterEntry> &out) {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return -1;
    const std::string routes = routeTable();
    for (const ifaddrs *ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET ||
            ifa->ifa_name == nullptr || (ifa->ifa_flags & IFF_LOOPBACK) != 0 ||
            (ifa->ifa_flags & IFF_UP) == 0)
            continue;
        bool seen = false;
        for (const AdapterEntry &e : out)
            seen = seen || e.name == ifa->ifa_name;
        if (seen) // only an interface's first address counts
            continue;
        AdapterEntry e;
        e.name = ifa->ifa_name;
        e.ip = dotted(ifa->ifa_addr);
        e.mask = dotted(ifa->ifa_netmask);
        e.gateway = DefaultGatewayFromRouteTable(routes, e.name);
        out.push_back(std::move(e));
    }
    freeifaddrs(list);
    return 0;
}

} // namespace kelvo::host::platform
