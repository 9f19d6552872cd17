// Byte layout of the UDP datagrams: the search request, the search reply
// (fixed, or extended with a TLV list), the setup message and the 19-byte
// relay header. Both directions are here so that the library, the relay and
// the device simulator share one definition of the format. Multi-byte
// numbers are big-endian, except the relay header's CRC (little-endian).
//
// Everything here is pure and may be called from any thread.
#ifndef UDPS_WIRE_H
#define UDPS_WIRE_H

#include "qvudps.h"

#include <cstddef>
#include <cstdint>

namespace qvudps {

// UDP port the devices listen on; also the relay's default port.
inline constexpr uint16_t device_port = 9999;

inline constexpr std::size_t request_size = 48;
inline constexpr std::size_t reply_fixed_size = 48;
inline constexpr std::size_t setup_fixed_size = 48;
// A setup message with the name entry: 48 + 0x02, n, name (up to 100), 0xFF.
inline constexpr std::size_t setup_max_size = setup_fixed_size + 3 + sizeof(qvudps_module::name);
inline constexpr std::size_t proxy_header_size = 19;
// Longest client name carried in the relay header; byte 16 is always 0.
inline constexpr std::size_t client_name_max = 15;
// Largest datagram the library receives.
inline constexpr std::size_t max_datagram = 512;

inline constexpr char request_marker[] = "IIIIMMMMFFFFWWWWUC12345678(c)"; // 29 bytes
inline constexpr char maker_domain[] = "marvane.local";                   // 13 bytes
static_assert(sizeof(request_marker) - 1 == 29 && sizeof(maker_domain) - 1 == 13);

// Offsets shared by replies and setup messages.
namespace off {
inline constexpr std::size_t mac = 0;
inline constexpr std::size_t ip = 6;
inline constexpr std::size_t mask = 10;
inline constexpr std::size_t filter_ip = 14;
inline constexpr std::size_t filter_mask = 18;
inline constexpr std::size_t version = 22;
inline constexpr std::size_t type = 23;
inline constexpr std::size_t gateway = 24;
inline constexpr std::size_t flags = 28;
inline constexpr std::size_t reserved = 29;
inline constexpr std::size_t port = 30;
inline constexpr std::size_t token = 32;
inline constexpr std::size_t auth = 40;
inline constexpr std::size_t tlv = 48;
} // namespace off

// Type code of an extended reply (upper five bits of byte 23).
inline constexpr unsigned type_extended = 31;
inline constexpr unsigned type_code_of(uint8_t raw_type) {
    return raw_type >> 3;
}

enum ProxyKind : uint8_t { proxy_search = 1, proxy_setup = 2 };

enum TlvType : uint8_t {
    tlv_capabilities = 1,
    tlv_name = 2,
    tlv_type_name = 3,
    tlv_type = 4,
    tlv_web_port = 5,
    tlv_tcp_setup_port = 6,
    tlv_ext_value = 7,
    tlv_end = 0xFF,
};

// Flags byte (byte 28).
enum FlagBit : uint8_t {
    flag_tea = 0x01,
    flag_nvt = 0x02,
    flag_tcp_setup = 0x04,
    flag_dhcp_supported = 0x08,
    flag_dhcp = 0x10,
    flag_defaults = 0x20,
};
// The bits a setup takes from the caller; the others are echoed.
inline constexpr uint8_t setup_flag_bits =
    flag_tea | flag_nvt | flag_tcp_setup | flag_dhcp | flag_defaults;

// Capability byte of TLV 1.
enum CapabilityBit : uint8_t {
    cap_setup_auth = 0x01,
    cap_web = 0x02,
    cap_defaults = 0x04,
    cap_nvt = 0x08,
    cap_tea = 0x10,
    cap_tcp_setup = 0x20,
    cap_filter = 0x40,
};

// ---- device types -------------------------------------------------------

// Text of a five-bit type code (0..31); codes 27..31 are reserved.
const char *type_name(unsigned code);
// The types whose name is read and written over HTTP (fixed replies only).
bool in_name_set(unsigned code);
// Fills the capability fields of a fixed reply's record from its `type`
// and `port`.
void apply_capabilities(qvudps_module &m);

// ---- texts --------------------------------------------------------------

// Dotted decimal of four bytes; `out` holds at least 16 bytes.
void format_ipv4(const uint8_t addr[4], char *out);
// "00:11:22:33:44:55"; `out` holds at least 18 bytes.
void format_mac(const uint8_t mac[6], char *out);
// Six hexadecimal pairs joined by ':' (either case).
bool parse_mac(const char *text, uint8_t out[6]);
// Copies at most cap-1 bytes of src[0..len) into dst and NUL-terminates,
// never cutting a UTF-8 sequence in two. Stops early at a NUL in src.
void copy_utf8(char *dst, std::size_t cap, const char *src, std::size_t len);

// ---- search request -----------------------------------------------------

void encode_search_request(uint8_t out[request_size]);
// True when the datagram is exactly the 48-byte search request.
bool is_search_request(const uint8_t *data, std::size_t len);

// ---- search reply -------------------------------------------------------

// True when the datagram is long enough and signed with `key`. Only the
// first 48 bytes are covered; a TLV list is not authenticated.
bool reply_authentic(const uint8_t *data, std::size_t len, const qvudps_tea_key &key);
// Decodes a reply into a zeroed record and the six raw MAC bytes. A TLV
// entry running past the datagram's end ends the list; TLV texts longer
// than their field are cut at a UTF-8 boundary. False when shorter than
// 48 bytes. Does not check the code.
bool decode_reply(const uint8_t *data, std::size_t len, qvudps_module &out, uint8_t raw_mac[6]);
// Encodes a device's reply, signed with `key`, from the record's `mac`,
// address texts, `raw_version`, `raw_type`, `raw_flags`, `raw_reserved`,
// `port` and `token`. When the type code of `raw_type` is 31 a TLV list
// follows: capabilities, name (when name_supported), type text (when not
// empty), type, web port, TCP setup port, ext_value (when not 0), end.
// Returns the length, or 0 when an address or the MAC text is not valid or
// `cap` is too small.
std::size_t encode_reply(const qvudps_module &dev, const qvudps_tea_key &key, uint8_t *out,
                         std::size_t cap);
// Appends one TLV entry at out[pos]; returns the new length, or 0 when it
// does not fit or len > 255.
std::size_t append_tlv(uint8_t *out, std::size_t cap, std::size_t pos, uint8_t type,
                       const void *value, std::size_t len);

// ---- setup message ------------------------------------------------------

// The flags byte of a setup: bits 0, 1, 2, 4, 5 from the request's five
// flag fields (lowest bit of each), bits 3, 6, 7 from `stored_flags`.
uint8_t merge_setup_flags(uint8_t stored_flags, const qvudps_module &request);

// The capability byte of TLV 1 into the record's "supported" fields, and
// back.
void set_capabilities(qvudps_module &m, uint8_t caps);
uint8_t capabilities_of(const qvudps_module &m);
// True when the request's five address texts are valid dotted IPv4.
bool setup_addresses_valid(const qvudps_module &request);
// Builds a setup message from the request's new values and the stored
// record of the device (its raw MAC, `raw_version`, `raw_type`,
// `raw_reserved`, `token`), with the given flags byte, signed with `key`.
// Extended devices (type code 31) get the name entry. Returns the length,
// or 0 when an address text is not valid (nothing is built) or `cap` is
// too small.
std::size_t encode_setup(const qvudps_module &request, const qvudps_module &stored,
                         const uint8_t raw_mac[6], uint8_t flags, const qvudps_tea_key &key,
                         uint8_t *out, std::size_t cap);

// A setup message as a device reads it.
struct SetupMessage {
    uint8_t mac[6];
    char mac_text[18];
    char ip[16];
    char mask[16];
    char filter_ip[16];
    char filter_mask[16];
    char gateway[16];
    uint8_t raw_version;
    uint8_t raw_type;
    uint8_t flags;
    uint8_t reserved;
    uint16_t port;
    uint8_t token[8];
    uint8_t auth_code[8];
    bool has_name; // the name entry of an extended device was present
    char name[256];
};
// Decodes a setup message (48 bytes, or 51 + n for an extended device).
// False when shorter than 48 bytes or the name entry of an extended device
// is malformed. Check the code separately with tea_check.
bool decode_setup(const uint8_t *data, std::size_t len, SetupMessage &out);

// ---- relay header -------------------------------------------------------

// Writes the header for `payload`: kind, client name (at most 15 bytes,
// zero-filled to 16), CRC-16/XMODEM of the payload, low byte first.
void encode_proxy_header(uint8_t kind, const char *client_name, const uint8_t *payload,
                         std::size_t len, uint8_t out[proxy_header_size]);
// Header + payload into out (which must not overlap the payload); returns
// the total length or 0 when it does not fit.
std::size_t wrap_proxy(uint8_t kind, const char *client_name, const uint8_t *payload,
                       std::size_t len, uint8_t *out, std::size_t cap);

struct ProxyHeader {
    uint8_t kind;
    char client_name[17];
    uint16_t crc;
};
enum class ProxyStatus { ok, too_short, bad_crc };
// Splits a datagram from a client into header and payload and checks the
// CRC. `payload`/`payload_len` are set whenever the header is complete.
ProxyStatus decode_proxy_datagram(const uint8_t *data, std::size_t len, ProxyHeader &hdr,
                                  const uint8_t *&payload, std::size_t &payload_len);

} // namespace qvudps

#endif
