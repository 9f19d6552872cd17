#include "tea.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using qvudps::builtin_search_key;

// Bytes 0..31 of the documented example, padded to 48 and signed.
std::vector<uint8_t> example_reply() {
    std::vector<uint8_t> r = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xC0, 0xA8, 0x01, 0x63, 0xFF,
                              0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0x5A, 0x3B, 0xC0, 0xA8, 0x01, 0x01, 0x05, 0x00, 0x27, 0x10};
    r.resize(48, 0);
    qvudps::tea_sign(r.data(), builtin_search_key);
    return r;
}

std::vector<uint8_t> extended_reply(std::vector<uint8_t> tlvs) {
    auto r = example_reply();
    r[23] = static_cast<uint8_t>((31 << 3) | 2);
    qvudps::tea_sign(r.data(), builtin_search_key);
    r.insert(r.end(), tlvs.begin(), tlvs.end());
    return r;
}

using Texts = std::vector<std::string>;

// The address fields of a record in their order on the wire: MAC, IP, mask,
// filter IP, filter mask, gateway.
Texts addresses(const qvudps_module &m) {
    return {m.mac, m.ip, m.mask, m.filter_ip, m.filter_mask, m.gateway};
}

void set_addresses(qvudps_module &m, const Texts &a) {
    char *fields[] = {m.mac, m.ip, m.mask, m.filter_ip, m.filter_mask, m.gateway};
    for (std::size_t i = 0; i < a.size(); ++i)
        std::strcpy(fields[i], a[i].c_str());
}

qvudps_module decode(const std::vector<uint8_t> &bytes) {
    qvudps_module m;
    uint8_t raw[6];
    EXPECT_TRUE(qvudps::decode_reply(bytes.data(), bytes.size(), m, raw));
    return m;
}

TEST(Reply, DocumentedExampleDecodesEveryField) {
    const auto r = example_reply();
    EXPECT_TRUE(qvudps::reply_authentic(r.data(), r.size(), builtin_search_key));
    qvudps_module m;
    uint8_t raw[6];
    ASSERT_TRUE(qvudps::decode_reply(r.data(), r.size(), m, raw));
    EXPECT_EQ(std::memcmp(raw, r.data(), 6), 0);
    EXPECT_EQ(addresses(m), (Texts{"00:11:22:33:44:55", "192.168.1.99", "255.255.255.0", "0.0.0.0",
                                   "0.0.0.0", "192.168.1.1"}));
    EXPECT_STREQ(m.firmware, "3.5.10");
    EXPECT_EQ(m.type, 7);
    EXPECT_EQ(m.port, 10000);
    EXPECT_EQ(m.tea_enabled, 1);
    EXPECT_EQ(m.tcp_setup_enabled, 1);
    EXPECT_EQ(m.nvt_enabled + m.dhcp_supported + m.dhcp_enabled + m.load_defaults, 0);
    EXPECT_EQ(m.raw_version, 0x5A);
    EXPECT_EQ(m.raw_type, 0x3B);
    EXPECT_EQ(m.raw_flags, 0x05);
    EXPECT_EQ(std::memcmp(m.auth_code, r.data() + 40, 8), 0);
    EXPECT_STREQ(m.type_name, "Marvane Serial Link S1");
    // Type 7: a serial unit without web interface.
    EXPECT_EQ(m.nvt_supported, 1);
    EXPECT_EQ(m.tea_supported, 1);
    EXPECT_EQ(m.filter_supported, 1);
    EXPECT_EQ(m.tcp_setup_supported, 1);
    EXPECT_EQ(m.tcp_setup_port, 99);
    EXPECT_EQ(m.web_supported, 0);
    EXPECT_EQ(m.web_port, 0);
    EXPECT_EQ(m.name_supported, 0);

    EXPECT_FALSE(qvudps::reply_authentic(r.data(), 47, builtin_search_key));
    EXPECT_FALSE(qvudps::decode_reply(r.data(), 47, m, raw));
}

