#include "discovery.h"

#include "kelvohost.h"
#include "textutil.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace kelvo::cli {

namespace {

// What the hooks saw during the current request.
struct HookState {
    std::mutex lock;
    bool searchFailed = false;
    bool setupFailed = false;
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

void OnSearchError(void *, const qvudps_error_info *error) {
    std::lock_guard guard(Hooks().lock);
    Hooks().searchFailed = true;
    Hooks().message = error ? Describe(*error) : std::string("Search failed");
}

void OnSetupError(void *, const qvudps_error_info *error) {
    std::lock_guard guard(Hooks().lock);
    Hooks().setupFailed = true;
    Hooks().message = error ? Describe(*error) : std::string("Setup failed");
}

std::string LastError() {
    qvudps_error_info e{};
    qvudps_error(&e);
    return Describe(e);
}

void Sleep100() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
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

bool StartDiscovery(const Route &route, std::string *error) {
    static bool started = false;
    if (!started) {
        if (qvudps_init() != 0) {
            *error = "cannot start the discovery library: " + LastError();
            return false;
        }
        qvudps_callbacks hooks{};
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
    return true;
}

bool Search(bool nameLookup, Console &console, std::vector<qvudps_module> &found,
            std::string *error) {
    found.clear();
    {
        std::lock_guard guard(Hooks().lock);
        Hooks().searchFailed = false;
    }
    if (qvudps_search(nameLookup ? 1 : 0, nullptr) != 0) {
        *error = "search not started: " + LastError();
        return false;
    }
    // The main window polls every 100 ms and gives up after 609 polls.
    int polls = 0;
    while (qvudps_search_finish() != 0) {
        if (++polls > 609) {
            *error = "search did not finish within 61 seconds";
            return false;
        }
        char remains[48];
        std::snprintf(remains, sizeof remains, " (remains %d seconds)... %c", (609 - polls) / 10,
                      Spinner(static_cast<unsigned>(polls)));
        console.progress("Searching modules", remains);
        Sleep100();
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
    {
        std::lock_guard guard(Hooks().lock);
        Hooks().setupFailed = false;
    }
    if (qvudps_setup(&settings, nameUpload, nullptr) != 0) {
        *error = "Sending new setting failed: " + LastError();
        return false;
    }
    int ticks = 150;
    unsigned spin = 0;
    while (qvudps_setup_finish() != 0) {
        console.progress("Sending new settings...", std::string(" ") + Spinner(++spin));
        if (--ticks < 0) {
            console.progressDone("Sending new settings... timeout error");
            *error = "Sending new settings... timeout error";
            return false;
        }
        Sleep100();
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
