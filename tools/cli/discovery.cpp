#include "discovery.h"

#include "devicetext.h"
#include "kelvohost.h"
#include "names.h"
#include "net.h"
#include "tea.h"
#include "textutil.h"
#include "wire.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace kelvo::cli {

namespace {

// What the hooks saw during the current request. The hooks run on the
// library's worker with its lock held; they only record and wake the
// command's thread, which never calls the library while holding `lock`.
struct HookState {
    std::mutex lock;
    std::condition_variable changed;
    bool searchFailed = false;
    bool setupFailed = false;
    bool searchEnded = false;
    bool setupEnded = false;
    std::string message;
};

HookState &Hooks() {
    static HookState state;
    return state;
}

std::string Describe(const qvudps_error_info &e) {
    std::string text(e.message, strnlen(e.message, sizeof e.message));
    const std::string detail(e.detail, strnlen(e.detail, sizeof e.detail));
    if (!detail.empty())
        text += " (" + detail + ")";
    return text;
}

void Record(bool HookState::*ended, bool HookState::*failed, const qvudps_error_info *error,
            const char *fallback) {
    {
        std::lock_guard guard(Hooks().lock);
        Hooks().*ended = true;
        if (failed) {
            Hooks().*failed = true;
            Hooks().message = error ? Describe(*error) : std::string(fallback);
        }
    }
    Hooks().changed.notify_all();
}

void OnSearchDone(void *) {
    Record(&HookState::searchEnded, nullptr, nullptr, nullptr);
}

void OnSetupDone(void *) {
    Record(&HookState::setupEnded, nullptr, nullptr, nullptr);
}

void OnSearchError(void *, const qvudps_error_info *error) {
    Record(&HookState::searchEnded, &HookState::searchFailed, error, "Search failed");
}

void OnSetupError(void *, const qvudps_error_info *error) {
    Record(&HookState::setupEnded, &HookState::setupFailed, error, "Setup failed");
}

// Clears what the hooks recorded before a new request of that kind.
void Arm(bool HookState::*ended, bool HookState::*failed) {
    std::lock_guard guard(Hooks().lock);
    Hooks().*ended = false;
    Hooks().*failed = false;
}

// Waits until the hooks report the end of the request (or `finished` says
// so), at most until `deadline`. `tick` runs about every 100 ms for the
// progress line. False on time-out.
template <typename Tick>
bool WaitEnd(bool HookState::*ended, int (*finished)(),
             std::chrono::steady_clock::time_point deadline, Tick tick) {
    for (unsigned n = 1;; ++n) {
        {
            std::unique_lock guard(Hooks().lock);
            Hooks().changed.wait_until(guard,
                                       std::min(deadline, std::chrono::steady_clock::now() +
                                                              std::chrono::milliseconds(100)),
                                       [&] { return Hooks().*ended; });
        }
        // The hooks are the prompt signal; the library's own state is the
        // truth, so a missed hook costs at most one tick.
        if (finished() == 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        tick(n);
    }
}

std::string LastError() {
    qvudps_error_info e{};
    qvudps_error(&e);
    return Describe(e);
}

} // namespace

bool ParseRelay(const std::string &text, Route &route, std::string *error) {
    std::string address = text;
    int port = 9999;
    const auto colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        const std::string portText = text.substr(colon + 1);
        if (!ParseNumber(portText, 1, 65535, &port)) {
            *error = "relay port must be 1 to 65535: " + text;
            return false;
        }
    }
    if (!IsDottedIPv4(address)) {
        *error = "relay address must be a dotted IPv4 address: " + text;
        return false;
    }
    route.direct = false;
    route.relayAddress = address;
    route.relayPort = port;
    return true;
}

