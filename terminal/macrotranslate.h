// Translation of a terminal macro line into the bytes it sends, and the texts
// shown when a line cannot be translated. Plain C++ with no Qt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvo::terminal {

// A macro never sends more than this many bytes in one go.
inline constexpr std::size_t kMacroMaxBytes = 256;

struct MacroResult {
    enum class Error {
        None,
        Format,       // escape syntax broken (bad or missing digits, "<>", ...)
        DecimalRange, // "#ddd" with a value of 256 or more; detail = the digits
        UnknownName,  // "<name>" not an ASCII control name; detail = name as typed
        TooLong,      // would give more than kMacroMaxBytes bytes
        HexFormat,    // hexadecimal line empty, odd or with a non-hex digit
    };
    Error error = Error::None;
    std::string bytes;  // what to send; empty after an error
    std::string detail; // see Error

    bool ok() const { return error == Error::None; }
};

// Escape mode. `text` is the line encoded as UTF-8; bytes of 128 and above are
// sent as they are. "##", "$$" and "<<" send the character itself; "#ddd" sends
// a decimal byte (three digits), "$hh" a hexadecimal byte (two digits) and
// "<name>" an ASCII control code by name (NUL..US, XON, XOFF; any case).
// An empty line gives no error and no bytes.
MacroResult translateEscapedMacro(std::string_view text);

// Hexadecimal mode: pairs of hexadecimal digits, spaces anywhere ignored.
// An empty line is a format error.
MacroResult translateHexMacro(std::string_view text);

// Title and text of the message box that reports a failed translation
// (UTF-8). Must not be called for a successful result.
// `text` is `textTemplate` with its "%1" replaced by `value`, so that the
// window can show the text in the user's language (the texts are marked for
// its translation, context "kelvo::terminal").
struct MacroMessage {
    std::string title;
    std::string text;
    std::string textTemplate;
    std::string value;
};
MacroMessage macroErrorMessage(const MacroResult &result);

// Help shown with both format errors.
extern const char *const kMacroHelpText;
// Tooltip of every macro line.
extern const char *const kMacroLineHint;

} // namespace kelvo::terminal