TEST(Reply, CapabilitiesFollowTheTypeCode) {
    auto r = example_reply();
    r[23] = static_cast<uint8_t>(20 << 3);
    auto m = decode(r);
    EXPECT_EQ(m.web_supported, 1);
    EXPECT_EQ(m.defaults_supported, 1);
    EXPECT_EQ(m.web_port, m.port);
    EXPECT_EQ(m.name_supported, 0);
    EXPECT_EQ(m.nvt_supported, 0);

    r[23] = static_cast<uint8_t>(2 << 3);
    m = decode(r);
    EXPECT_EQ(m.name_supported, 1);
    EXPECT_TRUE(qvudps::in_name_set(2));

    for (unsigned code : {27u, 28u, 30u}) {
        r[23] = static_cast<uint8_t>(code << 3);
        EXPECT_STREQ(decode(r).type_name, "Reserved for future devices");
    }
    EXPECT_STREQ(qvudps::type_name(0), "Unspecified device");
    EXPECT_STREQ(qvudps::type_name(1), "Development version");
    for (unsigned code = 2; code <= 26; ++code) {
        EXPECT_LE(std::strlen(qvudps::type_name(code)), 100u);
        EXPECT_EQ(std::string(qvudps::type_name(code)).rfind("Marvane ", 0), 0u);
    }
}

TEST(Reply, ExtendedReplyTakesOnlyWhatItsListSays) {
    auto m = decode(extended_reply({0xFF}));
    EXPECT_EQ(m.type, 31);
    EXPECT_STREQ(m.type_name, "Reserved for future devices");
    EXPECT_EQ(m.web_port, 0);
    EXPECT_EQ(m.tcp_setup_port, 0);
    EXPECT_EQ(m.web_supported + m.defaults_supported + m.nvt_supported + m.tea_supported +
                  m.filter_supported + m.name_supported + m.tcp_setup_supported +
                  m.setup_auth_required,
              0);

    m = decode(
        extended_reply({1, 1, 0x7F, 2,    3, 'L', 'a', 'b', 3, 2,    'X',  '9',  4, 2, 0x00, 0x1A,
                        5, 2, 0x1F, 0x90, 6, 1,   23,  7,   2, 0x12, 0x34, 0x40, 1, 0, 0xFF}));
    EXPECT_EQ(m.setup_auth_required + m.web_supported + m.defaults_supported + m.nvt_supported +
                  m.tea_supported + m.tcp_setup_supported + m.filter_supported,
              7);
    EXPECT_STREQ(m.name, "Lab");
    EXPECT_EQ(m.name_supported, 1);
    EXPECT_STREQ(m.type_name, "X9");
    EXPECT_EQ(m.type, 26) << "TLV 4 changes the type";
    EXPECT_EQ(m.web_port, 8080);
    EXPECT_EQ(m.tcp_setup_port, 23);
    EXPECT_EQ(m.ext_value, 0x1234);

    EXPECT_EQ(decode(extended_reply({4, 3, 0x00, 0x1A, 0x00, 0xFF})).type, 0);
    // TLV 4 alone keeps the table text of code 31.
    EXPECT_STREQ(decode(extended_reply({4, 1, 2, 0xFF})).type_name, "Reserved for future devices");
}

