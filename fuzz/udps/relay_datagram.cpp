// What the relay and the simulated devices read from their sockets: a relay
// header with its payload, a search request or a setup message, from any
// local program. Decoding must stay inside the datagram, and a setup message
// that decodes must be one the library could have built.
#include "wire.h"

#include "require.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void checkSetup(const uint8_t *data, std::size_t size) {
    qvudps::SetupMessage s;
    if (!qvudps::decode_setup(data, size, s))
        return;
    FUZZ_REQUIRE(std::memchr(s.name, 0, sizeof s.name) != nullptr);
    FUZZ_REQUIRE(std::strlen(s.mac_text) == 17);
    FUZZ_REQUIRE(std::strlen(s.ip) <= 15 && std::strlen(s.gateway) <= 15);
    if (qvudps::type_code_of(s.raw_type) == qvudps::type_extended)
        FUZZ_REQUIRE(s.has_name);

    // Rebuild the message from what was read and compare the signed bytes.
    qvudps_module request{};
    qvudps_module stored{};
    std::memcpy(request.ip, s.ip, sizeof s.ip);
    std::memcpy(request.mask, s.mask, sizeof s.mask);
    std::memcpy(request.filter_ip, s.filter_ip, sizeof s.filter_ip);
    std::memcpy(request.filter_mask, s.filter_mask, sizeof s.filter_mask);
    std::memcpy(request.gateway, s.gateway, sizeof s.gateway);
    request.port = s.port;
    const std::size_t name_len = std::strlen(s.name);
    if (name_len >= sizeof request.name)
        return; // longer than any name the library sends
    std::memcpy(request.name, s.name, name_len + 1);
    stored.raw_version = s.raw_version;
    stored.raw_type = s.raw_type;
    stored.raw_reserved = s.reserved;
    std::memcpy(stored.token, s.token, sizeof s.token);
    qvudps_tea_key key{};
    uint8_t out[qvudps::setup_max_size];
    const std::size_t n =
        qvudps::encode_setup(request, stored, s.mac, s.flags, key, out, sizeof out);
    FUZZ_REQUIRE(n >= qvudps::setup_fixed_size);
    FUZZ_REQUIRE(std::memcmp(out, data, 40) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    qvudps::is_search_request(data, size);
    checkSetup(data, size);

    qvudps::ProxyHeader hdr;
    const uint8_t *payload = nullptr;
    std::size_t payload_len = 0;
    const qvudps::ProxyStatus st =
        qvudps::decode_proxy_datagram(data, size, hdr, payload, payload_len);
    if (st == qvudps::ProxyStatus::too_short) {
        FUZZ_REQUIRE(size < qvudps::proxy_header_size);
        return 0;
    }
    FUZZ_REQUIRE(payload == data + qvudps::proxy_header_size);
    FUZZ_REQUIRE(payload_len == size - qvudps::proxy_header_size);
    FUZZ_REQUIRE(hdr.client_name[16] == '\0');
    if (st == qvudps::ProxyStatus::ok) {
        // A header that checks out is one the library would have written.
        uint8_t again[qvudps::proxy_header_size];
        char name[17];
        std::memcpy(name, hdr.client_name, sizeof name);
        qvudps::encode_proxy_header(hdr.kind, name, payload, payload_len, again);
        FUZZ_REQUIRE(std::memcmp(again + 17, data + 17, 2) == 0);
    }
    qvudps::is_search_request(payload, payload_len);
    checkSetup(payload, payload_len);
    return 0;
}
