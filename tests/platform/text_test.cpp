#include "qvtext.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace {

TEST(Text, DottedIPv4Reader) {
    using Parts = std::array<std::uint8_t, 4>;
    const struct {
        const char *text;
        bool ok;
        Parts parts;
    } cases[] = {
        {"192.168.1.99", true, {192, 168, 1, 99}},
        {"0.0.0.0", true, {0, 0, 0, 0}},
        {"255.255.255.255", true, {255, 255, 255, 255}},
        {"10.0.0.100", true, {10, 0, 0, 100}},
        // Other readers take a leading zero as octal: "010" would be 8.
        {"010.0.0.1", false, {}},
        {"10.0.0.01", false, {}},
        {"256.0.0.1", false, {}},
        {"1.2.3.1000", false, {}},
        {"1.2.3", false, {}},
        {"1.2.3.4.5", false, {}},
        {"1..3.4", false, {}},
        {"1.2.3.4.", false, {}},
        {" 1.2.3.4", false, {}},
        {"1.2.3.4 ", false, {}},
        {"1.2 .3.4", false, {}},
        {"0x7f.0.0.1", false, {}},
        {"+1.2.3.4", false, {}},
        {"", false, {}},
    };
    for (const auto &c : cases) {
        const Parts untouched{9, 9, 9, 9};
        Parts got = untouched;
        EXPECT_EQ(qv::parse_dotted_ipv4(c.text, got.data()), c.ok) << c.text;
        EXPECT_EQ(got, c.ok ? c.parts : untouched) << c.text;
        std::uint32_t word = 0;
        EXPECT_EQ(qv::parse_dotted_ipv4(c.text, word), c.ok) << c.text;
    }
    std::uint32_t word = 0;
    ASSERT_TRUE(qv::parse_dotted_ipv4("1.2.3.4", word));
    EXPECT_EQ(reinterpret_cast<const std::uint8_t *>(&word)[0], 1); // network order
    // A text with an embedded NUL is not an address followed by junk.
    EXPECT_FALSE(qv::parse_dotted_ipv4(std::string_view("1.2.3.4\0x", 9), word));
}

TEST(Text, FieldTextStopsAtNulOrFieldEnd) {
    const char terminated[8] = {'a', 'b', 0, 'c'};
    const char full[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(qv::field_text(terminated), "ab");
    EXPECT_EQ(qv::field_text(full), "wxyz");
}

TEST(Text, Utf16DecodesPairsAndReplacesBrokenOnes) {
    using namespace std::string_literals;
    // "A", U+1F600 as a surrogate pair, a lone high surrogate before "B", an odd last byte.
    const std::string little = "A\0\x3D\xD8\x00\xDE\x3D\xD8"
                               "B\0\x7F"s;
    EXPECT_EQ(qv::utf16_to_utf8(little, false), "A\xF0\x9F\x98\x80\xEF\xBF\xBD"
                                                "B");
    EXPECT_EQ(qv::utf16_to_utf8("\0A\xDC\x00"s, true), "A\xEF\xBF\xBD");
}

} // namespace