TEST(Reply, MalformedListsStopSafely) {
    // Entry running past the end: the list ends before it, earlier entries stay.
    auto m = decode(extended_reply({5, 1, 80, 2, 10, 'a', 'b'}));
    EXPECT_EQ(m.web_port, 80);
    EXPECT_STREQ(m.name, "");
    EXPECT_EQ(m.name_supported, 0);
    // Type byte without length byte, and no end marker at all.
    EXPECT_EQ(decode(extended_reply({6, 1, 99, 2})).tcp_setup_port, 99);
    EXPECT_EQ(decode(extended_reply({6, 1, 98})).tcp_setup_port, 98);

    // Over-long texts are cut to the field, at a character boundary.
    std::vector<uint8_t> tlvs = {2, 150};
    for (int i = 0; i < 75; ++i) {
        tlvs.push_back(0xC3); // two-byte character
        tlvs.push_back(0xA9);
    }
    tlvs.push_back(3);
    tlvs.push_back(200);
    tlvs.insert(tlvs.end(), 200, 'T');
    tlvs.push_back(0xFF);
    m = decode(extended_reply(tlvs));
    EXPECT_EQ(std::strlen(m.name), 98u) << "99 bytes would split a character";
    EXPECT_EQ(std::strlen(m.type_name), 100u);

    // A later name entry replaces an earlier one entirely.
    m = decode(extended_reply({2, 5, 'l', 'o', 'n', 'g', 'x', 2, 2, 'a', 'b', 0xFF}));
    EXPECT_STREQ(m.name, "ab");
}

TEST(Reply, EncodeRoundTripsFixedAndExtended) {
    qvudps_module dev{};
    set_addresses(
        dev, {"0A:1B:2C:3D:4E:5F", "10.0.0.7", "255.255.0.0", "10.0.0.0", "255.0.0.0", "10.0.0.1"});
    dev.raw_version = 0x21;
    dev.raw_type = static_cast<uint8_t>((13 << 3) | 4);
    dev.raw_flags = 0xD9;
    dev.raw_reserved = 0x77;
    dev.port = 80;
    std::memcpy(dev.token, "TOKEN-01", 8);

    uint8_t buf[512];
    size_t n = qvudps::encode_reply(dev, builtin_search_key, buf, sizeof buf);
    ASSERT_EQ(n, 48u);
    ASSERT_TRUE(qvudps::reply_authentic(buf, n, builtin_search_key));
    auto m = decode({buf, buf + n});
    EXPECT_EQ(addresses(m), addresses(dev));
    EXPECT_STREQ(m.firmware, "4.2.1");
    EXPECT_EQ(m.type, 13);
    EXPECT_EQ(m.raw_flags, 0xD9);
    EXPECT_EQ(m.raw_reserved, 0x77);
    EXPECT_EQ(std::memcmp(m.token, "TOKEN-01", 8), 0);

    dev.raw_type = static_cast<uint8_t>((31 << 3) | 1);
    dev.name_supported = 1;
    std::strcpy(dev.name, "Boiler room");
    std::strcpy(dev.type_name, "Marvane X1");
    dev.type = 4;
    dev.web_port = 8080;
    dev.tcp_setup_port = 2323;
    dev.ext_value = 5;
    dev.setup_auth_required = 1;
    dev.filter_supported = 1;
    n = qvudps::encode_reply(dev, builtin_search_key, buf, sizeof buf);
    ASSERT_GT(n, 48u);
    m = decode({buf, buf + n});
    EXPECT_STREQ(m.name, "Boiler room");
    EXPECT_STREQ(m.type_name, "Marvane X1");
    EXPECT_EQ(m.type, 4);
    EXPECT_EQ(m.web_port, 8080);
    EXPECT_EQ(m.tcp_setup_port, 2323);
    EXPECT_EQ(m.ext_value, 5);
    EXPECT_EQ(m.setup_auth_required, 1);
    EXPECT_EQ(m.filter_supported, 1);
    EXPECT_EQ(m.web_supported, 0);

    EXPECT_EQ(qvudps::encode_reply(dev, builtin_search_key, buf, 60), 0u) << "too small";
    std::strcpy(dev.ip, "10.0.0");
    EXPECT_EQ(qvudps::encode_reply(dev, builtin_search_key, buf, sizeof buf), 0u);
}

TEST(SearchRequest, FixedLayout) {
    uint8_t req[48];
    qvudps::encode_search_request(req);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(req[i], 0xFF);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(req) + 6, 29), "IIIIMMMMFFFFWWWWUC12345678(c)");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(req) + 35, 13), qvudps::maker_domain);
    EXPECT_TRUE(qvudps::is_search_request(req, 48));
    EXPECT_FALSE(qvudps::is_search_request(req, 47));
    req[40] ^= 1;
    EXPECT_FALSE(qvudps::is_search_request(req, 48));
}

