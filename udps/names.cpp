#include "names.h"
#include "qvtext.h"

#include "net.h"
#include "state.h"
#include "wire.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace qvudps {

namespace {

enum class Phase { connecting, sending, receiving, done };

struct Active {
    HttpExchange *x;
    std::size_t index;
    net::Socket s;
    Phase phase;
    int64_t deadline; // of the current step
    int64_t end;      // of the whole exchange
    std::size_t sent;
};

void fail(Active &a, const char *text, int code) {
    a.x->messages.push_back({text, code, true});
    a.x->ok = false;
    a.phase = Phase::done;
}

void succeed(Active &a) {
    a.x->ok = true;
    a.phase = Phase::done;
}

// False when no descriptor is left for the socket; the exchange is then
// untouched and may start later.
bool start(Active &a, bool may_wait) {
    HttpExchange &x = *a.x;
    a.s = net::invalid_socket;
    a.phase = Phase::done;
    if (qv_socket_startup() != 0) {
        x.messages.push_back({"Init socket failed", net::last_error(), true});
        return true;
    }
    a.s = net::tcp_socket();
    if (a.s == net::invalid_socket) {
        const int err = net::last_error();
        if (may_wait && net::out_of_descriptors(err))
            return false;
        x.messages.push_back({"Create socket failed", err, true});
        return true;
    }
    if (qv_socket_nonblock(a.s) != 0) {
        x.messages.push_back({"Socket nonblock setup failed", net::last_error(), true});
        return true;
    }
    if (net::connect_start(a.s, x.ip.c_str(), x.port) != 0) {
        x.messages.push_back({"Connect module failed", net::last_error(), true});
        return true;
    }
    a.phase = Phase::connecting;
    a.deadline = qv_monotonic_ms() + http_step_timeout_ms;
    a.end = qv_monotonic_ms() + http_exchange_limit_ms;
    return true;
}

void try_send(Active &a) {
    const std::string &req = a.x->request;
    while (a.sent < req.size()) {
        const long n = net::send_some(a.s, req.data() + a.sent, req.size() - a.sent);
        if (n < 0) {
            const int err = net::last_error();
            if (net::would_block(err))
                return; // wait for writability again, same deadline
            fail(a, "Send failed", err);
            return;
        }
        a.sent += static_cast<std::size_t>(n);
    }
    a.phase = Phase::receiving;
    a.deadline = qv_monotonic_ms() + http_step_timeout_ms;
}

void try_receive(Active &a) {
    char buf[http_chunk];
    for (;;) {
        const long n = net::receive_some(a.s, buf, sizeof buf);
        if (n == 0) {
            succeed(a);
            return;
        }
        if (n < 0) {
            const int err = net::last_error();
            if (net::would_block(err))
                return;
            fail(a, "Recv failed", err);
            return;
        }
        if (a.x->answer.size() + static_cast<std::size_t>(n) >= UDPS_XML_FILE_SIZE) {
            a.x->messages.push_back({"XML file size >= UDPS_XML_FILE_SIZE", 0, false});
            a.x->ok = false;
            a.phase = Phase::done;
            return;
        }
        a.x->answer.append(buf, static_cast<std::size_t>(n));
        a.deadline = qv_monotonic_ms() + http_step_timeout_ms;
    }
}

void on_ready(Active &a) {
    switch (a.phase) {
    case Phase::connecting: {
        const int err = net::pending_error(a.s);
        if (err != 0) {
            fail(a, "Socket connect failure", err);
            return;
        }
        a.phase = Phase::sending;
        a.deadline = qv_monotonic_ms() + http_step_timeout_ms;
        try_send(a);
        return;
    }
    case Phase::sending:
        try_send(a);
        return;
    case Phase::receiving:
        try_receive(a);
        return;
    case Phase::done:
        return;
    }
}

void on_timeout(Active &a, int64_t now) {
    if (now >= a.end && a.phase == Phase::receiving) {
        // Still talking when the whole exchange is over: the answer is
        // cut, so it gives nothing.
        fail(a, "Socket timeout", net::timeout_error());
        return;
    }
    switch (a.phase) {
    case Phase::connecting:
        fail(a, "Socket connect failure", net::timeout_error());
        return;
    case Phase::sending:
        fail(a, "Socket select write failure", net::timeout_error());
        return;
    case Phase::receiving:
        // Silence ends the answer; it is not a failure of the exchange.
        a.x->messages.push_back({"Socket timeout", net::timeout_error(), true});
        succeed(a);
        return;
    case Phase::done:
        return;
    }
}

using qv::append_utf8;

// The code point of "#123" or "#x7B"; 0 when not a valid character.
uint32_t numeric_reference(std::string_view ref) {
    if (ref.size() < 2 || ref[0] != '#')
        return 0;
    const bool hex = ref[1] == 'x' || ref[1] == 'X';
    std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    uint32_t cp = 0;
    for (char c : digits) {
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return 0;
        cp = cp * (hex ? 16 : 10) + d;
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    // A name is shown in tables, terminals and logs: a reference must not
    // smuggle an escape, a line break or a bell into it.
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F))
        return 0;
    return cp;
}

} // namespace

