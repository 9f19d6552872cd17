#include "internal.h"
#include "qvtext.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvo::devsim {

// ---------------------------------------------------------------- helpers

std::string json_escape(const std::string &text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                out += b;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

void JsonLine::key(const char *k) {
    if (s_.size() > 1)
        s_ += ",";
    s_ += "\"";
    s_ += k;
    s_ += "\":";
}

JsonLine &JsonLine::add(const char *k, const std::string &value) {
    key(k);
    s_ += "\"" + json_escape(value) + "\"";
    return *this;
}

JsonLine &JsonLine::add(const char *k, long long value) {
    key(k);
    s_ += std::to_string(value);
    return *this;
}

JsonLine &JsonLine::add(const char *k, bool value) {
    key(k);
    s_ += value ? "true" : "false";
    return *this;
}

std::string to_hex(const std::uint8_t *data, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

std::string mac_text(const std::array<std::uint8_t, 6> &mac) {
    char b[18];
    std::snprintf(b, sizeof b, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return b;
}

bool parse_mac(const std::string &text, std::array<std::uint8_t, 6> &out) {
    unsigned v[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        out[i] = static_cast<std::uint8_t>(v[i]);
    return true;
}

bool is_loopback_text(const std::string &ip) {
    std::uint8_t a[4];
    return qv::parse_dotted_ipv4(ip, a) && a[0] == 127;
}

bool parse_endpoint(const std::string &text, std::string &address, std::uint16_t &port) {
    const auto colon = text.rfind(':');
    std::string a = colon == std::string::npos ? text : text.substr(0, colon);
    std::uint8_t tmp[4];
    if (!qv::parse_dotted_ipv4(a, tmp))
        return false;
    if (colon != std::string::npos) {
        const std::string p = text.substr(colon + 1);
        if (p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long v = std::strtoul(p.c_str(), nullptr, 10);
        if (v > 65535)
            return false;
        port = static_cast<std::uint16_t>(v);
    }
    address = a;
    return true;
}

namespace {

bool in_set(unsigned type, std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
    for (auto [lo, hi] : ranges)
        if (type >= lo && type <= hi)
            return true;
    return false;
}

std::string address_of(std::size_t index, const std::string &first) {
    std::uint32_t network_order = 0;
    qv::parse_dotted_ipv4(first, network_order);
    std::uint32_t base = ntohl(network_order);
    // Skip .0 and .255 host parts so every address looks like a host's.
    std::uint32_t v = base;
    for (std::size_t i = 0; i < index; ++i) {
        ++v;
        while ((v & 0xFF) == 0 || (v & 0xFF) == 255)
            ++v;
    }
    in_addr a{};
    a.s_addr = htonl(v);
    char b[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, b, sizeof b);
    return b;
}

} // namespace

bool Device::web() const {
    if (cfg.type == 31)
        return cfg.capabilities & 0x02;
    return in_set(cfg.type, {{2, 6}, {8, 8}, {10, 17}, {20, 26}});
}

bool Device::terminal() const {
    if (cfg.type == 31)
        return cfg.capabilities & 0x20;
    return true;
}

// ---------------------------------------------------------------- fleet mix

std::vector<DeviceConfig> mixed_devices(std::size_t count, bool ephemeral_ports,
                                        const std::string &first_ip) {
    std::vector<DeviceConfig> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        DeviceConfig c;
        const std::size_t n = i + 1;
        c.ip = address_of(i, first_ip);
        c.gateway = "127.0.10.254";
        c.fw_minor = static_cast<unsigned>(n % 16);
        c.fw_build = static_cast<unsigned>((n * 7) % 16);
        for (std::size_t t = 0; t < 8; ++t)
            c.token[t] = static_cast<std::uint8_t>((n * 31 + t * 17) & 0xFF);
        // The six kinds of the mix, one after another.
        struct Kind {
            std::uint8_t type, ext_type;
            const char *model, *title, *name; // name: followed by the number; "" none
            unsigned sensors, inputs, outputs;
        };
        static const Kind kinds[] = {
            {2, 0, "33", "Lab thermometer", "Thermometer ", 2, 2, 0},
            {20, 0, "40", "Lab I/O box", "IO box ", 1, 4, 4},
            {7, 0, "12", "Lab serial converter", "", 0, 0, 0},
            {31, 26, "52", "Lab sensor hub", "Hub ", 4, 2, 2},
            {13, 0, "45", "Lab energy meter", "Meter ", 3, 2, 0},
            {31, 24, "60", "Lab secured controller", "Secured ", 2, 2, 2},
        };
        const Kind &k = kinds[i % 6];
        c.type = k.type;
        c.model = k.model;
        c.title = k.title;
        c.name = *k.name ? k.name + std::to_string(n) : "";
        c.sensors = k.sensors;
        c.inputs = k.inputs;
        c.outputs = k.outputs;
        if (k.ext_type) {
            c.ext_type = k.ext_type;
            c.type_name = k.title;
        }
        if (k.type == 7) {
            c.port = 10001;
            c.tea_enabled = true;
            c.nvt_enabled = true;
            c.dhcp_supported = false;
        }
        if (k.ext_type == 26)
            c.ext_value = 1;
        if (k.ext_type == 24) {
            c.setup_auth_required = true;
            c.setup_user = "admin";
            c.setup_password = "secret";
            c.http_user = "admin";
            c.http_password = "secret";
        }
        if (ephemeral_ports) {
            if (c.type != 7) // no web server: the port is only reported
                c.port = 0;
            c.setup_port = 0;
        }
        out.push_back(c);
    }
    return out;
}

// ---------------------------------------------------------------- Fleet

Fleet::Fleet(FleetConfig config) : d(std::make_unique<Impl>()) {
    d->config = std::move(config);
    std::size_t i = 0;
    for (auto &c : d->config.devices) {
        Device dev;
        dev.index = i;
        if (c.mac.empty()) {
            const std::size_t n = i + 1;
            const std::array<std::uint8_t, 6> m = {0x02,
                                                   0x4B,
                                                   0x56,
                                                   static_cast<std::uint8_t>(n >> 16),
                                                   static_cast<std::uint8_t>(n >> 8),
                                                   static_cast<std::uint8_t>(n)};
            c.mac = mac_text(m);
        }
        if (!parse_mac(c.mac, dev.mac))
            dev.mac = {};
        c.mac = mac_text(dev.mac);
        if (c.ip.empty())
            c.ip = address_of(i, "127.0.10.1");
        dev.cfg = c;
        dev.initial = c;
        dev.setup = build_setup_tree(c);
        d->by_mac[c.mac] = i;
        d->devices.push_back(std::move(dev));
        ++i;
    }
}

Fleet::~Fleet() {
    stop();
}

Device *Fleet::Impl::device_by_mac(const std::string &mac) {
    std::array<std::uint8_t, 6> m{};
    if (!parse_mac(mac, m))
        return nullptr;
    auto it = by_mac.find(mac_text(m));
    return it == by_mac.end() ? nullptr : &devices[it->second];
}

void Fleet::Impl::move_device(Device &dev) {
    std::string error;
    if (!bind_device(dev, &error))
        add_log(JsonLine().add("mac", dev.cfg.mac).add("error", error), "move");
    add_log(JsonLine()
                .add("mac", dev.cfg.mac)
                .add("ip", dev.cfg.ip)
                .add("http_port", static_cast<long long>(dev.http_port))
                .add("setup_port", static_cast<long long>(dev.term_port)),
            "move");
}

void Fleet::Impl::add_log(JsonLine line, const char *kind) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    std::string text = "{\"t\":" + std::to_string(ms) + ",\"kind\":\"" + kind + "\"";
    std::string rest = line.text();
    if (rest.size() > 2)
        text += "," + rest.substr(1);
    else
        text += "}";
    log.push_back(text);
    if (log_file) {
        std::fputs(text.c_str(), log_file);
        std::fputc('\n', log_file);
        std::fflush(log_file);
    }
    if (!config.quiet)
        std::fprintf(stderr, "%s\n", text.c_str());
    log_cv.notify_all();
}

bool Fleet::running() const {
    std::lock_guard lock(d->mu);
    return d->started;
}

std::string Fleet::udp_address() const {
    return d->config.udp_address;
}

std::uint16_t Fleet::udp_port() const {
    std::lock_guard lock(d->mu);
    return d->udp_port;
}

std::size_t Fleet::size() const {
    return d->devices.size();
}

namespace {
DeviceState snapshot(const Device &dev) {
    DeviceState s;
    s.index = dev.index;
    s.config = dev.cfg;
    s.http_port = dev.http_port;
    s.setup_port = dev.term_port;
    s.setups_applied = dev.setups;
    s.defaults_loaded = dev.defaults;
    return s;
}
} // namespace

DeviceState Fleet::device(std::size_t index) const {
    std::lock_guard lock(d->mu);
    return snapshot(d->devices.at(index));
}

std::optional<DeviceState> Fleet::find(const std::string &mac) const {
    std::lock_guard lock(d->mu);
    const Device *dev = d->device_by_mac(mac);
    if (!dev)
        return std::nullopt;
    return snapshot(*dev);
}

std::vector<DeviceState> Fleet::devices() const {
    std::lock_guard lock(d->mu);
    std::vector<DeviceState> out;
    for (const auto &dev : d->devices)
        out.push_back(snapshot(dev));
    return out;
}

bool Fleet::set_faults(const std::string &mac, const Faults &faults) {
    std::lock_guard lock(d->mu);
    Device *dev = d->device_by_mac(mac);
    if (!dev)
        return false;
    dev->cfg.faults = faults;
    return true;
}

bool Fleet::set_sensor_value(const std::string &mac, unsigned sensor, const std::string &value) {
    std::lock_guard lock(d->mu);
    Device *dev = d->device_by_mac(mac);
    if (!dev)
        return false;
    Node *sen = dev->setup.child("SenSet");
    Node *e = sen ? sen->entry(std::to_string(sensor + 1)) : nullptr;
    Node *v = e ? e->child("Value") : nullptr;
    if (!v)
        return false;
    v->text = value;
    return true;
}

std::string Fleet::setup_xml(const std::string &mac) const {
    std::lock_guard lock(d->mu);
    const Device *dev = d->device_by_mac(mac);
    return dev ? setup_document(dev->setup, dev->cfg) : std::string();
}

std::vector<std::string> Fleet::log() const {
    std::lock_guard lock(d->mu);
    return d->log;
}

std::size_t Fleet::log_size() const {
    std::lock_guard lock(d->mu);
    return d->log.size();
}

bool Fleet::wait_log(const std::function<bool(const std::string &)> &match,
                     std::chrono::milliseconds timeout, std::size_t from) const {
    std::unique_lock lock(d->mu);
    const auto until = Clock::now() + timeout;
    std::size_t next = from;
    for (;;) {
        for (; next < d->log.size(); ++next)
            if (match(d->log[next]))
                return true;
        if (d->log_cv.wait_until(lock, until) == std::cv_status::timeout) {
            for (; next < d->log.size(); ++next)
                if (match(d->log[next]))
                    return true;
            return false;
        }
    }
}

// ---------------------------------------------------------------- loop

void Fleet::Impl::queue_write(Conn &c, const std::string &bytes) {
    c.out += bytes;
}

} // namespace kelvo::devsim
