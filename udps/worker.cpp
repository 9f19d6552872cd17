#include "names.h"
#include "net.h"
#include "state.h"
#include "tea.h"
#include "wire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace qvudps {

namespace {

constexpr uint16_t direct_first_port = 9999;
constexpr uint16_t direct_last_port = 9901;
constexpr int direct_quiet_ms = 1000;
constexpr int proxy_quiet_ms = 3000;
constexpr unsigned setup_settle_ms = 6000;
// Room for a burst of a full table of replies while the worker decodes.
constexpr int receive_buffer_bytes = 4 * 1024 * 1024;

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
// relay, or as a broadcast to the devices' port on every adapter (a limited
// broadcast would leave by the default route's adapter only).
int send_payload(const Config &cfg, net::Socket s, uint8_t kind, const uint8_t *payload,
                 std::size_t len) {
    if (!cfg.proxy)
        return net::send_to_targets(s, payload, len, net::broadcast_targets(), device_port);
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

// The MAC addresses met in one search, kept and dropped alike: an open
// addressing set that grows by doubling, so a reply costs one probe however
// large the table.
class MacSet {
public:
    void reset(std::size_t expected) {
        std::size_t size = 64;
        while (size < expected * 2)
            size *= 2;
        slot_keys.assign(size, 0);
        in_use = 0;
    }
    // True when the address was not there yet.
    bool insert(const uint8_t *mac) {
        uint64_t key = 1; // 0 marks an empty slot
        for (int i = 0; i < 6; ++i)
            key = (key << 8) | mac[i];
        if ((in_use + 1) * 4 > slot_keys.size() * 3)
            grow();
        for (std::size_t i = hash(key);; i = (i + 1) & (slot_keys.size() - 1)) {
            if (slot_keys[i] == key)
                return false;
            if (slot_keys[i] == 0) {
                slot_keys[i] = key;
                ++in_use;
                return true;
            }
        }
    }

private:
    std::size_t hash(uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) &
               (slot_keys.size() - 1);
    }
    void grow() {
        std::vector<uint64_t> old(slot_keys.size() * 2, 0);
        old.swap(slot_keys);
        for (uint64_t key : old) {
            if (key == 0)
                continue;
            std::size_t i = hash(key);
            while (slot_keys[i] != 0)
                i = (i + 1) & (slot_keys.size() - 1);
            slot_keys[i] = key;
        }
    }
    std::vector<uint64_t> slot_keys;
    std::size_t in_use = 0;
};

// Devices beyond the table are counted up to this many; a flood of forged
// addresses must not grow the set without end.
constexpr int dropped_count_max = 1000000;
// However long the replies keep coming, the collection ends after this.
constexpr int collect_limit_ms = 30000;
// Records are published to callers that read during the search at least
// this often within a burst.
constexpr int publish_every = 256;

int collect_replies(const Config &cfg, net::Socket s) {
    Library &l = library();
    int capacity;
    {
        // Under the lock: a caller may be copying a record of the last search.
        Guard g;
        capacity = l.capacity;
        l.dropped = 0;
        l.count = 0;
        std::memset(l.records.data(), 0, l.records.size() * sizeof l.records[0]);
        std::memset(l.raw_macs.data(), 0, l.raw_macs.size() * sizeof l.raw_macs[0]);
        l.searched_names.clear();
    }
    static MacSet seen;
    seen.reset(static_cast<std::size_t>(capacity));
    int count = 0;
    auto publish = [&l, &count] {
        Guard g;
        l.count = count;
    };
    publish();
    const int64_t give_up = qv_monotonic_ms() + collect_limit_ms;
    uint8_t buf[max_datagram];
    char source[16];
    uint16_t source_port = 0;
    for (;;) {
        const int64_t left = give_up - qv_monotonic_ms();
        if (left <= 0)
            break;
        const int r =
            net::wait_readable(s, static_cast<int>(std::min<int64_t>(cfg.quiet_ms, left)));
        if (r == 0)
            break;
        if (r < 0) {
            set_step_error("Select failed", net::last_error());
            return -1;
        }
        // Take everything that is queued before waiting again: a burst of
        // replies is decoded without a wait per datagram.
        const qvudps_tea_key key = current_search_key();
        for (int taken = 0;;) {
            const long n = net::receive_from(s, buf, sizeof buf, source, &source_port);
            if (n < 0) {
                const int err = net::last_error();
                if (net::would_block(err))
                    break;
                set_step_error("Recv failed", err);
                break;
            }
            const std::size_t len = static_cast<std::size_t>(n);
            // The search key is public: another local user can sign replies
            // and send them to this socket from the relay's address, but
            // cannot send from the port the relay holds.
            if (cfg.proxy && (cfg.address != source || source_port != cfg.port))
                continue;
            if (!reply_authentic(buf, len, key))
                continue;
            if (count >= capacity) {
                // The table keeps the first devices; the others are only
                // counted, and the collection runs to its quiet end so that
                // the count is whole.
                Guard g;
                if (l.dropped < dropped_count_max && seen.insert(buf + off::mac) &&
                    l.dropped++ == 0)
                    set_refusal("Count modules >= MAX_MODULES");
                continue;
            }
            if (!seen.insert(buf + off::mac))
                continue;
            decode_reply(buf, len, l.records[count], l.raw_macs[count].data());
            ++count;
            if (++taken % publish_every == 0) {
                publish();
                if (qv_monotonic_ms() >= give_up)
                    break; // a flood that never lets the queue empty
            }
        }
        publish();
    }
    bool lookup;
    std::vector<qvudps_module> known;
    {
        Guard g;
        lookup = l.name_lookup != 0;
        known.swap(l.search_known);
    }
    if (lookup)
        lookup_names(l.records.data(), count, known);
    Guard g;
    l.searched_names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        l.searched_names.emplace_back(l.records[i].name,
                                      strnlen(l.records[i].name, sizeof l.records[i].name));
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
    // A name is written only when the caller chose a new one: a name the
    // search could not read (mute web server, no lookup) must not be
    // overwritten with whatever the record holds.
    bool renamed;
    {
        Guard g;
        renamed = static_cast<std::size_t>(at) < l.searched_names.size() &&
                  l.searched_names[static_cast<std::size_t>(at)] != req.name;
    }
    stored.raw_flags = merge_setup_flags(stored.raw_flags, req);
    const qvudps_tea_key &key = stored.setup_auth_required ? setup_key : search_key;
    uint8_t msg[setup_max_size];
    const std::size_t n =
        encode_setup(req, stored, l.raw_macs[at].data(), stored.raw_flags, key, msg, sizeof msg);
    if (n == 0 || send_payload(cfg, s, proxy_setup, msg, n) != 0) {
        set_step_error("Sendto failed", n == 0 ? EINVAL : net::last_error());
        setup_error_hook(l);
    }
    qv_sleep_ms(setup_settle_ms);
    if (upload && renamed && in_name_set(type_code_of(stored.raw_type)))
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

} // namespace qvudps
