// Inside of a Fleet, shared by its source files. The sockets and the worker
// loop are in loop_posix.cpp; the rest is portable. Everything here runs on the
// fleet's worker thread with Impl::mu held, unless a comment says otherwise.
#ifndef KELVO_DEVSIM_INTERNAL_H
#define KELVO_DEVSIM_INTERNAL_H

#include "devsim.h"
#include "documents.h"

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace kelvo::devsim {

using Clock = std::chrono::steady_clock;

struct Device {
    std::size_t index = 0;
    DeviceConfig initial; // restored by the defaults flag
    DeviceConfig cfg;
    Node setup;
    std::array<std::uint8_t, 6> mac{};
    int http_fd = -1;
    int term_fd = -1;
    std::uint16_t http_port = 0;
    std::uint16_t term_port = 0;
    unsigned setups = 0;
    unsigned defaults = 0;

    bool web() const;      // has an HTTP server
    bool terminal() const; // has a TCP setup terminal
};

struct Conn {
    enum Kind { Http, Terminal } kind = Http;
    int fd = -1;
    std::size_t dev = 0;
    std::string in;
    std::string out;
    std::size_t out_off = 0;
    Clock::time_point deadline;   // closed when reached
    Clock::time_point next_write; // nothing is written before
    int piece_delay_ms = 0;       // slow body: pause between 256-byte pieces
    bool answered = false;
    bool close_when_written = false;
    bool dead = false;
    // Terminal.
    int telnet = 0; // 0 data, 1 after IAC, 2 option byte next, 3 inside SB, 4 IAC inside SB
    std::string line;
    int menu = 0; // 0 main menu, 1 waiting for a new name
};

struct Datagram {
    Clock::time_point when;
    std::vector<std::uint8_t> bytes;
    sockaddr_in to{};
};

// Builds one JSON object line.
class JsonLine {
public:
    JsonLine &add(const char *key, const std::string &value);
    JsonLine &add(const char *key, const char *value) { return add(key, std::string(value)); }
    JsonLine &add(const char *key, long long value);
    JsonLine &add(const char *key, bool value);
    std::string text() const { return s_ + "}"; }

private:
    void key(const char *k);
    std::string s_ = "{";
};

std::string json_escape(const std::string &text);
std::string to_hex(const std::uint8_t *data, std::size_t length);
std::string mac_text(const std::array<std::uint8_t, 6> &mac);
bool parse_mac(const std::string &text, std::array<std::uint8_t, 6> &out);
bool is_loopback_text(const std::string &ip);

struct Fleet::Impl {
    FleetConfig config;
    mutable std::mutex mu;
    mutable std::condition_variable log_cv;
    std::vector<Device> devices;
    std::unordered_map<std::string, std::size_t> by_mac; // upper-case MAC text
    int udp_fd = -1;
    std::uint16_t udp_port = 0;
    int wake[2] = {-1, -1};
    std::list<Conn> conns;
    std::vector<Datagram> outgoing;
    std::thread worker;
    std::atomic<bool> stopping{false};
    bool started = false;
    std::vector<std::string> log;
    std::FILE *log_file = nullptr;
    Clock::time_point t0 = Clock::now();

    void run();
    void add_log(JsonLine line, const char *kind);
    Device *device_by_mac(const std::string &mac);

    // Listeners of one device on its current address; closes the old ones.
    // A non-loopback address leaves the device without listeners.
    bool bind_device(Device &d, std::string *error);
    void close_device(Device &d);
    void move_device(Device &d); // after an address change, logs "move"

    // Takes the waiting connections of a device's web or terminal port.
    void accept_conns(Device &d, Conn::Kind kind);
    // http.cpp
    void http_input(Conn &c);
    // terminal.cpp
    void term_input(Conn &c);
    void term_greet(Conn &c);
    // udp.cpp: one datagram that arrived on the fleet's socket.
    void handle_datagram(const std::uint8_t *data, std::size_t length, const sockaddr_in &from);
    // loop_posix.cpp
    void udp_input();
    void send_due_datagrams(Clock::time_point now);

    void queue_write(Conn &c, const std::string &bytes);
    void flush(Conn &c, Clock::time_point now);
};

} // namespace kelvo::devsim

#endif
