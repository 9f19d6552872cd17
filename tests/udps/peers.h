// Loopback peers for the discovery library's tests: a UDP peer that plays the
// relay (device web servers are the shared HttpPeer). Every peer sends a
// bounded, scripted amount of data to 127.0.0.x only.
#ifndef UDPS_TEST_PEERS_H
#define UDPS_TEST_PEERS_H

#include "http_peer.h"
#include "qvudps.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvo::test {

using Bytes = std::vector<uint8_t>;

// A device as the tests describe it; `raw_type` is built from type code and
// firmware major number.
qvudps_module make_device(unsigned index, unsigned type_code, const char *ip = "127.0.0.1",
                          uint16_t port = 80);
// The device's signed reply (fixed, or extended when raw_type says 31).
Bytes reply_of(const qvudps_module &dev);

struct Datagram {
    Bytes bytes;
    uint16_t source_port;
    std::chrono::steady_clock::time_point when;
};

// Plays the relay on 127.0.0.1 port 0. Each kind-1 datagram with a valid
// header is answered with the next script from `answers` (the last one is
// reused), one datagram after the other.
class RelayPeer {
public:
    struct Answer {
        Bytes bytes;
        int delay_ms = 0;                // pause before this datagram
        bool from_other_address = false; // send from 127.0.0.2
        bool from_other_port = false;    // send from 127.0.0.1, another port
    };
    using Script = std::vector<Answer>;

    RelayPeer();
    ~RelayPeer();
    uint16_t port() const { return port_; }
    void set_scripts(std::vector<Script> scripts);
    // Everything received so far.
    std::vector<Datagram> received();
    // Waits until `n` datagrams arrived, at most `timeout`.
    bool wait_received(std::size_t n, std::chrono::milliseconds timeout);
    // Time at which the last scripted answer left.
    std::chrono::steady_clock::time_point last_sent();
    // False where datagrams from 127.0.0.2 arrive as from 127.0.0.1 (Wine).
    bool other_address_seen() const { return other_seen_; }

private:
    void run();
    int sock_ = -1;
    int other_ = -1;
    int other_port_ = -1;
    bool other_seen_ = false;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Script> scripts_;
    std::size_t next_script_ = 0;
    std::vector<Datagram> received_;
    std::chrono::steady_clock::time_point last_sent_{};
    std::thread thread_;
};

// What the library's hooks reported, in order; they run on its worker thread.
class EventLog {
public:
    void add(std::string e);
    std::vector<std::string> get();
    void clear();

private:
    std::mutex m_;
    std::vector<std::string> events_;
};

// Library helpers.
void restart_library();
bool wait_search(std::chrono::milliseconds timeout);
bool wait_setup(std::chrono::milliseconds timeout);
std::string last_message();
std::vector<qvudps_module> all_records();

} // namespace kelvo::test

#endif
