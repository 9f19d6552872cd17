// Macro lines are typed by the user or read back from the settings store,
// where anything may have been written. Translation must stay within its
// 256 bytes, report every failure with its message, and agree with a
// straightforward reading of the escapes.
#include "macrotranslate.h"
#include "require.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

using kelvo::terminal::MacroResult;

namespace {

// A hexadecimal line re-read the plain way: spaces dropped, pairs of digits.
// The whole line counts (a long line is refused, not cut), up to 256 bytes.
bool hexReference(std::string_view text, std::string &out) {
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (digits.empty() || digits.size() % 2 != 0 || digits.size() / 2 > 256)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) ||
            !std::isxdigit(static_cast<unsigned char>(digits[i + 1])))
            return false;
        out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return true;
}

void checkResult(const MacroResult &r) {
    if (r.ok()) {
        FUZZ_REQUIRE(r.bytes.size() <= kelvo::terminal::kMacroMaxBytes);
        return;
    }
    FUZZ_REQUIRE(r.bytes.empty());
    const kelvo::terminal::MacroMessage m = kelvo::terminal::macroErrorMessage(r);
    FUZZ_REQUIRE(!m.title.empty() && !m.text.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const MacroResult escaped = kelvo::terminal::translateEscapedMacro(text);
    checkResult(escaped);
    if (escaped.ok()) {
        // Writing every byte back in the "#ddd" form and translating again
        // gives the same bytes.
        std::string spelled;
        for (unsigned char c : escaped.bytes) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "#%03u", c);
            spelled += buf;
        }
        const MacroResult again = kelvo::terminal::translateEscapedMacro(spelled);
        FUZZ_REQUIRE(again.ok() && again.bytes == escaped.bytes);
        // Text without any escape character is sent as it is.
        if (text.find_first_of("#$<") == std::string_view::npos)
            FUZZ_REQUIRE(escaped.bytes == text);
    }

    const MacroResult hex = kelvo::terminal::translateHexMacro(text);
    checkResult(hex);
    std::string expected;
    const bool ok = hexReference(text, expected);
    FUZZ_REQUIRE(hex.ok() == ok);
    if (ok)
        FUZZ_REQUIRE(hex.bytes == expected);
    return 0;
}
