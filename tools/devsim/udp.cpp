// The fleet's UDP side: search replies and setup messages, in the byte
// format of the discovery library.
#include "internal.h"

#include "tea.h"
#include "wire.h"

#include <arpa/inet.h>

#include <cstring>

namespace kelvo::devsim {

std::array<std::uint32_t, 4> search_key() {
    const qvudps_tea_key &k = qvudps::builtin_search_key;
    return {k.k0, k.k1, k.k2, k.k3};
}

namespace {

void copy_text(char *dst, std::size_t cap, const std::string &src) {
    std::snprintf(dst, cap, "%s", src.c_str());
}

// The record a device's firmware would describe itself with.
qvudps_module record_of(const Device &dev) {
    const DeviceConfig &c = dev.cfg;
    qvudps_module m{};
    copy_text(m.mac, sizeof m.mac, c.mac);
    copy_text(m.ip, sizeof m.ip, c.ip);
    copy_text(m.mask, sizeof m.mask, c.mask);
    copy_text(m.filter_ip, sizeof m.filter_ip, c.filter_ip);
    copy_text(m.filter_mask, sizeof m.filter_mask, c.filter_mask);
    copy_text(m.gateway, sizeof m.gateway, c.gateway);
    m.raw_version = static_cast<std::uint8_t>(((c.fw_minor & 15) << 4) | (c.fw_build & 15));
    m.raw_type = static_cast<std::uint8_t>(((c.type & 31) << 3) | (c.fw_major & 7));
    m.raw_flags = static_cast<std::uint8_t>(
        (c.tea_enabled ? qvudps::flag_tea : 0) | (c.nvt_enabled ? qvudps::flag_nvt : 0) |
        (c.tcp_setup_enabled ? qvudps::flag_tcp_setup : 0) |
        (c.dhcp_supported ? qvudps::flag_dhcp_supported : 0) |
        (c.dhcp_enabled ? qvudps::flag_dhcp : 0) | (c.flags_high & 0xC0));
    m.raw_reserved = c.reserved;
    m.port = c.port;
    std::memcpy(m.token, c.token.data(), 8);
    if (c.type == qvudps::type_extended) {
        qvudps::set_capabilities(m, c.capabilities);
        // Told apart from the capability byte, which the device echoes.
        m.setup_auth_required = c.setup_auth_required ? 1 : 0;
        m.name_supported = 1;
        copy_text(m.name, sizeof m.name, c.name);
        copy_text(m.type_name, sizeof m.type_name, c.type_name);
        m.type = static_cast<std::uint16_t>(c.ext_type);
        m.web_port = m.web_supported ? c.port : 0;
        m.tcp_setup_port = m.tcp_setup_supported ? c.setup_port : 0;
        m.ext_value = c.ext_value;
    }
    return m;
}

std::string from_text(const sockaddr_in &sa) {
    char b[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &sa.sin_addr, b, sizeof b);
    return std::string(b) + ":" + std::to_string(ntohs(sa.sin_port));
}

} // namespace

void Fleet::Impl::handle_datagram(const std::uint8_t *buf, std::size_t len,
                                  const sockaddr_in &from) {
    const auto now = Clock::now();

    if (qvudps::is_search_request(buf, len)) {
        add_log(JsonLine().add("from", from_text(from)), "search");
        std::size_t sent = 0;
        for (const Device &dev : devices) {
            const Faults &f = dev.cfg.faults;
            if (f.drop_replies)
                continue;
            qvudps_tea_key key = qvudps::builtin_search_key;
            if (f.bad_auth)
                key.k3 ^= 0x5A5A5A5Au;
            const qvudps_module rec = record_of(dev);
            Datagram g;
            g.bytes.resize(48 + 3 * 256);
            const std::size_t size = qvudps::encode_reply(rec, key, g.bytes.data(), g.bytes.size());
            if (size == 0)
                continue;
            g.bytes.resize(size);
            g.to = from;
            g.when = now + std::chrono::milliseconds(std::max(0, f.reply_delay_ms));
            for (int copy = 0; copy <= std::min(f.duplicate_replies, 10); ++copy) {
                outgoing.push_back(g);
                ++sent;
            }
        }
        send_due_datagrams(now);
        add_log(JsonLine().add("count", static_cast<long long>(sent)), "reply");
        return;
    }

    qvudps::SetupMessage msg{};
    if (!qvudps::decode_setup(buf, len, msg)) {
        add_log(JsonLine()
                    .add("from", from_text(from))
                    .add("length", static_cast<long long>(len))
                    .add("reason", "neither a search request nor a setup message"),
                "udp");
        return;
    }
    Device *dev = device_by_mac(msg.mac_text);
    JsonLine line;
    line.add("mac", std::string(msg.mac_text));
    if (!dev) {
        line.add("applied", false).add("reason", "not a device of this fleet");
        add_log(line, "setup");
        return;
    }
    qvudps_tea_key key = qvudps::builtin_search_key;
    if (dev->cfg.setup_auth_required &&
        !qvudps::setup_key_from_login(dev->cfg.setup_user, dev->cfg.setup_password, key)) {
        line.add("applied", false).add("reason", "no setup key");
        add_log(line, "setup");
        return;
    }
    if (!qvudps::tea_check(buf, key)) {
        line.add("applied", false).add("reason", "bad authentication code");
        add_log(line, "setup");
        return;
    }

    DeviceConfig &c = dev->cfg;
    const DeviceConfig before = c;
    const bool defaults = msg.flags & qvudps::flag_defaults;
    if (defaults) {
        const Faults faults = c.faults;
        c = dev->initial;
        c.faults = faults;
        dev->setup = build_setup_tree(c);
        ++dev->defaults;
    } else {
        c.ip = msg.ip;
        c.mask = msg.mask;
        c.filter_ip = msg.filter_ip;
        c.filter_mask = msg.filter_mask;
        c.gateway = msg.gateway;
        if (msg.port != 0)
            c.port = msg.port;
        c.tea_enabled = msg.flags & qvudps::flag_tea;
        c.nvt_enabled = msg.flags & qvudps::flag_nvt;
        c.tcp_setup_enabled = msg.flags & qvudps::flag_tcp_setup;
        c.dhcp_enabled = msg.flags & qvudps::flag_dhcp;
        c.flags_high = msg.flags & 0xC0;
        // A device keeps 99 bytes of name, as the record does; a longer
        // one leaves the name as it was.
        if (msg.has_name && c.type == qvudps::type_extended && std::strlen(msg.name) < 100)
            c.name = msg.name;
    }
    ++dev->setups;
    line.add("applied", true)
        .add("reason", "")
        .add("defaults", defaults)
        .add("ip", c.ip)
        .add("mask", c.mask)
        .add("gateway", c.gateway)
        .add("filter_ip", c.filter_ip)
        .add("filter_mask", c.filter_mask)
        .add("port", static_cast<long long>(c.port))
        .add("flags", static_cast<long long>(msg.flags))
        .add("name", c.name);
    add_log(line, "setup");
    if (c.ip != before.ip || c.port != before.port || c.setup_port != before.setup_port)
        move_device(*dev);
}

} // namespace kelvo::devsim
