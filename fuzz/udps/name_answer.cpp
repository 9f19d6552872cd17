// The answer to the name lookup is whatever a device's web server (or
// anything listening on its port) sends: the name must stay inside its field
// and be cut only at a character boundary.
#include "names.h"
#include "wire.h"

#include "require.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view answer(reinterpret_cast<const char *>(data), size);

    char name[sizeof qvudps_module::name];
    std::memset(name, 'X', sizeof name);
    if (qvudps::extract_device_name(answer, name, sizeof name)) {
        const void *nul = std::memchr(name, 0, sizeof name);
        FUZZ_REQUIRE(nul != nullptr);
        const std::size_t len = static_cast<const char *>(nul) - name;
        // A cut name never ends inside a multi-byte sequence that was whole
        // in the answer: the byte after the cut would be a continuation.
        const std::size_t start = answer.find("<DeviceName>") + 12;
        const std::string full =
            qvudps::xml_unescape(answer.substr(start, answer.find("</DeviceName>", start) - start));
        FUZZ_REQUIRE(len <= full.size());
        FUZZ_REQUIRE(std::memcmp(name, full.data(), len) == 0);
        if (len < full.size() && full[len] != '\0')
            FUZZ_REQUIRE((static_cast<uint8_t>(full[len]) & 0xC0) != 0x80 || len == 0);
    }

    // Decoding never makes a control character out of a reference.
    auto controls = [](std::string_view t) {
        return std::count_if(t.begin(), t.end(),
                             [](char c) { return static_cast<uint8_t>(c) < 0x20 || c == 0x7F; });
    };
    FUZZ_REQUIRE(controls(qvudps::xml_unescape(answer)) <= controls(answer));

    // Escaping for the upload and reading back give the same text.
    const std::string escaped = qvudps::xml_escape(answer);
    FUZZ_REQUIRE(escaped.find_first_of("<>\"'") == std::string::npos);
    FUZZ_REQUIRE(qvudps::xml_unescape(escaped) == answer);
    qvudps::name_upload_request(answer);
    return 0;
}