bool StartDiscovery(const Route &route, std::string *error, int capacity) {
    static bool started = false;
    if (!started) {
        qv_raise_fd_limit();
        if (qvudps_init() != 0) {
            *error = "cannot start the discovery library: " + LastError();
            return false;
        }
        qvudps_callbacks hooks{};
        hooks.on_search_done = OnSearchDone;
        hooks.on_setup_done = OnSetupDone;
        hooks.on_search_error = OnSearchError;
        hooks.on_setup_error = OnSetupError;
        qvudps_callback(&hooks);
        started = true;
    }
    // The relay tells its clients apart by this name; the CLI is one more
    // instance of the configuration tool to it.
    const int rc =
        route.direct ? qvudps_set_proxy(nullptr, 0, nullptr)
                     : qvudps_set_proxy(route.relayAddress.c_str(), route.relayPort, "Mvx-Config");
    if (rc != 0) {
        *error = "cannot set the relay: " + LastError();
        return false;
    }
    if (qvudps_set_capacity(capacity) != 0) {
        *error = "cannot make room for " + std::to_string(capacity) + " devices: " + LastError();
        return false;
    }
    return true;
}

bool Search(bool nameLookup, Console &console, std::vector<qvudps_module> &found,
            std::string *error) {
    found.clear();
    Arm(&HookState::searchEnded, &HookState::searchFailed);
    if (qvudps_search(nameLookup ? 1 : 0, nullptr) != 0) {
        *error = "search not started: " + LastError();
        return false;
    }
    // The main window gives up after 609 polls of 100 ms.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(60900);
    const bool ended =
        WaitEnd(&HookState::searchEnded, qvudps_search_finish, deadline, [&](unsigned tick) {
            char remains[48];
            std::snprintf(remains, sizeof remains, " (remains %d seconds)... %c",
                          (609 - static_cast<int>(tick)) / 10, Spinner(tick));
            console.progress("Searching modules", remains);
        });
    if (!ended) {
        *error = "search did not finish within 61 seconds";
        return false;
    }
    {
        std::lock_guard guard(Hooks().lock);
        if (Hooks().searchFailed) {
            *error = "search failed: " + Hooks().message;
            console.progressDone("Searching modules... failed");
            return false;
        }
    }
    qvudps_rewind();
    qvudps_module m{};
    while (qvudps_record_copy(&m) == 0)
        found.push_back(m);
    return true;
}

bool Setup(const qvudps_module &settings, int nameUpload, Console &console, std::string *error) {
    Arm(&HookState::setupEnded, &HookState::setupFailed);
    if (qvudps_setup(&settings, nameUpload, nullptr) != 0) {
        *error = "Sending new setting failed: " + LastError();
        return false;
    }
    // The detail dialog gives up after 151 polls of 100 ms.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(15100);
    if (!WaitEnd(&HookState::setupEnded, qvudps_setup_finish, deadline, [&](unsigned tick) {
            console.progress("Sending new settings...", std::string(" ") + Spinner(tick));
        })) {
        console.progressDone("Sending new settings... timeout error");
        *error = "Sending new settings... timeout error";
        return false;
    }
    std::lock_guard guard(Hooks().lock);
    if (Hooks().setupFailed) {
        console.progressDone("Sending new settings... failed");
        *error = "Sending new setting failed: " + Hooks().message;
        return false;
    }
    console.progressDone("Sending new settings... done");
    return true;
}