struct SetupFixture : ::testing::Test {
    qvudps_module stored{};
    uint8_t raw_mac[6];
    qvudps_module req{};

    void SetUp() override {
        auto r = example_reply();
        r[28] = 0xC8 | 0x05; // bits 3, 6, 7 set on the device
        r[29] = 0x42;
        std::memcpy(r.data() + 32, "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
        qvudps::tea_sign(r.data(), builtin_search_key);
        ASSERT_TRUE(qvudps::decode_reply(r.data(), r.size(), stored, raw_mac));
        req = stored;
        std::strcpy(req.ip, "10.1.2.3");
        std::strcpy(req.mask, "255.255.255.255");
        std::strcpy(req.gateway, "10.1.2.254");
        req.port = 4001;
    }
};

TEST_F(SetupFixture, FixedDeviceMessageIs48SignedBytes) {
    req.dhcp_supported = 0; // must not reach the wire
    req.tea_enabled = 0;
    req.nvt_enabled = 3; // only the lowest bit counts
    req.dhcp_enabled = 1;
    req.load_defaults = 1;
    const uint8_t flags = qvudps::merge_setup_flags(stored.raw_flags, req);
    EXPECT_EQ(flags, 0xC8 | 0x02 | 0x04 | 0x10 | 0x20);

    uint8_t buf[qvudps::setup_max_size];
    const qvudps_tea_key key{1, 2, 3, 4, qvudps::tea_delta};
    const size_t n = qvudps::encode_setup(req, stored, raw_mac, flags, key, buf, sizeof buf);
    ASSERT_EQ(n, 48u);
    EXPECT_TRUE(qvudps::tea_check(buf, key));
    EXPECT_FALSE(qvudps::tea_check(buf, builtin_search_key));

    qvudps::SetupMessage s;
    ASSERT_TRUE(qvudps::decode_setup(buf, n, s));
    EXPECT_STREQ(s.mac_text, "00:11:22:33:44:55");
    EXPECT_STREQ(s.ip, "10.1.2.3");
    EXPECT_STREQ(s.mask, "255.255.255.255");
    EXPECT_STREQ(s.gateway, "10.1.2.254");
    EXPECT_EQ(s.port, 4001);
    EXPECT_EQ(s.flags & 0x08, 0x08);
    EXPECT_EQ(s.raw_version, 0x5A);
    EXPECT_EQ(s.raw_type, 0x3B);
    EXPECT_EQ(s.reserved, 0x42);
    EXPECT_EQ(std::memcmp(s.token, "\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0);
    EXPECT_FALSE(s.has_name);
}

TEST_F(SetupFixture, ExtendedDeviceCarriesTheNameEntry) {
    stored.raw_type = static_cast<uint8_t>(31 << 3);
    uint8_t buf[qvudps::setup_max_size];
    req.name[0] = '\0';
    size_t n = qvudps::encode_setup(req, stored, raw_mac, 0, builtin_search_key, buf, sizeof buf);
    ASSERT_EQ(n, 51u);
    EXPECT_EQ(buf[48], 0x02);
    EXPECT_EQ(buf[49], 0x00);
    EXPECT_EQ(buf[50], 0xFF);

    std::strcpy(req.name, "Pump hall \xE2\x82\xAC");
    n = qvudps::encode_setup(req, stored, raw_mac, 0, builtin_search_key, buf, sizeof buf);
    ASSERT_EQ(n, 51u + std::strlen(req.name));
    qvudps::SetupMessage s;
    ASSERT_TRUE(qvudps::decode_setup(buf, n, s));
    EXPECT_TRUE(s.has_name);
    EXPECT_STREQ(s.name, req.name);
    EXPECT_FALSE(qvudps::decode_setup(buf, n - 1, s)) << "end marker missing";

    std::memset(req.name, 'n', sizeof req.name); // no NUL at all
    n = qvudps::encode_setup(req, stored, raw_mac, 0, builtin_search_key, buf, sizeof buf);
    EXPECT_EQ(n, 51u + sizeof req.name);
}

TEST_F(SetupFixture, InvalidAddressBuildsNothing) {
    uint8_t buf[qvudps::setup_max_size];
    for (const char *bad : {"", "10.1.2", "10.1.2.256", "1.2.3.4 ", "a.b.c.d", "010.0.0.1"}) {
        qvudps_module r = req;
        std::strcpy(r.filter_mask, bad);
        EXPECT_FALSE(qvudps::setup_addresses_valid(r)) << bad;
        EXPECT_EQ(qvudps::encode_setup(r, stored, raw_mac, 0, builtin_search_key, buf, sizeof buf),
                  0u);
    }
    qvudps_module r = req;
    std::memset(r.gateway, '1', sizeof r.gateway); // unterminated field
    EXPECT_FALSE(qvudps::setup_addresses_valid(r));
    EXPECT_TRUE(qvudps::setup_addresses_valid(req));
}

TEST(ProxyHeader, ClientNameAndCrcLayout) {
    const uint8_t abc[3] = {'a', 'b', 'c'};
    uint8_t hdr[19];
    qvudps::encode_proxy_header(qvudps::proxy_setup, "Mvx-Config", abc, 3, hdr);
    EXPECT_EQ(hdr[0], 2);
    EXPECT_EQ(std::memcmp(hdr + 1, "Mvx-Config\0\0\0\0\0\0", 16), 0);
    EXPECT_EQ(hdr[17], 0xD6);
    EXPECT_EQ(hdr[18], 0x9D);

    qvudps::encode_proxy_header(qvudps::proxy_search, "A-very-long-client-name", abc, 3, hdr);
    EXPECT_EQ(std::memcmp(hdr + 1, "A-very-long-cli", 15), 0);
    EXPECT_EQ(hdr[16], 0);

    uint8_t req[48], dgram[67];
    qvudps::encode_search_request(req);
    ASSERT_EQ(qvudps::wrap_proxy(qvudps::proxy_search, "Mvx-Config", req, 48, dgram, sizeof dgram),
              67u);
    EXPECT_EQ(qvudps::wrap_proxy(qvudps::proxy_search, "x", req, 48, dgram, 66), 0u);
    qvudps::ProxyHeader h;
    const uint8_t *payload = nullptr;
    size_t len = 0;
    ASSERT_EQ(qvudps::decode_proxy_datagram(dgram, 67, h, payload, len), qvudps::ProxyStatus::ok);
    EXPECT_EQ(h.kind, 1);
    EXPECT_STREQ(h.client_name, "Mvx-Config");
    EXPECT_TRUE(qvudps::is_search_request(payload, len));
    dgram[30] ^= 4;
    EXPECT_EQ(qvudps::decode_proxy_datagram(dgram, 67, h, payload, len),
              qvudps::ProxyStatus::bad_crc);
    EXPECT_EQ(qvudps::decode_proxy_datagram(dgram, 18, h, payload, len),
              qvudps::ProxyStatus::too_short);
}

TEST(Texts, MacParsing) {
    uint8_t mac[6];
    EXPECT_TRUE(qvudps::parse_mac("0a:1B:2c:3D:4e:5F", mac));
    char text[18];
    qvudps::format_mac(mac, text);
    EXPECT_STREQ(text, "0A:1B:2C:3D:4E:5F");
    EXPECT_FALSE(qvudps::parse_mac("0a:1B:2c:3D:4e", mac));
    EXPECT_FALSE(qvudps::parse_mac("0a:1B:2c:3D:4e:5F:", mac));
    EXPECT_FALSE(qvudps::parse_mac("0a-1B-2c-3D-4e-5F", mac));
}

} // namespace
