#include "names.h"
#include "net.h"
#include "state.h"
#include "tea.h"
#include "wire.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace udps {

namespace {

constexpr uint16_t direct_first_port = 9999;
constexpr uint16_t direct_last_port = 9901;
constexpr int direct_quiet_ms = 1000;
constexpr int proxy_quiet_ms = 3000;
constexpr unsigned setup_settle_ms = 6000;
// Room for a burst of a full table of replies while the worker decodes.
constexpr int receive_buffer_bytes = 4 * 1024 * 1024;
constexpr const char *broadcast_address = "255.255.255.255";

// What one wake-up works with, copied under the lock at its start.
struct Config {
    bool proxy = false;
    std::string address;
    uint16_t port = default_proxy_port;
    char client_name[client_name_max + 1] = {};
    int quiet_ms = proxy_quiet_ms;
};

Config snapshot_config(const Library &l) {
    Config c;
    c.proxy = l.proxy;
    c.address = l.proxy_address;
    c.port = l.proxy_port == 0 ? default_proxy_port : static_cast<uint16_t>(l.proxy_port);
    std::strncpy(c.client_name, l.client_name.c_str(), client_name_max);
    c.quiet_ms = l.quiet_ms > 0 ? l.quiet_ms : (c.proxy ? proxy_quiet_ms : direct_quiet_ms);
    return c;
}

int open_udp(const Config &cfg, net::Socket &out) {
    if (qv_socket_startup() != 0) {
        set_step_error("Init socket failed", net::last_error());
        return -1;
    }
    net::Socket s = net::udp_socket();
    if (s == net::invalid_socket) {
        set_step_error("Create socket failed", net::last_error());
        return -1;
    }
    if (net::enable_broadcast(s) != 0) {
        set_step_error("Socket option setup failed", net::last_error());
        qv_socket_close(s);
        return -1;
    }
    net::set_receive_buffer(s, receive_buffer_bytes); // best effort
    bool bound = false;
    if (cfg.proxy) {
        bound = net::bind_any(s, 0) == 0;
    } else {
        for (unsigned port = direct_first_port; port >= direct_last_port && !bound; --port)
            bound = net::bind_any(s, static_cast<uint16_t>(port)) == 0;
    }
    if (!bound) {
        set_step_error("Bind socket failed", net::last_error());
        qv_socket_close(s);
        return -1;
    }
    if (qv_socket_nonblock(s) != 0) {
        set_step_error("Socket nonblock setup failed", net::last_error());
        qv_socket_close(s);
        return -1;
    }
    out = s;
    return 0;
}

// Sends a payload the way the mode asks: behind the relay header to the
// relay, or as a broadcast to the devices' port.
int send_payload(const Config &cfg, net::Socket s, uint8_t kind, const uint8_t *payload,
                 std::size_t len) {
    if (!cfg.proxy)
        return net::send_to(s, payload, len, broadcast_address, device_port);
    uint8_t dgram[proxy_header_size + setup_max_size];
    const std::size_t n = wrap_proxy(kind, cfg.client_name, payload, len, dgram, sizeof dgram);
    if (n == 0) {
        errno = EMSGSIZE;
        return -1;
    }
    return net::send_to(s, dgram, n, cfg.address.c_str(), cfg.port);
}

qvudps_tea_key current_search_key() {
    Guard g;
    return library().search_key;
}

bool known_mac(const Library &l, int count, const uint8_t *mac) {
    for (int i = 0; i < count; ++i)
        if (std::memcmp(l.raw_macs[i], mac, 6) == 0)
            return true;
    return false;
}

int collect_replies(const Config &cfg, net::Socket s) {
    Library &l = library();
    std::memset(l.records, 0, sizeof l.records);
    std::memset(l.raw_macs, 0, sizeof l.raw_macs);
    int count = 0;
    l.count = 0;
    const int quiet = cfg.quiet_ms;
    uint8_t buf[max_datagram];
    char source[16];
    bool full = false;
    while (!full) {
        const int r = net::wait_readable(s, quiet);
        if (r == 0)
            break;
        if (r < 0) {
            set_step_error("Select failed", net::last_error());
            return -1;
        }
        // Take everything that is queued before waiting again: a burst of
        // replies is decoded without a wait per datagram.
        const qvudps_tea_key key = current_search_key();
        for (;;) {
            const long n = net::receive_from(s, buf, sizeof buf, source);
            if (n < 0) {
                const int err = net::last_error();
                if (net::would_block(err))
                    break;
                set_step_error("Recv failed", err);
                break;
            }
            const std::size_t len = static_cast<std::size_t>(n);
            if (cfg.proxy && cfg.address != source)
                continue;
            if (!reply_authentic(buf, len, key))
                continue;
            if (known_mac(l, count, buf + off::mac))
                continue;
            if (count >= MAX_MODULES) {
                set_refusal("Count modules >= MAX_MODULES");
                full = true;
                break;
            }
            decode_reply(buf, len, l.records[count], l.raw_macs[count]);
            l.count = ++count;
        }
    }
    bool lookup;
    {
        Guard g;
        lookup = l.name_lookup != 0;
    }
    if (lookup)
        lookup_names(l.records, count);
    return 0;
}

void setup_error_hook(Library &l) {
    Guard g;
    if (l.hooks.on_setup_error)
        l.hooks.on_setup_error(l.setup_context, &l.last_error);
}

void run_setup(const Config &cfg, net::Socket s) {
    Library &l = library();
    qvudps_module req;
    bool upload;
    qvudps_tea_key search_key, setup_key;
    {
        Guard g;
        req = l.setup_request;
        upload = l.name_upload != 0;
        search_key = l.search_key;
        setup_key = l.setup_key;
    }
    req.mac[sizeof req.mac - 1] = '\0';
    // A caller's copy may fill the field without a NUL: keep at most 99
    // bytes, as a record holds, without splitting a character.
    char name[sizeof req.name];
    copy_utf8(name, sizeof name, req.name, strnlen(req.name, sizeof req.name));
    std::memcpy(req.name, name, sizeof name);
    const int count = l.count;
    int at = -1;
    for (int i = 0; i < count && at < 0; ++i)
        if (std::strcmp(l.records[i].mac, req.mac) == 0)
            at = i;
    if (at < 0) {
        set_refusal("Module not exist");
        setup_error_hook(l);
        return;
    }
    // A device must never be handed 255.255.255.255 for an address it was
    // not meant to get.
    if (!setup_addresses_valid(req)) {
        set_refusal("IP address not valid");
        setup_error_hook(l);
        return;
    }
    qvudps_module &stored = l.records[at];
    stored.raw_flags = merge_setup_flags(stored.raw_flags, req);
    const qvudps_tea_key &key = stored.setup_auth_required ? setup_key : search_key;
    uint8_t msg[setup_max_size];
    const std::size_t n =
        encode_setup(req, stored, l.raw_macs[at], stored.raw_flags, key, msg, sizeof msg);
    if (n == 0 || send_payload(cfg, s, proxy_setup, msg, n) != 0) {
        set_step_error("Sendto failed", n == 0 ? EINVAL : net::last_error());
        setup_error_hook(l);
    }
    qv_sleep_ms(setup_settle_ms);
    if (upload && in_name_set(type_code_of(stored.raw_type)))
        upload_name(req.ip, req.port, req.name);
}

// A request could not be served: it counts as finished, and its owners hear
// why. Finished and waiting change together, so the error hook (or anyone who
// sees the request finished) may ask for the next one at once.
void report_failure(Library &l, bool search, bool setup) {
    Guard g;
    l.search_pending = false;
    l.setup_pending = false;
    l.search_done = true;
    l.setup_done = true;
    l.idle = true;
    if (search && l.hooks.on_search_error)
        l.hooks.on_search_error(l.search_context, &l.last_error);
    if (setup && l.hooks.on_setup_error)
        l.hooks.on_setup_error(l.setup_context, &l.last_error);
}

} // namespace