void run_http_exchanges(std::vector<HttpExchange> &exchanges, std::size_t parallel,
                        const std::function<void(std::size_t)> &finished) {
    if (parallel == 0)
        parallel = 1;
    std::vector<Active> active;
    std::vector<net::PollEntry> entries;
    std::size_t next = 0;

    auto retire_done = [&] {
        const auto gone = std::stable_partition(
            active.begin(), active.end(), [](const Active &a) { return a.phase != Phase::done; });
        for (auto it = gone; it != active.end(); ++it) {
            if (it->s != net::invalid_socket)
                qv_socket_close(it->s);
            if (finished)
                finished(it->index);
        }
        active.erase(gone, active.end());
    };

    while (next < exchanges.size() || !active.empty()) {
        while (active.size() < parallel && next < exchanges.size()) {
            Active a{&exchanges[next], next, net::invalid_socket, Phase::done, 0, 0, 0};
            // Out of descriptors with others under way: this one waits for
            // one of them to end, and no more start at once from now on.
            if (!start(a, !active.empty())) {
                parallel = active.size();
                break;
            }
            ++next;
            active.push_back(a);
        }
        retire_done();
        if (active.empty())
            continue;

        int64_t soonest = std::min(active.front().deadline, active.front().end);
        entries.clear();
        for (const Active &a : active) {
            soonest = std::min({soonest, a.deadline, a.end});
            entries.push_back(
                {a.s,
                 static_cast<short>(a.phase == Phase::receiving ? net::want_read : net::want_write),
                 false});
        }
        const int wait = static_cast<int>(std::max<int64_t>(0, soonest - qv_monotonic_ms()));
        const int r = net::poll_sockets(entries.data(), entries.size(), wait);
        if (r < 0) {
            const int err = net::last_error();
            for (Active &a : active)
                fail(a, "Select failed", err);
            retire_done();
            continue;
        }
        for (std::size_t i = 0; i < active.size(); ++i) {
            if (entries[i].ready)
                on_ready(active[i]);
            const int64_t now = qv_monotonic_ms();
            if (active[i].phase != Phase::done &&
                (now >= active[i].deadline || now >= active[i].end))
                on_timeout(active[i], now);
        }
        retire_done();
    }
}

std::size_t name_connections() {
    // Room for the rest of the program's descriptors.
    constexpr long kept_free = 256;
    constexpr long at_least = 16;
    return static_cast<std::size_t>(std::max(at_least, net::descriptor_limit() - kept_free));
}

void replay_messages(const HttpExchange &x) {
    for (const HttpMessage &m : x.messages) {
        if (m.step)
            set_step_error(m.text, m.code);
        else
            set_refusal(m.text);
    }
}

std::string xml_unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semi = text.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 12) {
            out += '&';
            continue;
        }
        const std::string_view ref = text.substr(i + 1, semi - i - 1);
        char c = 0;
        if (ref == "amp")
            c = '&';
        else if (ref == "lt")
            c = '<';
        else if (ref == "gt")
            c = '>';
        else if (ref == "quot")
            c = '"';
        else if (ref == "apos")
            c = '\'';
        if (c) {
            out += c;
        } else if (const uint32_t cp = numeric_reference(ref)) {
            append_utf8(out, cp);
        } else {
            out += '&';
            continue;
        }
        i = semi;
    }
    return out;
}

