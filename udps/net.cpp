// The platform-free socket helpers over the per-platform operations.
#include "net_sockaddr.h"

#include "qvtext.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qvudps::net {

namespace {

// Dotted text of a host order address into 16 bytes.
void format_dotted(uint32_t host_order, char *out) {
    std::snprintf(out, 16, "%u.%u.%u.%u", static_cast<unsigned>(host_order >> 24),
                  static_cast<unsigned>(host_order >> 16 & 0xFF),
                  static_cast<unsigned>(host_order >> 8 & 0xFF),
                  static_cast<unsigned>(host_order & 0xFF));
}

uint32_t from_network(uint32_t network_order) {
    uint8_t b[4];
    std::memcpy(b, &network_order, sizeof b);
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
           static_cast<uint32_t>(b[2]) << 8 | b[3];
}

} // namespace

bool make_address(const char *ip, uint16_t port, sockaddr_in &addr) {
    addr = sockaddr_in{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (ip && qv::parse_dotted_ipv4(ip, addr.sin_addr.s_addr))
        return true;
    set_last_error(invalid_argument_error());
    return false;
}

int bind_any(Socket s, uint16_t port) {
    sockaddr_in addr;
    make_address("0.0.0.0", port, addr);
    return ::bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 ? 0 : -1;
}

int connect_start(Socket s, const char *ip, uint16_t port) {
    sockaddr_in addr;
    if (!make_address(ip, port, addr))
        return -1;
    if (::connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
        return 0;
    return connect_in_progress(last_error()) ? 0 : -1;
}

long received_from(long n, uint32_t network_address, uint16_t network_port, char *src,
                   uint16_t *src_port) {
    format_dotted(from_network(network_address), src);
    if (src_port) {
        uint8_t p[2];
        std::memcpy(p, &network_port, sizeof p);
        *src_port = static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
    return n;
}

void add_broadcast_target(std::vector<BroadcastTarget> &targets, const std::string &adapter,
                          uint32_t host_order) {
    BroadcastTarget t;
    t.adapter = adapter;
    format_dotted(host_order, t.address);
    if (std::none_of(targets.begin(), targets.end(), [&](const BroadcastTarget &o) {
            return std::strcmp(o.address, t.address) == 0;
        }))
        targets.push_back(t);
}

std::string targets_text(const std::vector<BroadcastTarget> &targets) {
    std::string text;
    for (const auto &t : targets)
        text += (text.empty() ? "" : ", ") + t.adapter + " " + t.address;
    return text;
}

int send_to_targets(Socket s, const void *data, std::size_t len,
                    const std::vector<BroadcastTarget> &targets, uint16_t port) {
    if (targets.empty()) {
        set_last_error(no_route_error());
        return -1;
    }
    // Every adapter is tried; the first failure is the one reported.
    int failed = 0;
    for (const auto &t : targets)
        if (send_to(s, data, len, t.address, port) != 0 && failed == 0)
            failed = last_error();
    set_last_error(failed);
    return failed == 0 ? 0 : -1;
}

} // namespace qvudps::net
