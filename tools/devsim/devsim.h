// A fleet of simulated Kelvo devices on loopback addresses, for tests,
// benchmarks and the demo.
//
// Every device has its own address (127.0.10.1 upwards by default) with an
// HTTP/1.0 server (GET /values.xml, GET and POST /setup.xml, optional Basic
// authorisation) on its device port and a Telnet-style setup terminal on its
// TCP setup port. One UDP socket for the whole fleet answers search requests
// with one signed reply per device and applies setup messages addressed to a
// device's MAC address. The fleet never listens on a non-loopback address.
//
// Threading: a Fleet runs all its sockets on one worker thread of its own,
// started by start() and ended by stop() or the destructor. No event loop of
// the caller is needed. Every public member may be called from any thread;
// they take the fleet's lock and return copies.
#ifndef KELVO_DEVSIM_H
#define KELVO_DEVSIM_H

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::devsim {

// Misbehaviour of one device. Everything is off by default.
struct Faults {
    // UDP search side.
    int reply_delay_ms = 0;    // wait this long before answering a search request
    bool drop_replies = false; // never answer a search request
    int duplicate_replies = 0; // send each search reply this many extra times
    bool bad_auth = false;     // sign search replies with a wrong key
    // HTTP side.
    bool http_silent = false;   // accept and read requests, never answer (closed after 60 s)
    int http_delay_ms = 0;      // wait this long before answering
    int slow_body_ms = 0;       // send the answer in 256-byte pieces, this pause between them
    std::size_t oversize = 0;   // pad document answers to at least this many body bytes
    bool malformed_xml = false; // documents break off inside an element
    int http_status = 0;        // answer every request with this status (401, 403, 404, 500...)
};

// One device's settings. The fields that a setup message or an upload can
// change (address, mask, gateway, filter, port, name, flags) are read back
// through Fleet::device() after the change.
struct DeviceConfig {
    std::string mac;   // "02:4B:56:00:00:01"; empty: made from the device's index
    unsigned type = 2; // type code of the search reply: 0 to 30 fixed, 31 extended
    // Extended devices (type 31) only: TLV contents.
    unsigned ext_type = 0;            // TLV 4, the numeric type
    std::string type_name;            // TLV 3
    std::uint8_t capabilities = 0x7E; // TLV 1 without the setup-authorisation bit
    bool setup_auth_required = false; // TLV 1 bit 0: setup messages signed with the setup key
    std::string setup_user;           // the setup key is made from these two
    std::string setup_password;
    std::uint16_t ext_value = 0; // TLV 7

    std::string model = "33"; // Agent Model of the documents; "45" speaks the meter dialect
    std::string title;        // Agent Title; empty: from the model
    std::string name;         // device name
    std::string ip;           // 127.x.x.x; empty: 127.0.10.1 + index
    std::string mask = "255.255.255.0";
    std::string gateway = "127.0.10.254";
    std::string filter_ip = "0.0.0.0";
    std::string filter_mask = "0.0.0.0";
    std::uint16_t port =
        80; // device port (reply bytes 30-31); the HTTP server listens here; 0: ephemeral
    std::uint16_t setup_port = 99; // TCP setup terminal; 0: ephemeral
    bool tea_enabled = false;
    bool nvt_enabled = false;
    bool tcp_setup_enabled = true;
    bool dhcp_supported = true;
    bool dhcp_enabled = false;
    std::uint8_t flags_high = 0; // bits 6 and 7 of the flags byte, echoed back
    unsigned fw_major = 1, fw_minor = 4, fw_build = 2;
    std::uint8_t reserved = 0;
    std::array<std::uint8_t, 8> token{};

    std::string http_user;     // Basic authorisation for GET and POST /setup.xml;
    std::string http_password; // empty user: none asked

    unsigned inputs = 2;  // binary inputs (at most 12)
    unsigned outputs = 2; // binary outputs (at most 12)
    unsigned sensors = 2; // sensors (at most 12)

    Faults faults;
};

struct FleetConfig {
    std::string udp_address = "127.0.0.2"; // must be a 127.x.x.x address
    std::uint16_t udp_port = 9999;         // 0: ephemeral, see Fleet::udp_port()
    std::vector<DeviceConfig> devices;
    std::string log_path; // also append the log as JSON lines to this file; empty: memory only
    bool quiet = true;    // false: one line per log entry to stderr as well
};

// A snapshot of one device.
struct DeviceState {
    std::size_t index = 0;
    DeviceConfig config; // current settings
    std::uint16_t http_port =
        0; // bound port of the HTTP server (0: none, e.g. no web or moved off loopback)
    std::uint16_t setup_port = 0; // bound port of the terminal (0: none)
    unsigned setups_applied = 0;  // setup messages taken
    unsigned defaults_loaded = 0; // of them, restores of the default settings
};

// Mixed fleet used by the program's --count and by tests: cycles through a
// thermometer (type 2), an I/O box (type 20), a serial converter (type 7, no
// web), an extended device (type 31), a meter (type 13, meter dialect) and an
// extended device that requires authorised setup and HTTP authorisation
// (user "admin", password "secret" for both). With ephemeral_ports every
// device listens on ports chosen by the system (for tests that run in
// parallel); otherwise on 80 and 99. Addresses start at first_ip.
std::vector<DeviceConfig> mixed_devices(std::size_t count, bool ephemeral_ports,
                                        const std::string &first_ip = "127.0.10.1");

// Reads a fleet description (JSON): {"udp": "127.0.0.2:9999", "log": "file",
// "count": 10, "ephemeral": false, "devices": [ {DeviceConfig fields by
// name, "faults": {...}} ]}. "count" adds that many mixed devices after the
// listed ones. False with a message on error.
bool load_fleet_file(const std::string &path, FleetConfig &out, std::string *error);

// Parses "ADDR:PORT" (or "ADDR", keeping port). False when malformed.
bool parse_endpoint(const std::string &text, std::string &address, std::uint16_t &port);

// Search key words of the devices' firmware (the same built-in key the
// discovery library checks replies with).
std::array<std::uint32_t, 4> search_key();

class Fleet {
public:
    explicit Fleet(FleetConfig config);
    ~Fleet(); // stops
    Fleet(const Fleet &) = delete;
    Fleet &operator=(const Fleet &) = delete;

    // Binds the UDP socket and every device's listeners, raises the
    // open-file limit when needed and starts the worker. False with a
    // message when something cannot be bound (then nothing runs).
    bool start(std::string *error = nullptr);
    // Closes every socket and joins the worker. Idempotent.
    void stop();
    bool running() const;

    std::string udp_address() const;
    std::uint16_t udp_port() const; // bound port, valid after start()

    std::size_t size() const;
    DeviceState device(std::size_t index) const;
    std::optional<DeviceState> find(const std::string &mac) const;
    std::vector<DeviceState> devices() const;

    // Changes a device's faults from now on. False when the MAC is unknown.
    bool set_faults(const std::string &mac, const Faults &faults);
    // Sets a sensor's current reading (index from 0), e.g. "21.5".
    bool set_sensor_value(const std::string &mac, unsigned sensor, const std::string &value);

    // The setup document the device serves right now (without faults applied).
    std::string setup_xml(const std::string &mac) const;

    // The log so far: one JSON object per line, without line feeds. Every
    // entry has "t" (ms since start), "kind" and, where known, "mac":
    //   kind "search":   {"from"}                      a search request arrived
    //   kind "reply":    {"mac","count"}               replies sent for it
    //   kind "setup":    {"mac","applied","reason","defaults","ip","mask","gateway",
    //                     "filter_ip","filter_mask","port","flags","name"}
    //   kind "udp":      {"from","length","reason"}    an unusable datagram
    //   kind "http":     {"mac","method","path","auth","status","body"}
    //   kind "terminal": {"mac","bytes"}               bytes received (hex)
    //   kind "move":     {"mac","ip","http_port","setup_port"} listeners moved
    std::vector<std::string> log() const;
    std::size_t log_size() const;
    // Waits until a log line satisfies `match` (lines from index `from` on).
    // True when found within `timeout`.
    bool wait_log(const std::function<bool(const std::string &)> &match,
                  std::chrono::milliseconds timeout, std::size_t from = 0) const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace kelvo::devsim

#endif
