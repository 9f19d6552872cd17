// The local UDP relay between the program and the device network.
//
// Clients on this PC send a search request (kind 1), a setup message
// (kind 2) or a presence probe (kind 3) behind the 19-byte relay header. The relay checks the
// header, sends the payload to the devices from a fresh socket per request and forwards every reply
// to the client, unchanged, from its listening address for a while. Replies to a setup are not
// expected.
//
// Threading: a Relay is used by one thread; run() blocks until stop_fd
// becomes readable.
#ifndef KELVO_RELAY_H
#define KELVO_RELAY_H

#include "wire.h"

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::relay {

struct Options {
    std::string listen_address = "127.0.0.1";
    std::uint16_t listen_port = udps::device_port; // 0: ephemeral, see Relay::port()
    // Unicast targets. Empty: a broadcast to port 9999 on every up,
    // non-loopback IPv4 interface's broadcast address.
    std::vector<sockaddr_in> devices;
    // Interface names the broadcast is limited to; empty: all of them.
    std::vector<std::string> interfaces;
    int linger_ms = 10000;          // how long replies to one search are forwarded
    int repeat = 2;                 // a search request is sent this many times...
    int repeat_interval_ms = 100;   // ...this far apart
    int verbose = 1;                // 0 errors, 1 requests and drops, 2 every reply
    std::size_t max_requests = 256; // searches forwarded at the same time;
                                    // when all are taken the oldest gives way
    std::FILE *log = stderr;        // where the log lines go
};

// The presence probe: a client about to send a setup asks whether a relay,
// and not merely some program holding the port, listens at the address.
// Request: header with kind 3 + a 16-byte nonce (35 bytes). Reply, from the
// listening socket to the requester: "KVRL", version 1, the nonce, then up
// to 200 bytes of UTF-8 status text, empty while the relay has somewhere to
// send searches to, else its reason.
inline constexpr std::uint8_t probe_kind = 3;
inline constexpr std::size_t probe_nonce_size = 16;
inline constexpr char probe_magic[] = "KVRL";
inline constexpr std::uint8_t probe_version = 1;
inline constexpr std::size_t probe_status_max = 200;
inline constexpr std::size_t probe_reply_min = 4 + 1 + probe_nonce_size;

// The reply to a probe carrying `nonce`; the status text is cut to the
// bound on a character boundary, NUL bytes left out.
std::vector<std::uint8_t> probe_reply(const std::uint8_t *nonce, std::string_view status);

enum class Verdict { ok, not_loopback, too_short, bad_kind, bad_crc, bad_probe };
const char *verdict_text(Verdict v);

// Only clients on this PC may use the relay.
bool source_accepted(const sockaddr_in &from);

// Checks one datagram from a client: loopback source, kind 1 or 2 with at
// least a 48-byte payload or kind 3 with exactly the nonce, CRC of the
// payload.
Verdict check_datagram(const sockaddr_in &from, const std::uint8_t *data, std::size_t len,
                       udps::ProxyHeader &header, const std::uint8_t *&payload,
                       std::size_t &payload_len);

// Text from a client or a device as the log shows it: printable ASCII as it
// is, a backslash doubled, every other byte as \xHH, so no text can move the
// terminal's cursor, change its title or forge a log line.
std::string log_text(std::string_view text);

// Where a search goes: an address and the interface it belongs to ("" for a
// unicast target given with --devices).
struct Target {
    sockaddr_in address{};
    std::string interface;
};

// The broadcast address of every up, non-loopback IPv4 interface that has
// one, with the given port; only the named interfaces when `only` is not
// empty. Reads the interface list only.
std::vector<Target> broadcast_targets(std::uint16_t port,
                                      const std::vector<std::string> &only = {});

struct Stats {
    std::uint64_t searches = 0;
    std::uint64_t setups = 0;
    std::uint64_t replies = 0;
    std::uint64_t dropped = 0; // malformed or refused datagrams
    std::uint64_t evicted = 0; // open searches that gave way to a newer one
    std::uint64_t probes = 0;
};

class Relay {
public:
    explicit Relay(Options options);
    ~Relay();
    Relay(const Relay &) = delete;
    Relay &operator=(const Relay &) = delete;

    // Binds the listening socket. False with a message on failure.
    bool open(std::string *error);
    std::uint16_t port() const { return port_; }
    // Empty while searches have somewhere to go, else why they have not.
    std::string status_text() const;
    // Serves until stop_fd is readable (or has an error). Returns 0.
    int run(int stop_fd);
    const Stats &stats() const { return stats_; }

private:
    struct Request;
    void on_client_datagram();
    void start_request(const sockaddr_in &client, const udps::ProxyHeader &header,
                       const std::uint8_t *payload, std::size_t len);
    void answer_probe(const sockaddr_in &client, const std::uint8_t *nonce);
    void send_payload(Request &r);
    void forward_replies(Request &r);
    std::vector<Target> targets() const;
    bool drop_log_allowed();
    void log(const char *format, ...) __attribute__((format(printf, 2, 3)));

    Options options_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<Request>> requests_;
    Stats stats_;
    std::chrono::steady_clock::time_point drop_window_{};
    std::uint64_t drops_logged_ = 0;
    std::uint64_t drops_unlogged_ = 0;
};

} // namespace kelvo::relay

#endif
