#include "peers.h"
#include "qvtext.h"

#include "tea.h"
#include "wire.h"

#include "test_sockets.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kelvo::test {

using namespace qvudps;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

qvudps_module make_device(unsigned index, unsigned type_code, const char *ip, uint16_t port) {
    qvudps_module d{};
    std::snprintf(d.mac, sizeof d.mac, "02:00:00:%02X:%02X:%02X", (index >> 16) & 0xFF,
                  (index >> 8) & 0xFF, index & 0xFF);
    std::snprintf(d.ip, sizeof d.ip, "%s", ip);
    std::strcpy(d.mask, "255.0.0.0");
    std::strcpy(d.filter_ip, "0.0.0.0");
    std::strcpy(d.filter_mask, "0.0.0.0");
    std::strcpy(d.gateway, "127.0.0.254");
    d.raw_version = 0x12;
    d.raw_type = static_cast<uint8_t>((type_code << 3) | 1);
    d.raw_flags = flag_tcp_setup | flag_dhcp_supported;
    d.port = port;
    std::memcpy(d.token, "tok", 3);
    d.token[7] = static_cast<uint8_t>(index);
    return d;
}

Bytes reply_of(const qvudps_module &dev) {
    Bytes b(max_datagram);
    const std::size_t n = encode_reply(dev, builtin_search_key, b.data(), b.size());
    if (n == 0)
        throw std::runtime_error("device does not encode");
    b.resize(n);
    return b;
}

namespace {

int udp_bound(const char *ip, uint16_t port) {
    const int s = bound_udp(ip, port);
    if (s < 0)
        throw std::runtime_error("bind failed");
    return s;
}

} // namespace

RelayPeer::RelayPeer() {
    sock_ = udp_bound("127.0.0.1", 0);
    other_ = udp_bound("127.0.0.2", 0);
    other_port_ = udp_bound("127.0.0.1", 0);
    port_ = local_port(sock_);
    // One datagram from the second address to the first, before the thread
    // takes over: its source tells whether the two can be told apart.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    qv::parse_dotted_ipv4("127.0.0.1", to.sin_addr.s_addr);
    ::sendto(other_, "?", 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    if (wait_socket(sock_, POLLIN, 2000) > 0) {
        char byte;
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        if (::recvfrom(sock_, &byte, 1, 0, reinterpret_cast<sockaddr *>(&from), &flen) == 1)
            other_seen_ = ntohl(from.sin_addr.s_addr) == 0x7F000002;
    }
    thread_ = std::thread([this] { run(); });
}

RelayPeer::~RelayPeer() {
    stop_ = true;
    thread_.join();
    close_socket(sock_);
    close_socket(other_);
    close_socket(other_port_);
}

void RelayPeer::set_scripts(std::vector<Script> scripts) {
    std::lock_guard lk(m_);
    scripts_ = std::move(scripts);
    next_script_ = 0;
}

std::vector<Datagram> RelayPeer::received() {
    std::lock_guard lk(m_);
    return received_;
}

bool RelayPeer::wait_received(std::size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock lk(m_);
    return cv_.wait_for(lk, timeout, [&] { return received_.size() >= n; });
}

Clock::time_point RelayPeer::last_sent() {
    std::lock_guard lk(m_);
    return last_sent_;
}

void RelayPeer::run() {
    uint8_t buf[2048];
    while (!stop_) {
        if (wait_socket(sock_, POLLIN, 50) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t flen = sizeof from;
        const ssize_t n = ::recvfrom(sock_, reinterpret_cast<char *>(buf), sizeof buf, 0,
                                     reinterpret_cast<sockaddr *>(&from), &flen);
        if (n < 0)
            continue;
        Script script;
        {
            std::lock_guard lk(m_);
            received_.push_back({Bytes(buf, buf + n), ntohs(from.sin_port), Clock::now()});
            ProxyHeader h;
            const uint8_t *payload;
            std::size_t plen;
            if (decode_proxy_datagram(buf, static_cast<std::size_t>(n), h, payload, plen) ==
                    ProxyStatus::ok &&
                h.kind == proxy_search && !scripts_.empty()) {
                script = scripts_[std::min(next_script_, scripts_.size() - 1)];
                ++next_script_;
            }
        }
        cv_.notify_all();
        for (const Answer &a : script) {
            if (stop_)
                break;
            if (a.delay_ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(a.delay_ms));
            const int via = a.from_other_address ? other_ : a.from_other_port ? other_port_ : sock_;
            ::sendto(via, reinterpret_cast<const char *>(a.bytes.data()), a.bytes.size(), 0,
                     reinterpret_cast<sockaddr *>(&from), flen);
        }
        if (!script.empty()) {
            std::lock_guard lk(m_);
            last_sent_ = Clock::now();
        }
    }
}

void EventLog::add(std::string e) {
    std::lock_guard lk(m_);
    events_.push_back(std::move(e));
}

std::vector<std::string> EventLog::get() {
    std::lock_guard lk(m_);
    return events_;
}

void EventLog::clear() {
    std::lock_guard lk(m_);
    events_.clear();
}

void restart_library() {
    qvudps_uninit();
    const auto until = Clock::now() + 10s;
    while (qvudps_init() != 0) {
        if (Clock::now() > until)
            throw std::runtime_error("library did not restart");
        std::this_thread::sleep_for(10ms);
    }
}

namespace {
bool wait_for(int (*finished)(), std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (finished() != 0) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}
} // namespace

bool wait_search(std::chrono::milliseconds timeout) {
    return wait_for(qvudps_search_finish, timeout);
}

bool wait_setup(std::chrono::milliseconds timeout) {
    return wait_for(qvudps_setup_finish, timeout);
}

std::string last_message() {
    qvudps_error_info e;
    qvudps_error(&e);
    return e.message;
}

std::vector<qvudps_module> all_records() {
    std::vector<qvudps_module> out;
    qvudps_rewind();
    qvudps_module m;
    while (qvudps_record_copy(&m) == 0)
        out.push_back(m);
    return out;
}

} // namespace kelvo::test
