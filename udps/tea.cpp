#include "tea.h"

#include "md5.h"

namespace qvudps {

namespace {

uint32_t load_be32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void store_be32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

} // namespace

void tea_encipher(uint32_t &y, uint32_t &z, const qvudps_tea_key &key) {
    uint32_t sum = 0;
    for (int i = 0; i < 32; ++i) {
        sum += key.delta;
        y += ((z << 4) + key.k0) ^ (z + sum) ^ ((z >> 5) + key.k1);
        z += ((y << 4) + key.k2) ^ (y + sum) ^ ((y >> 5) + key.k3);
    }
}

void tea_auth_code(const uint8_t *bytes, const qvudps_tea_key &key, uint8_t out[auth_size]) {
    uint32_t y = 0;
    uint32_t z = 0;
    for (std::size_t off = 0; off < auth_span; off += 8) {
        y ^= load_be32(bytes + off);
        z ^= load_be32(bytes + off + 4);
        tea_encipher(y, z, key);
    }
    store_be32(out, y);
    store_be32(out + 4, z);
}

bool tea_check(const uint8_t *message, const qvudps_tea_key &key) {
    uint8_t code[auth_size];
    tea_auth_code(message, key, code);
    uint8_t diff = 0;
    for (std::size_t i = 0; i < auth_size; ++i)
        diff |= static_cast<uint8_t>(code[i] ^ message[auth_span + i]);
    return diff == 0;
}

void tea_sign(uint8_t *message, const qvudps_tea_key &key) {
    tea_auth_code(message, key, message + auth_span);
}

bool setup_key_from_login(std::string_view user, std::string_view password, qvudps_tea_key &out) {
    uint8_t d[16];
    if (!md5_of_pair(user, password, d))
        return false;
    out.k0 = load_be32(d + 12);
    out.k1 = load_be32(d + 8);
    out.k2 = load_be32(d + 4);
    out.k3 = load_be32(d);
    out.delta = tea_delta;
    return true;
}

} // namespace qvudps
