// What the two files of the relay's tests share: a device's reply and a
// probe nonce, each told apart by a seed.
#pragma once

#include "lab.h"
#include "relay.h"

namespace kelvo::test {

inline Bytes reply_bytes(std::uint8_t tag) {
    Bytes r(60, tag);
    r[59] = 0xFF;
    return r;
}

inline Bytes nonce_of(std::uint8_t seed) {
    Bytes n(kelvo::relay::probe_nonce_size);
    for (auto &b : n)
        b = seed = static_cast<std::uint8_t>(seed * 31 + 7);
    return n;
}

} // namespace kelvo::test
