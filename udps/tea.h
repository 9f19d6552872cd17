// TEA authentication of the UDP datagrams and the keys the library uses.
//
// Search replies and setup messages end in an 8-byte code over their first
// 40 bytes: TEA encipherment in CBC-MAC form with a zero start value. The
// functions here are pure and may be called from any thread.
#ifndef UDPS_TEA_H
#define UDPS_TEA_H

#include "qvudps.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvudps {

inline constexpr uint32_t tea_delta = 0x9E3779B9u;

// The built-in search key. Devices (and the simulator) sign their replies
// with it; only replies signed with the search key are accepted.
inline constexpr qvudps_tea_key builtin_search_key{0x4D617276u, 0x616E6520u, 0x4B656C76u,
                                                   0x6F2D3031u, tea_delta};

// Number of bytes covered by the code, and the code's length.
inline constexpr std::size_t auth_span = 40;
inline constexpr std::size_t auth_size = 8;

// One 64-bit block, enciphered in place (32 cycles).
void tea_encipher(uint32_t &y, uint32_t &z, const qvudps_tea_key &key);

// The code of the 40 bytes at `bytes`, written big-endian to out[0..7].
void tea_auth_code(const uint8_t *bytes, const qvudps_tea_key &key, uint8_t out[auth_size]);

// True when bytes 40..47 of `message` (at least 48 bytes) are the code of
// its bytes 0..39.
bool tea_check(const uint8_t *message, const qvudps_tea_key &key);

// Writes the code of bytes 0..39 of `message` to its bytes 40..47.
void tea_sign(uint8_t *message, const qvudps_tea_key &key);

// The setup key for a user name and password (both UTF-8): the MD5 digest
// d0..d15 of the two texts joined without a separator gives k0 = d12..d15,
// k1 = d8..d11, k2 = d4..d7, k3 = d0..d3 (big-endian words) and the TEA
// delta. Pass the words to qvudps_set_setup_tea_keys. False only when the
// digest cannot be computed.
bool setup_key_from_login(std::string_view user, std::string_view password, qvudps_tea_key &out);

} // namespace qvudps

#endif