bool extract_device_name(std::string_view answer, char *out, std::size_t cap) {
    static constexpr std::string_view open = "<DeviceName>";
    static constexpr std::string_view close = "</DeviceName>";
    const std::size_t start = answer.find(open);
    if (start == std::string_view::npos)
        return false;
    const std::size_t text = start + open.size();
    const std::size_t end = answer.find(close, text);
    if (end == std::string_view::npos)
        return false;
    const std::string name = xml_unescape(answer.substr(text, end - text));
    copy_utf8(out, cap, name.data(), name.size());
    return true;
}

std::string name_upload_body(std::string_view name) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<Network>\n<Name>";
    body += xml_escape(name);
    body += "</Name>\n</Network>\n</Root>";
    return body;
}

std::string name_upload_request(std::string_view name) {
    const std::string body = name_upload_body(name);
    std::string req = "POST /setup.xml HTTP/1.0\r\nContent-Type: text/xml\r\nContent-Length: ";
    req += std::to_string(body.size());
    req += "\r\n\r\n";
    req += body;
    return req;
}

bool same_reply(const qvudps_module &a, const qvudps_module &b) {
    const auto same = [](const char *x, const char *y, std::size_t n) {
        return std::strncmp(x, y, n) == 0;
    };
    return same(a.mac, b.mac, sizeof a.mac) && same(a.ip, b.ip, sizeof a.ip) &&
           same(a.mask, b.mask, sizeof a.mask) && same(a.gateway, b.gateway, sizeof a.gateway) &&
           same(a.filter_ip, b.filter_ip, sizeof a.filter_ip) &&
           same(a.filter_mask, b.filter_mask, sizeof a.filter_mask) && a.port == b.port &&
           a.raw_version == b.raw_version && a.raw_type == b.raw_type && a.raw_flags == b.raw_flags;
}

void lookup_names(qvudps_module *records, int count, const std::vector<qvudps_module> &known) {
    std::unordered_map<std::string_view, const qvudps_module *> known_by_mac;
    for (const qvudps_module &k : known)
        known_by_mac.emplace(std::string_view(k.mac, strnlen(k.mac, sizeof k.mac)), &k);
    std::vector<HttpExchange> exchanges;
    std::vector<int> owner;
    for (int i = 0; i < count; ++i) {
        qvudps_module &m = records[i];
        // An extended reply carries its own name, whatever its TLV 4 says.
        if (type_code_of(m.raw_type) == type_extended || !in_name_set(m.type))
            continue;
        const auto k = known_by_mac.find(std::string_view(m.mac, strnlen(m.mac, sizeof m.mac)));
        if (k != known_by_mac.end() && same_reply(*k->second, m)) {
            // Its caller read this name from the same device as it answers
            // now; asking again would cost every device a request per search.
            Guard g;
            std::memcpy(m.name, k->second->name, sizeof m.name);
            m.name[sizeof m.name - 1] = '\0';
            continue;
        }
        HttpExchange x;
        x.ip = m.ip;
        x.port = m.port;
        x.request = lookup_request;
        exchanges.push_back(std::move(x));
        owner.push_back(i);
    }
    if (exchanges.empty())
        return;
    // Each name goes into its record as soon as it is there, for callers
    // that read the records while the search runs; the messages follow
    // afterwards in table order, as if the lookups had run one by one.
    std::vector<const char *> outcome(exchanges.size(), nullptr);
    run_http_exchanges(exchanges, name_connections(), [&](std::size_t k) {
        const HttpExchange &x = exchanges[k];
        if (!x.ok)
            return;
        if (x.answer.empty()) {
            outcome[k] = "XML file not found";
            return;
        }
        qvudps_module &m = records[owner[k]];
        char name[sizeof m.name];
        if (!extract_device_name(x.answer, name, sizeof name)) {
            outcome[k] = "DeviceName not found";
            return;
        }
        Guard g;
        std::memcpy(m.name, name, sizeof name);
    });
    for (std::size_t k = 0; k < exchanges.size(); ++k) {
        replay_messages(exchanges[k]);
        if (outcome[k])
            set_refusal(outcome[k]);
    }
}

void upload_name(const char *ip, uint16_t port, std::string_view name) {
    std::vector<HttpExchange> one(1);
    one[0].ip = ip;
    one[0].port = port;
    one[0].request = name_upload_request(name);
    run_http_exchanges(one, 1, {});
    replay_messages(one[0]);
}

} // namespace qvudps