void worker_main() {
    Library &l = library();
    for (;;) {
        if (qv_sem_wait(&l.wake) != 0) {
            set_step_error("Semaphore wait failed", net::last_error());
            continue;
        }
        Config cfg;
        // The requests of this wake-up. One accepted later (after this
        // wake-up's last request finished) has posted the semaphore again
        // and runs in the next wake-up, right after this one.
        bool search, setup;
        {
            Guard g;
            l.wake_outstanding = false;
            if (l.quit)
                break;
            search = l.search_pending;
            setup = l.setup_pending;
            if (!search && !setup)
                continue;
            l.idle = false;
            cfg = snapshot_config(l);
        }
        net::Socket s = net::invalid_socket;
        if (open_udp(cfg, s) != 0) {
            report_failure(l, search, setup);
            continue;
        }
        if (search) {
            uint8_t req[request_size];
            encode_search_request(req);
            if (send_payload(cfg, s, proxy_search, req, sizeof req) != 0) {
                set_step_error("Sendto failed", net::last_error());
                qv_socket_close(s);
                report_failure(l, search, setup);
                continue;
            }
            if (collect_replies(cfg, s) != 0) {
                qv_socket_close(s);
                report_failure(l, search, setup);
                continue;
            }
            Guard g;
            // A setup of this wake-up may have been dropped by qvudps_uninit.
            setup = setup && l.setup_pending;
            l.search_pending = false;
            l.search_done = true;
            if (!setup)
                l.idle = true;
            if (l.hooks.on_search_done)
                l.hooks.on_search_done(l.search_context);
        }
        if (setup) {
            run_setup(cfg, s);
            Guard g;
            l.setup_pending = false;
            l.setup_done = true;
            l.idle = true;
            if (l.hooks.on_setup_done)
                l.hooks.on_setup_done(l.setup_context);
        }
        qv_socket_close(s);
    }
    // Leaving: the lock stays (see Library), the semaphore goes.
    Guard g;
    qv_sem_destroy(&l.wake);
    l.wake_ready = false;
    l.wake_outstanding = false;
    l.search_pending = false;
    l.setup_pending = false;
    l.search_done = true;
    l.setup_done = true;
    l.idle = true;
    l.initialized = false;
}

} // namespace udps
