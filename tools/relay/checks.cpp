// The relay's acceptance of a client datagram: portable.
#include "relay.h"

#include "qvtext.h"

#include <algorithm>

namespace kelvo::relay {

namespace {

// Both a search request and a setup message are at least 48 bytes.
constexpr std::size_t kMinPayload = 48;

} // namespace

std::string log_text(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7f) {
            out += ch;
        } else {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}

const char *verdict_text(Verdict v) {
    switch (v) {
    case Verdict::ok:
        return "ok";
    case Verdict::not_loopback:
        return "source is not on this PC";
    case Verdict::not_loopback_interface:
        return "arrived on a network interface, not on loopback";
    case Verdict::too_short:
        return "too short";
    case Verdict::bad_kind:
        return "unknown kind";
    case Verdict::bad_crc:
        return "CRC mismatch";
    case Verdict::bad_probe:
        return "probe of the wrong size";
    }
    return "?";
}

std::vector<std::uint8_t> probe_reply(const std::uint8_t *nonce, std::string_view status) {
    std::vector<std::uint8_t> out(probe_magic, probe_magic + 4);
    out.push_back(probe_version);
    out.insert(out.end(), nonce, nonce + probe_nonce_size);
    std::string text;
    for (const char ch : status)
        if (ch != '\0')
            text += ch;
    if (text.size() > probe_status_max) {
        std::size_t cut = probe_status_max;
        // Back off over continuation bytes so no character is split.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

bool source_accepted(const sockaddr_in &from) {
    return from.sin_family == AF_INET && (ntohl(from.sin_addr.s_addr) >> 24) == 127;
}

bool make_endpoint(std::string_view address, std::uint16_t port, sockaddr_in &out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return qv::parse_dotted_ipv4(address, out.sin_addr.s_addr);
}

bool reply_accepted(const sockaddr_in &from, bool loopback_interface,
                    const std::vector<sockaddr_in> &devices) {
    if (devices.empty())
        return !loopback_interface;
    return std::any_of(devices.begin(), devices.end(), [&](const sockaddr_in &d) {
        return d.sin_addr.s_addr == from.sin_addr.s_addr && d.sin_port == from.sin_port;
    });
}

Verdict check_datagram(const sockaddr_in &from, bool loopback_interface, const std::uint8_t *data,
                       std::size_t len, qvudps::ProxyHeader &header, const std::uint8_t *&payload,
                       std::size_t &payload_len) {
    if (!source_accepted(from))
        return Verdict::not_loopback;
    if (!loopback_interface)
        return Verdict::not_loopback_interface;
    if (len < qvudps::proxy_header_size)
        return Verdict::too_short;
    const std::uint8_t kind = data[0];
    if (kind != qvudps::proxy_search && kind != qvudps::proxy_setup && kind != probe_kind)
        return Verdict::bad_kind;
    if (kind == probe_kind && len != qvudps::proxy_header_size + probe_nonce_size)
        return Verdict::bad_probe;
    if (kind != probe_kind && len < qvudps::proxy_header_size + kMinPayload)
        return Verdict::too_short;
    switch (qvudps::decode_proxy_datagram(data, len, header, payload, payload_len)) {
    case qvudps::ProxyStatus::ok:
        return Verdict::ok;
    case qvudps::ProxyStatus::too_short:
        return Verdict::too_short;
    case qvudps::ProxyStatus::bad_crc:
        return Verdict::bad_crc;
    }
    return Verdict::bad_crc;
}

} // namespace kelvo::relay
