#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr qvudps_tea_key zero_key{0, 0, 0, 0, qvudps::tea_delta};

TEST(Tea, PublishedVectorForZeroKeyAndBlock) {
    uint32_t y = 0, z = 0;
    qvudps::tea_encipher(y, z, zero_key);
    EXPECT_EQ(y, 0x41EA3A0Au);
    EXPECT_EQ(z, 0x94BAA940u);
}

TEST(Tea, AuthCodeIsCbcMacOverFiveBigEndianBlocks) {
    uint8_t bytes[40];
    for (int i = 0; i < 40; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    const qvudps_tea_key key{0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u, qvudps::tea_delta};

    uint32_t y = 0, z = 0;
    for (int b = 0; b < 5; ++b) {
        const uint8_t *p = bytes + 8 * b;
        y ^= uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        z ^= uint32_t{p[4]} << 24 | uint32_t{p[5]} << 16 | uint32_t{p[6]} << 8 | p[7];
        qvudps::tea_encipher(y, z, key);
    }
    uint8_t code[8];
    qvudps::tea_auth_code(bytes, key, code);
    const uint8_t expected[8] = {uint8_t(y >> 24), uint8_t(y >> 16), uint8_t(y >> 8), uint8_t(y),
                                 uint8_t(z >> 24), uint8_t(z >> 16), uint8_t(z >> 8), uint8_t(z)};
    EXPECT_EQ(std::memcmp(code, expected, 8), 0);

    qvudps_tea_key other = key;
    other.k3 ^= 1;
    uint8_t code2[8];
    qvudps::tea_auth_code(bytes, other, code2);
    EXPECT_NE(std::memcmp(code, code2, 8), 0) << "k3 must take part in the code";
}

TEST(Tea, CheckCoversBytes40To47ButNotWhatFollows) {
    uint8_t msg[60] = {};
    for (int i = 0; i < 40; ++i)
        msg[i] = static_cast<uint8_t>(i);
    qvudps::tea_sign(msg, qvudps::builtin_search_key);
    EXPECT_TRUE(qvudps::tea_check(msg, qvudps::builtin_search_key));
    EXPECT_FALSE(qvudps::tea_check(msg, zero_key));

    msg[48] ^= 0xFF;
    EXPECT_TRUE(qvudps::tea_check(msg, qvudps::builtin_search_key));
    for (int bit = 0; bit < 64; bit += 9) {
        uint8_t copy[60];
        std::memcpy(copy, msg, sizeof copy);
        copy[40 + bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(qvudps::tea_check(copy, qvudps::builtin_search_key)) << "bit " << bit;
    }
    msg[3] ^= 0x10;
    EXPECT_FALSE(qvudps::tea_check(msg, qvudps::builtin_search_key));
}

TEST(Tea, SetupKeyFromLoginIsMd5WordsInReverseOrder) {
    qvudps_tea_key k{};
    // MD5("abc") = 900150983cd24fb0d6963f7d28e17f72
    ASSERT_TRUE(qvudps::setup_key_from_login("ab", "c", k));
    EXPECT_EQ(k.k0, 0x28E17F72u);
    EXPECT_EQ(k.k1, 0xD6963F7Du);
    EXPECT_EQ(k.k2, 0x3CD24FB0u);
    EXPECT_EQ(k.k3, 0x90015098u);
    EXPECT_EQ(k.delta, qvudps::tea_delta);

    qvudps_tea_key same{};
    ASSERT_TRUE(qvudps::setup_key_from_login("a", "bc", same));
    EXPECT_EQ(std::memcmp(&k, &same, sizeof k), 0) << "nothing separates the two texts";

    qvudps_tea_key utf8{};
    ASSERT_TRUE(qvudps::setup_key_from_login("J\xC3\xBCrgen", "pw", utf8));
    EXPECT_NE(utf8.k0, k.k0);
}

} // namespace
