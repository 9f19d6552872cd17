// The local UDP relay between the program and the device network.
//
// Clients on this PC send a search request (kind 1), a setup message
// (kind 2) or a presence probe (kind 3) behind the 19-byte relay header. The relay checks the
// header, sends the payload to the devices from a fresh socket per request and forwards every reply
// to the client, unchanged, from its listening address for a while. Replies to a setup are not
// expected.
//
// Threading: a Relay is used by one thread; run() blocks until it is told
// to stop.
#ifndef KELVO_RELAY_H
#define KELVO_RELAY_H

#include "qvnoncopyable.h"
#include "qvplatform.h"
#include "wire.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <net/if.h>
#include <netinet/in.h>
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo::relay {

// What ends Relay::run: a descriptor that becomes readable (a pipe) on POSIX,
// an event object on Windows.
#ifdef _WIN32
using StopHandle = HANDLE;
// Adapters are named by their GUID there.
inline constexpr std::size_t interface_name_max = 255;
#else
using StopHandle = int;
inline constexpr std::size_t interface_name_max = IF_NAMESIZE - 1;
#endif

#ifdef __MINGW_PRINTF_FORMAT
#define KELVO_RELAY_PRINTF(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#else
#define KELVO_RELAY_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

struct Options {
    std::string listen_address = "127.0.0.1";
    std::uint16_t listen_port = qvudps::device_port; // 0: ephemeral, see Relay::port()
    // Unicast targets. Empty: a broadcast to port 9999 on every up,
    // non-loopback IPv4 interface's broadcast address.
    std::vector<sockaddr_in> devices;
    // Interface names the broadcast is limited to; empty: all of them.
    std::vector<std::string> interfaces;
    int linger_ms = 10000;          // how long replies to one search are forwarded
    int repeat = 2;                 // a search request is sent this many times...
    int repeat_interval_ms = 100;   // ...this far apart
    int verbose = 1;                // 0 errors, 1 requests and drops, 2 every reply
    std::size_t max_requests = 256; // searches forwarded at the same time, shared
                                    // fairly between the clients' users
    int log_lines_per_second = 10;  // more are counted in one summary line
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

enum class Verdict {
    ok,
    not_loopback,
    not_loopback_interface,
    too_short,
    bad_kind,
    bad_crc,
    bad_probe
};
const char *verdict_text(Verdict v);

// Only clients on this PC may use the relay.
bool source_accepted(const sockaddr_in &from);

// The socket address of a dotted-decimal IPv4 text and a port. False when
// the text is not an address (then the address part is 0.0.0.0).
bool make_endpoint(std::string_view address, std::uint16_t port, sockaddr_in &out);

// Checks one datagram from a client: loopback source that arrived on a
// loopback interface (a forged 127.0.0.1 from another host arrives on a
// network interface), kind 1 or 2 with at least a 48-byte payload or kind 3
// with exactly the nonce, CRC of the payload.
Verdict check_datagram(const sockaddr_in &from, bool loopback_interface, const std::uint8_t *data,
                       std::size_t len, qvudps::ProxyHeader &header, const std::uint8_t *&payload,
                       std::size_t &payload_len);

// Whether a datagram on a search's socket is a device's reply worth
// forwarding. With unicast targets only those addresses and ports answer;
// with broadcasts only what came in by a network interface: another user of
// this PC can send to the search's port too, but only by loopback.
bool reply_accepted(const sockaddr_in &from, bool loopback_interface,
                    const std::vector<sockaddr_in> &devices);

// Text from a client or a device as the log shows it: printable ASCII as it
// is, a backslash doubled, every other byte as \xHH, so no text can move the
// terminal's cursor, change its title or forge a log line.
std::string log_text(std::string_view text);

// Where a search goes: an address and the interface it belongs to ("" for a
// unicast target given with --devices).
struct Target {
    sockaddr_in address{};
    std::string interface_name;
};

// The broadcast address of every up, non-loopback IPv4 interface that can
// broadcast (computed from address and mask where the interface names none),
// with the given port; only the named interfaces when `only` is not empty.
// Reads the interface list only.
std::vector<Target> broadcast_targets(std::uint16_t port,
                                      const std::vector<std::string> &only = {});

struct Stats {
    std::uint64_t searches = 0;
    std::uint64_t setups = 0;
    std::uint64_t replies = 0;
    std::uint64_t dropped = 0; // malformed or refused datagrams, requests over the allowance
    std::uint64_t evicted = 0; // open searches that gave way to a newer one
    std::uint64_t refused = 0; // searches with every slot held within fair shares
    std::uint64_t probes = 0;
};

// The listening socket a service manager handed over: fd 3 when LISTEN_PID
// names this process and LISTEN_FDS is 1 (the variables are removed, so no
// child takes them for its own). -1 when none was handed over (always so on
// Windows); -2, with a message, when the hand-over is not one socket.
int inherited_socket(std::string *error);

// The user owning a client's socket on this PC. Clients are told apart by
// it: one user with many sockets is still one client.
enum class Owner { found, gone, unknown };
class OwnerLookup : qv::noncopyable {
public:
    OwnerLookup();
    ~OwnerLookup();
    // The owner of the socket at `client` that datagrams from `relay` reach;
    // `gone` when there is no such socket (any more), `unknown`, with a
    // message, when the system cannot tell.
    Owner owner(const sockaddr_in &client, const sockaddr_in &relay, std::uint32_t &uid,
                std::string *error);

private:
    int fd_ = -1;
    std::uint32_t sequence_ = 0;
};

class Relay {
public:
    explicit Relay(Options options);
    ~Relay();
    Relay(const Relay &) = delete;
    Relay &operator=(const Relay &) = delete;

    // Binds the listening socket. False with a message on failure.
    bool open(std::string *error);
    // Serves on a socket bound by somebody else (see inherited_socket)
    // instead; takes it over. False with a message when it cannot serve.
    bool adopt(qv_socket_t fd, std::string *error);
    // The listening address as "ADDR:PORT".
    std::string address_text() const;
    std::uint16_t port() const { return port_; }
    // Empty while searches have somewhere to go, else why they have not.
    std::string status_text() const;
    // Serves until `stop` is signalled; 0, or 1 when waiting fails.
    int run(StopHandle stop);
    const Stats &stats() const { return stats_; }

private:
    struct Request;
    void on_client_datagram();
    void start_request(std::uint64_t key, const sockaddr_in &client,
                       const qvudps::ProxyHeader &header, const std::uint8_t *payload,
                       std::size_t len);
    void answer_probe(const sockaddr_in &client, const std::uint8_t *nonce);
    void send_payload(Request &r);
    void forward_replies(Request &r);
    // Remembers the interface a device's reply to search `search` came in by.
    void learn(const std::uint8_t *reply, std::size_t len, int ifindex, std::uint64_t search);
    // The interfaces a setup for the MAC in `setup` goes by; empty: every one.
    std::vector<std::string> setup_interfaces(const std::vector<std::uint8_t> &setup);
    std::vector<Target> targets() const;
    // Who a client is for sharing: its user, or where the system cannot tell
    // that, its socket address. `gone` when the client's socket is closed.
    std::uint64_t client_key(const sockaddr_in &client, bool &gone);
    // Takes one request of `kind` from the client's allowance; false when it
    // has used it up.
    bool allowed(std::uint64_t key, std::uint8_t kind);
    // Makes room for a new search of `key`; false when every slot is held by
    // clients within their fair share.
    bool make_room(std::uint64_t key, const sockaddr_in &client);

    // Every log line counts against one budget a second; the lines left out
    // are counted by kind and told in one summary line.
    enum class Line { request, sent, done, reply, probe, drop, share, route, error, kinds };
    void log(Line kind, const char *format, ...) KELVO_RELAY_PRINTF(3, 4);
    void log_summary(bool now);

    Options options_;
    qv_socket_t fd_ = QV_INVALID_SOCKET;
    sockaddr_in address_{};
    std::vector<int> loopback_; // interface indexes a client's datagram may arrive on
    bool pktinfo_seen_ = false;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<Request>> requests_;
    std::uint64_t request_ids_ = 0;
    struct MacSeen {
        std::uint64_t search = 0;
        std::vector<std::string> interfaces; // where it answered that search
    };
    std::unordered_map<std::uint64_t, MacSeen> macs_;
    std::deque<std::uint64_t> macs_order_;
    Stats stats_;
    OwnerLookup owners_;
    bool owners_failed_ = false; // said once
    struct Allowance {
        double searches = 0, setups = 0; // requests left
        std::chrono::steady_clock::time_point refilled{};
    };
    std::unordered_map<std::uint64_t, Allowance> allowances_;
    std::chrono::steady_clock::time_point log_window_{};
    int log_lines_ = 0;
    std::uint64_t left_out_[static_cast<int>(Line::kinds)] = {};
};

} // namespace kelvo::relay

#endif
