#include "wire.h"

#include "qvplatform.h"
#include "qvtext.h"
#include "tea.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace qvudps {

namespace {

// The five address fields of a record or setup message, decoded from their
// places in a datagram.
template <typename Record> void format_addresses(const uint8_t *data, Record &r) {
    format_ipv4(data + off::ip, r.ip);
    format_ipv4(data + off::mask, r.mask);
    format_ipv4(data + off::filter_ip, r.filter_ip);
    format_ipv4(data + off::filter_mask, r.filter_mask);
    format_ipv4(data + off::gateway, r.gateway);
}

// The reverse; false at the first field that is no dotted address. The
// fields are caller-supplied and may lack their NUL: a field full of digits
// is then too long to read as one.
bool put_addresses(const qvudps_module &r, uint8_t *data) {
    using qv::field_text, qv::parse_dotted_ipv4;
    return parse_dotted_ipv4(field_text(r.ip), data + off::ip) &&
           parse_dotted_ipv4(field_text(r.mask), data + off::mask) &&
           parse_dotted_ipv4(field_text(r.filter_ip), data + off::filter_ip) &&
           parse_dotted_ipv4(field_text(r.filter_mask), data + off::filter_mask) &&
           parse_dotted_ipv4(field_text(r.gateway), data + off::gateway);
}

constexpr uint32_t code_set(std::initializer_list<unsigned> codes) {
    uint32_t bits = 0;
    for (unsigned c : codes)
        bits |= uint32_t{1} << c;
    return bits;
}

constexpr uint32_t code_range(unsigned first, unsigned last) {
    uint32_t bits = 0;
    for (unsigned c = first; c <= last; ++c)
        bits |= uint32_t{1} << c;
    return bits;
}

constexpr uint32_t web_set =
    code_range(2, 6) | code_set({8}) | code_range(10, 17) | code_range(20, 26);
constexpr uint32_t defaults_set =
    code_set({2}) | code_range(13, 17) | code_set({20}) | code_range(22, 26);
constexpr uint32_t serial_set = code_set({0, 7, 9, 18, 19});
constexpr uint32_t name_set =
    code_range(2, 4) | code_set({6}) | code_range(10, 17) | code_range(21, 26);

constexpr const char *type_names[27] = {
    "Unspecified device",
    "Development version",
    "Marvane Thermo T1",
    "Marvane Thermo T2 Dual",
    "Marvane IO-8 Relay Box",
    "Marvane Hygro H1",
    "Marvane IO-16 Relay Box",
    "Marvane Serial Link S1",
    "Marvane Thermo T4 Quad",
    "Marvane Serial Link S2",
    "Marvane Sense P1 Pressure",
    "Marvane Sense C1 CO2",
    "Marvane IO-4 Input Unit",
    "Marvane Thermo T8",
    "Marvane Hygro H2",
    "Marvane IO-32 Relay Box",
    "Marvane Power Meter M1",
    "Marvane Sense L1 Light",
    "Marvane Serial Link S4",
    "Marvane Serial Link S1 Industrial",
    "Marvane Web Gateway G1",
    "Marvane Sense W1 Water",
    "Marvane Thermo T16",
    "Marvane IO-8 Analog Unit",
    "Marvane Hygro H4",
    "Marvane Power Meter M3",
    "Marvane Sense A1 Air Quality",
};

bool in_set(uint32_t set, unsigned code) {
    return code < 32 && ((set >> code) & 1u) != 0;
}

uint16_t load_be16(const uint8_t *p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void store_be16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// A key of the wire (a bit, a TLV type) and the record field it fills.
template <class Field> struct FieldOf {
    uint8_t key;
    Field qvudps_module::*field;
};

// The capability bits of TLV 1.
constexpr FieldOf<uint8_t> capability_fields[] = {
    {cap_setup_auth, &qvudps_module::setup_auth_required},
    {cap_web, &qvudps_module::web_supported},
    {cap_defaults, &qvudps_module::defaults_supported},
    {cap_nvt, &qvudps_module::nvt_supported},
    {cap_tea, &qvudps_module::tea_supported},
    {cap_tcp_setup, &qvudps_module::tcp_setup_supported},
    {cap_filter, &qvudps_module::filter_supported},
};

// The TLVs that carry a number.
constexpr FieldOf<uint16_t> number_fields[] = {
    {tlv_type, &qvudps_module::type},
    {tlv_web_port, &qvudps_module::web_port},
    {tlv_tcp_setup_port, &qvudps_module::tcp_setup_port},
    {tlv_ext_value, &qvudps_module::ext_value},
};

uint16_t tlv_number(const uint8_t *value, std::size_t len) {
    if (len == 1)
        return value[0];
    if (len == 2)
        return load_be16(value);
    return 0;
}

void decode_tlv_list(const uint8_t *data, std::size_t len, qvudps_module &m) {
    std::size_t pos = off::tlv;
    while (pos < len && data[pos] != tlv_end) {
        if (pos + 2 > len)
            break; // type byte without its length byte
        const uint8_t type = data[pos];
        const std::size_t vlen = data[pos + 1];
        const uint8_t *value = data + pos + 2;
        if (pos + 2 + vlen > len)
            break; // entry runs past the datagram
        switch (type) {
        case tlv_capabilities:
            set_capabilities(m, vlen >= 1 ? value[0] : 0);
            break;
        case tlv_name:
            // Cleared whole: a shorter second entry leaves nothing of the first.
            std::memset(m.name, 0, sizeof m.name);
            copy_utf8(m.name, sizeof m.name, reinterpret_cast<const char *>(value), vlen);
            m.name_supported = 1;
            break;
        case tlv_type_name:
            std::memset(m.type_name, 0, sizeof m.type_name);
            copy_utf8(m.type_name, sizeof m.type_name, reinterpret_cast<const char *>(value), vlen);
            break;
        default:
            for (const auto &n : number_fields)
                if (n.key == type)
                    m.*n.field = tlv_number(value, vlen);
            break;
        }
        pos += 2 + vlen;
    }
}

void copy_text_field(char *dst, std::size_t cap, const char *src) {
    copy_utf8(dst, cap, src, std::strlen(src));
}

} // namespace

const char *type_name(unsigned code) {
    if (code < 27)
        return type_names[code];
    return "Reserved for future devices";
}

bool in_name_set(unsigned code) {
    return in_set(name_set, code);
}

void apply_capabilities(qvudps_module &m) {
    const unsigned code = m.type;
    m.web_supported = in_set(web_set, code) ? 1 : 0;
    m.web_port = m.web_supported ? m.port : 0;
    m.defaults_supported = in_set(defaults_set, code) ? 1 : 0;
    m.nvt_supported = in_set(serial_set, code) ? 1 : 0;
    m.tea_supported = m.nvt_supported;
    m.filter_supported = m.nvt_supported;
    m.name_supported = in_set(name_set, code) ? 1 : 0;
    m.tcp_setup_supported = 1;
    m.tcp_setup_port = 99;
    m.setup_auth_required = 0;
    m.ext_value = 0;
}

void format_ipv4(const uint8_t addr[4], char *out) {
    std::snprintf(out, 16, "%i.%i.%i.%i", addr[0], addr[1], addr[2], addr[3]);
}

void format_mac(const uint8_t mac[6], char *out) {
    std::snprintf(out, 18, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
}

bool parse_mac(const char *text, uint8_t out[6]) {
    if (!text)
        return false;
    uint8_t mac[6];
    for (int i = 0; i < 6; ++i) {
        int v = 0;
        for (int j = 0; j < 2; ++j) {
            const char c = *text++;
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            v = v * 16 + d;
        }
        mac[i] = static_cast<uint8_t>(v);
        const char sep = *text++;
        if (sep != (i < 5 ? ':' : '\0'))
            return false;
    }
    std::memcpy(out, mac, 6);
    return true;
}

void copy_utf8(char *dst, std::size_t cap, const char *src, std::size_t len) {
    if (cap == 0)
        return;
    const void *nul = std::memchr(src, 0, len);
    if (nul)
        len = static_cast<std::size_t>(static_cast<const char *>(nul) - src);
    const std::size_t n = qv::utf8_cut_length(std::string_view(src, len), cap - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

void encode_search_request(uint8_t out[request_size]) {
    std::memset(out, 0xFF, 6);
    std::memcpy(out + 6, request_marker, 29);
    std::memcpy(out + 35, maker_domain, 13);
}

bool is_search_request(const uint8_t *data, std::size_t len) {
    if (len != request_size)
        return false;
    uint8_t expected[request_size];
    encode_search_request(expected);
    return std::memcmp(data, expected, request_size) == 0;
}

bool reply_authentic(const uint8_t *data, std::size_t len, const qvudps_tea_key &key) {
    return len >= reply_fixed_size && tea_check(data, key);
}

bool decode_reply(const uint8_t *data, std::size_t len, qvudps_module &m, uint8_t raw_mac[6]) {
    if (len < reply_fixed_size)
        return false;
    std::memset(&m, 0, sizeof m);
    std::memcpy(raw_mac, data + off::mac, 6);
    format_mac(data + off::mac, m.mac);
    format_addresses(data, m);
    m.raw_version = data[off::version];
    m.raw_type = data[off::type];
    m.raw_flags = data[off::flags];
    m.raw_reserved = data[off::reserved];
    std::memcpy(m.token, data + off::token, 8);
    std::memcpy(m.auth_code, data + off::auth, 8);
    const uint8_t f = m.raw_flags;
    m.tea_enabled = (f & flag_tea) ? 1 : 0;
    m.nvt_enabled = (f & flag_nvt) ? 1 : 0;
    m.tcp_setup_enabled = (f & flag_tcp_setup) ? 1 : 0;
    m.dhcp_supported = (f & flag_dhcp_supported) ? 1 : 0;
    m.dhcp_enabled = (f & flag_dhcp) ? 1 : 0;
    m.load_defaults = (f & flag_defaults) ? 1 : 0;
    m.fw_major = m.raw_type & 7;
    m.fw_minor = m.raw_version >> 4;
    m.fw_build = m.raw_version & 15;
    m.type = type_code_of(m.raw_type);
    copy_text_field(m.type_name, sizeof m.type_name, type_name(m.type));
    std::snprintf(m.firmware, sizeof m.firmware, "%i.%i.%i", m.fw_major, m.fw_minor, m.fw_build);
    m.port = load_be16(data + off::port);
    if (m.type == type_extended)
        decode_tlv_list(data, len, m);
    else
        apply_capabilities(m);
    return true;
}

std::size_t append_tlv(uint8_t *out, std::size_t cap, std::size_t pos, uint8_t type,
                       const void *value, std::size_t len) {
    if (len > 255 || pos + 2 + len > cap)
        return 0;
    out[pos] = type;
    out[pos + 1] = static_cast<uint8_t>(len);
    if (len)
        std::memcpy(out + pos + 2, value, len);
    return pos + 2 + len;
}

std::size_t encode_reply(const qvudps_module &dev, const qvudps_tea_key &key, uint8_t *out,
                         std::size_t cap) {
    if (cap < reply_fixed_size)
        return 0;
    uint8_t b[reply_fixed_size] = {};
    if (!parse_mac(dev.mac, b + off::mac) || !put_addresses(dev, b))
        return 0;
    b[off::version] = dev.raw_version;
    b[off::type] = dev.raw_type;
    b[off::flags] = dev.raw_flags;
    b[off::reserved] = dev.raw_reserved;
    store_be16(b + off::port, dev.port);
    std::memcpy(b + off::token, dev.token, 8);
    tea_sign(b, key);
    std::memcpy(out, b, reply_fixed_size);
    if (type_code_of(dev.raw_type) != type_extended)
        return reply_fixed_size;

    std::size_t pos = reply_fixed_size;
    const uint8_t caps = capabilities_of(dev);
    auto put_number = [&](uint8_t type, uint16_t v) {
        uint8_t be[2];
        store_be16(be, v);
        return pos ? append_tlv(out, cap, pos, type, be, 2) : 0;
    };
    pos = append_tlv(out, cap, pos, tlv_capabilities, &caps, 1);
    if (pos && dev.name_supported)
        pos = append_tlv(out, cap, pos, tlv_name, dev.name, strnlen(dev.name, sizeof dev.name));
    if (pos && dev.type_name[0])
        pos = append_tlv(out, cap, pos, tlv_type_name, dev.type_name,
                         strnlen(dev.type_name, sizeof dev.type_name));
    pos = put_number(tlv_type, dev.type);
    pos = put_number(tlv_web_port, dev.web_port);
    pos = put_number(tlv_tcp_setup_port, dev.tcp_setup_port);
    if (dev.ext_value)
        pos = put_number(tlv_ext_value, dev.ext_value);
    if (!pos || pos >= cap)
        return 0;
    out[pos++] = tlv_end;
    return pos;
}

void set_capabilities(qvudps_module &m, uint8_t caps) {
    for (const auto &c : capability_fields)
        m.*c.field = (caps & c.key) ? 1 : 0;
}

uint8_t capabilities_of(const qvudps_module &m) {
    uint8_t caps = 0;
    for (const auto &c : capability_fields)
        if (m.*c.field)
            caps = static_cast<uint8_t>(caps | c.key);
    return caps;
}

uint8_t merge_setup_flags(uint8_t stored_flags, const qvudps_module &r) {
    uint8_t f = stored_flags & static_cast<uint8_t>(~setup_flag_bits);
    if (r.tea_enabled & 1)
        f |= flag_tea;
    if (r.nvt_enabled & 1)
        f |= flag_nvt;
    if (r.tcp_setup_enabled & 1)
        f |= flag_tcp_setup;
    if (r.dhcp_enabled & 1)
        f |= flag_dhcp;
    if (r.load_defaults & 1)
        f |= flag_defaults;
    return f;
}

bool setup_addresses_valid(const qvudps_module &r) {
    uint8_t scratch[setup_fixed_size];
    return put_addresses(r, scratch);
}

std::size_t encode_setup(const qvudps_module &r, const qvudps_module &stored,
                         const uint8_t raw_mac[6], uint8_t flags, const qvudps_tea_key &key,
                         uint8_t *out, std::size_t cap) {
    if (!setup_addresses_valid(r))
        return 0;
    const bool extended = type_code_of(stored.raw_type) == type_extended;
    const std::size_t name_len = strnlen(r.name, sizeof r.name);
    const std::size_t total = setup_fixed_size + (extended ? 3 + name_len : 0);
    if (cap < total)
        return 0;
    std::memset(out, 0, setup_fixed_size);
    std::memcpy(out + off::mac, raw_mac, 6);
    put_addresses(r, out);
    out[off::version] = stored.raw_version;
    out[off::type] = stored.raw_type;
    out[off::flags] = flags;
    out[off::reserved] = stored.raw_reserved;
    store_be16(out + off::port, r.port);
    std::memcpy(out + off::token, stored.token, 8);
    tea_sign(out, key);
    if (!extended)
        return setup_fixed_size;
    std::size_t pos = append_tlv(out, cap, setup_fixed_size, tlv_name, r.name, name_len);
    out[pos++] = tlv_end;
    return pos;
}

bool decode_setup(const uint8_t *data, std::size_t len, SetupMessage &s) {
    if (len < setup_fixed_size)
        return false;
    std::memset(&s, 0, sizeof s);
    std::memcpy(s.mac, data + off::mac, 6);
    format_mac(s.mac, s.mac_text);
    format_addresses(data, s);
    s.raw_version = data[off::version];
    s.raw_type = data[off::type];
    s.flags = data[off::flags];
    s.reserved = data[off::reserved];
    s.port = load_be16(data + off::port);
    std::memcpy(s.token, data + off::token, 8);
    std::memcpy(s.auth_code, data + off::auth, 8);
    if (type_code_of(s.raw_type) != type_extended)
        return true;
    if (len < setup_fixed_size + 3 || data[off::tlv] != tlv_name)
        return false;
    const std::size_t n = data[off::tlv + 1];
    if (setup_fixed_size + 3 + n > len || data[off::tlv + 2 + n] != tlv_end)
        return false;
    std::memcpy(s.name, data + off::tlv + 2, n);
    s.name[n] = '\0';
    s.has_name = true;
    return true;
}

void encode_proxy_header(uint8_t kind, const char *client_name, const uint8_t *payload,
                         std::size_t len, uint8_t out[proxy_header_size]) {
    std::memset(out, 0, proxy_header_size);
    out[0] = kind;
    if (client_name)
        std::memcpy(out + 1, client_name, strnlen(client_name, client_name_max));
    const uint16_t crc = qv_crc16(0, payload, len);
    out[17] = static_cast<uint8_t>(crc);
    out[18] = static_cast<uint8_t>(crc >> 8);
}

std::size_t wrap_proxy(uint8_t kind, const char *client_name, const uint8_t *payload,
                       std::size_t len, uint8_t *out, std::size_t cap) {
    if (cap < proxy_header_size || len > cap - proxy_header_size)
        return 0;
    encode_proxy_header(kind, client_name, payload, len, out);
    std::memcpy(out + proxy_header_size, payload, len);
    return proxy_header_size + len;
}

ProxyStatus decode_proxy_datagram(const uint8_t *data, std::size_t len, ProxyHeader &hdr,
                                  const uint8_t *&payload, std::size_t &payload_len) {
    if (len < proxy_header_size)
        return ProxyStatus::too_short;
    hdr.kind = data[0];
    std::memcpy(hdr.client_name, data + 1, 16);
    hdr.client_name[16] = '\0';
    hdr.crc = static_cast<uint16_t>(data[17] | (data[18] << 8));
    payload = data + proxy_header_size;
    payload_len = len - proxy_header_size;
    return qv_crc16(0, payload, payload_len) == hdr.crc ? ProxyStatus::ok : ProxyStatus::bad_crc;
}

} // namespace qvudps