int SetupMany(const Route &route, const std::vector<qvudps_module> &settings,
              const std::vector<qvudps_module> &stored, const qvudps_tea_key &setupKey,
              Console &console, std::vector<std::string> &unsent) {
    unsent.assign(settings.size(), std::string());
    const qvudps::net::Socket s = qvudps::net::udp_socket();
    if (s == qvudps::net::invalid_socket || qvudps::net::bind_any(s, 0) != 0 ||
        (route.direct && qvudps::net::enable_broadcast(s) != 0)) {
        const std::string why =
            "cannot open a UDP socket: " + std::string(std::strerror(qvudps::net::last_error()));
        if (s != qvudps::net::invalid_socket)
            qv_socket_close(s);
        for (auto &u : unsent)
            u = why;
        return 0;
    }
    // Direct setups leave by every adapter, as the search did.
    const auto targets = route.direct ? qvudps::net::broadcast_targets()
                                      : std::vector<qvudps::net::BroadcastTarget>{};
    int sent = 0;
    std::vector<qvudps::HttpExchange> names;
    for (size_t i = 0; i < settings.size(); ++i) {
        const qvudps_module &want = settings[i];
        const qvudps_module &have = stored[i];
        std::uint8_t mac[6];
        std::uint8_t message[qvudps::setup_max_size];
        std::uint8_t datagram[qvudps::proxy_header_size + sizeof message];
        const qvudps_tea_key &key =
            have.setup_auth_required ? setupKey : qvudps::builtin_search_key;
        std::size_t n = 0;
        if (qvudps::parse_mac(have.mac, mac))
            n = qvudps::encode_setup(want, have, mac,
                                     qvudps::merge_setup_flags(have.raw_flags, want), key, message,
                                     sizeof message);
        if (n == 0) {
            unsent[i] = "the setup message could not be built";
            continue;
        }
        const std::uint8_t *payload = message;
        if (!route.direct) {
            n = qvudps::wrap_proxy(qvudps::proxy_setup, "Mvx-Config", message, n, datagram,
                                   sizeof datagram);
            payload = datagram;
        }
        if ((route.direct
                 ? qvudps::net::send_to_targets(s, payload, n, targets, qvudps::device_port)
                 : qvudps::net::send_to(s, payload, n, route.relayAddress.c_str(),
                                        static_cast<std::uint16_t>(route.relayPort))) != 0) {
            unsent[i] =
                "Sendto failed (" + std::string(std::strerror(qvudps::net::last_error())) + ")";
            continue;
        }
        ++sent;
        console.progress("Sending new settings",
                         " " + std::to_string(sent) + " of " + std::to_string(settings.size()));
        // As the library does: a name is written only when it was changed,
        // so a name the search could not read is never overwritten.
        if (qvudps::in_name_set(qvudps::type_code_of(have.raw_type)) &&
            FieldText(want.name) != FieldText(have.name)) {
            qvudps::HttpExchange x;
            x.ip = FieldText(want.ip);
            x.port = want.port;
            x.request = qvudps::name_upload_request(FieldText(want.name));
            names.push_back(std::move(x));
        }
    }
    qv_socket_close(s);
    // The devices get the time the library gives one device to take its
    // settings, once for all of them.
    const auto applied = std::chrono::steady_clock::now() + std::chrono::milliseconds(6000);
    for (unsigned tick = 1; std::chrono::steady_clock::now() < applied; ++tick) {
        console.progress("Sending new settings...", std::string(" ") + Spinner(tick));
        std::this_thread::sleep_until(
            std::min(applied, std::chrono::steady_clock::now() + std::chrono::milliseconds(100)));
    }
    if (!names.empty()) {
        console.progress("Writing device names", " " + std::to_string(names.size()));
        qvudps::run_http_exchanges(names, qvudps::name_connections(), {});
    }
    console.progressDone("Sending new settings... " + std::to_string(sent) + " sent");
    return sent;
}

std::vector<qvudps_module> WithoutFiltered(const std::vector<qvudps_module> &found) {
    std::vector<qvudps_module> kept;
    for (const auto &m : found)
        if (!host::IsMacFiltered(std::string(m.mac, strnlen(m.mac, sizeof m.mac))))
            kept.push_back(m);
    return kept;
}

bool ParseMac(const std::string &text, std::string *canonical) {
    if (text.size() != 17)
        return false;
    const char sep = text[2];
    if (sep != ':' && sep != '-')
        return false;
    std::string out;
    for (size_t i = 0; i < 17; ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != sep)
                return false;
            out += ':';
        } else {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    if (canonical)
        *canonical = out;
    return true;
}

int FindByMac(const std::vector<qvudps_module> &found, const std::string &mac) {
    std::string wanted;
    if (!ParseMac(mac, &wanted))
        return -1;
    for (size_t i = 0; i < found.size(); ++i)
        if (wanted == std::string(found[i].mac, strnlen(found[i].mac, sizeof found[i].mac)))
            return static_cast<int>(i);
    return -1;
}

} // namespace kelvo::cli
