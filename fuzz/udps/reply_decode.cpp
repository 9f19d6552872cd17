// Search replies come from anything on the network that answers on port
// 9999: any length, any TLV list. The decoder must stay inside the datagram
// and its fields, and what it decodes must survive a trip through the
// encoder the device simulator uses.
#include "wire.h"

#include "require.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

template <std::size_t N> void requireText(const char (&field)[N]) {
    FUZZ_REQUIRE(std::memchr(field, 0, N) != nullptr);
}

bool isFlag(uint8_t v) {
    return v == 0 || v == 1;
}

void checkRecord(const qvudps_module &m) {
    requireText(m.name);
    requireText(m.ip);
    requireText(m.mask);
    requireText(m.filter_ip);
    requireText(m.filter_mask);
    requireText(m.gateway);
    requireText(m.firmware);
    requireText(m.type_name);
    requireText(m.mac);
    FUZZ_REQUIRE(std::strlen(m.mac) == 17);
    for (uint8_t f : {m.nvt_supported, m.tea_supported, m.tcp_setup_supported, m.name_supported,
                      m.defaults_supported, m.tea_enabled, m.nvt_enabled, m.tcp_setup_enabled,
                      m.dhcp_supported, m.dhcp_enabled, m.load_defaults, m.web_supported,
                      m.setup_auth_required, m.filter_supported})
        FUZZ_REQUIRE(isFlag(f));
    FUZZ_REQUIRE(m.fw_major < 8 && m.fw_minor < 16 && m.fw_build < 16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qvudps_tea_key key{};
    qvudps::reply_authentic(data, size, key);

    qvudps_module m;
    uint8_t raw_mac[6];
    if (!qvudps::decode_reply(data, size, m, raw_mac)) {
        FUZZ_REQUIRE(size < qvudps::reply_fixed_size);
        return 0;
    }
    checkRecord(m);
    FUZZ_REQUIRE(std::memcmp(raw_mac, data, 6) == 0);

    // Encode what was decoded and decode it again: the record must come back
    // the same, apart from the code (signed anew) and an emptied type text,
    // which the encoder leaves out and the decoder then fills from the table.
    uint8_t wire[600];
    const std::size_t n = qvudps::encode_reply(m, key, wire, sizeof wire);
    FUZZ_REQUIRE(n >= qvudps::reply_fixed_size);
    FUZZ_REQUIRE(qvudps::reply_authentic(wire, n, key));
    qvudps_module again;
    uint8_t raw_again[6];
    FUZZ_REQUIRE(qvudps::decode_reply(wire, n, again, raw_again));
    std::memcpy(again.auth_code, m.auth_code, sizeof m.auth_code);
    if (m.type_name[0] == '\0')
        std::memcpy(again.type_name, m.type_name, sizeof m.type_name);
    FUZZ_REQUIRE(std::memcmp(&m, &again, sizeof m) == 0);
    return 0;
}
