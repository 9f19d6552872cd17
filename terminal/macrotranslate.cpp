#include "macrotranslate.h"

#include <array>
#include <cctype>

// The texts are marked for the window's translation (lupdate reads the mark)
// without this byte logic needing Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace kelvo::terminal {

const char *const kMacroHelpText = QT_TRANSLATE_NOOP(
    "kelvo::terminal",
    "Use ASCII directly, to transmit chars \"#\",\"$\" and \"<\" you have to double them (to "
    "transmit \"T#B\" insert \"T##B\" e.g.) With checked \"HEX\" you can insert \"48 65 79 20 59 "
    "6F 75\" or without spaces \"48657920596F75\" to transmit \"Hey You\". You can also send HEXa "
    "characters with \"$\" prefix (\"Hey Y$6Fu\" e.g.) or DECIMAL numbers with \"#\" prefix (\"Hey "
    "Y#111u\" e.g.) Special ASCII sequences you can send as <LF>, <NUL>, <Xon>, and that's "
    "continue...");

const char *const kMacroLineHint = QT_TRANSLATE_NOOP(
    "kelvo::terminal",
    "Add sending string. You may add any ASCII character by using #xxx, $xx or <ASCII name> "
    "format. You must use ##, $$ and <<. Hexadecimal data is in format  XXYYZZ .. or XX YY ZZ ...");

namespace {

constexpr std::array<const char *, 32> kAsciiNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// Byte classes of the escape state machine.
enum Cls { D, H, Hash, Dollar, Lt, Gt, O, kClassCount };

enum class Act {
    Emit,       // emit the byte itself
    Skip,       // nothing
    EmitHash,   // emit '#'
    EmitDollar, // emit '$'
    EmitLt,     // emit '<'
    Collect,
    CollectDec, // collect, then emit the three digits as a decimal value
    CollectHex, // collect, then emit the two digits as a hexadecimal value
    Lookup,     // look the collected name up
    Fail,
};

struct Step {
    Act act;
    int next;
};

constexpr Step kFail{Act::Fail, 0};

// States: 0 plain, 1 after '#', 2 and 3 after one and two decimal digits,
// 4 after '$', 5 after one hex digit, 6 after '<', 7 inside a name.
constexpr std::array<std::array<Step, kClassCount>, 8> kMachine = {{
    //  D                      H                      #                     $
    //  <                      >                      other
    {{{Act::Emit, 0},
      {Act::Emit, 0},
      {Act::Skip, 1},
      {Act::Skip, 4},
      {Act::Skip, 6},
      {Act::Emit, 0},
      {Act::Emit, 0}}},
    {{{Act::Collect, 2}, kFail, {Act::EmitHash, 0}, kFail, kFail, kFail, kFail}},
    {{{Act::Collect, 3}, kFail, kFail, kFail, kFail, kFail, kFail}},
    {{{Act::CollectDec, 0}, kFail, kFail, kFail, kFail, kFail, kFail}},
    {{{Act::Collect, 5}, {Act::Collect, 5}, kFail, {Act::EmitDollar, 0}, kFail, kFail, kFail}},
    {{{Act::CollectHex, 0}, {Act::CollectHex, 0}, kFail, kFail, kFail, kFail, kFail}},
    {{{Act::Collect, 7},
      {Act::Collect, 7},
      kFail,
      kFail,
      {Act::EmitLt, 0},
      kFail,
      {Act::Collect, 7}}},
    {{{Act::Collect, 7},
      {Act::Collect, 7},
      kFail,
      kFail,
      kFail,
      {Act::Lookup, 0},
      {Act::Collect, 7}}},
}};

Cls classify(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return D;
    }
    if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) {
        return H;
    }
    switch (c) {
    case '#':
        return Hash;
    case '$':
        return Dollar;
    case '<':
        return Lt;
    case '>':
        return Gt;
    default:
        return O;
    }
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Code of an ASCII control name (already upper case), or -1.
int asciiCode(const std::string &upper) {
    if (upper == "XON") {
        return 17;
    }
    if (upper == "XOFF") {
        return 19;
    }
    for (std::size_t i = 0; i < kAsciiNames.size(); ++i) {
        if (upper == kAsciiNames[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

MacroResult failure(MacroResult::Error error, std::string detail = {}) {
    MacroResult r;
    r.error = error;
    r.detail = std::move(detail);
    return r;
}

} // namespace

MacroResult translateEscapedMacro(std::string_view text) {
    MacroResult out;
    std::string acc;
    int state = 0;
    // Refuse rather than cut the macro short: a partial command sent to a
    // device is worse than none.
    auto emit = [&out](unsigned char byte) {
        if (out.bytes.size() >= kMacroMaxBytes) {
            return false;
        }
        out.bytes.push_back(static_cast<char>(byte));
        return true;
    };
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const Step step = kMachine[static_cast<std::size_t>(state)][classify(c)];
        bool fits = true;
        switch (step.act) {
        case Act::Emit:
            fits = emit(c);
            break;
        case Act::Skip:
            break;
        case Act::EmitHash:
            fits = emit('#');
            break;
        case Act::EmitDollar:
            fits = emit('$');
            break;
        case Act::EmitLt:
            fits = emit('<');
            break;
        case Act::Collect:
            acc.push_back(ch);
            break;
        case Act::CollectDec: {
            acc.push_back(ch);
            const int value = (acc[0] - '0') * 100 + (acc[1] - '0') * 10 + (acc[2] - '0');
            if (value > 255) {
                return failure(MacroResult::Error::DecimalRange, acc);
            }
            fits = emit(static_cast<unsigned char>(value));
            acc.clear();
            break;
        }
        case Act::CollectHex: {
            acc.push_back(ch);
            const int value = hexValue(static_cast<unsigned char>(acc[0])) * 16 + hexValue(c);
            fits = emit(static_cast<unsigned char>(value));
            acc.clear();
            break;
        }
        case Act::Lookup: {
            std::string upper = acc;
            for (char &u : upper) {
                u = static_cast<char>(std::toupper(static_cast<unsigned char>(u)));
            }
            const int code = asciiCode(upper);
            if (code < 0) {
                return failure(MacroResult::Error::UnknownName, acc);
            }
            fits = emit(static_cast<unsigned char>(code));
            acc.clear();
            break;
        }
        case Act::Fail:
            return failure(MacroResult::Error::Format);
        }
        if (!fits) {
            return failure(MacroResult::Error::TooLong);
        }
        state = step.next;
    }
    if (state != 0) {
        return failure(MacroResult::Error::Format);
    }
    return out;
}

MacroResult translateHexMacro(std::string_view text) {
    std::string digits;
    digits.reserve(text.size());
    for (char ch : text) {
        if (ch != ' ') {
            digits.push_back(ch);
        }
    }
    MacroResult out;
    std::size_t i = 0;
    for (; i + 1 < digits.size(); i += 2) {
        const int hi = hexValue(static_cast<unsigned char>(digits[i]));
        const int lo = hexValue(static_cast<unsigned char>(digits[i + 1]));
        if (hi < 0 || lo < 0) {
            break;
        }
        if (out.bytes.size() >= kMacroMaxBytes) {
            return failure(MacroResult::Error::TooLong);
        }
        out.bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    if (out.bytes.empty() || 2 * out.bytes.size() != digits.size()) {
        return failure(MacroResult::Error::HexFormat);
    }
    return out;
}

namespace {

MacroMessage Message(const char *title, const char *textTemplate, const std::string &value = {}) {
    MacroMessage m{title, textTemplate, textTemplate, value};
    if (const std::size_t at = m.text.find("%1"); at != std::string::npos)
        m.text.replace(at, 2, value);
    return m;
}

} // namespace

MacroMessage macroErrorMessage(const MacroResult &result) {
    const char *const send = QT_TRANSLATE_NOOP("kelvo::terminal", "Send");
    switch (result.error) {
    case MacroResult::Error::DecimalRange:
        return Message(
            send,
            QT_TRANSLATE_NOOP("kelvo::terminal", "Decimal number %1 not valid value ASCII char!"),
            result.detail);
    case MacroResult::Error::UnknownName:
        return Message(send, QT_TRANSLATE_NOOP("kelvo::terminal", "ASCII name <%1> not exists!"),
                       result.detail);
    case MacroResult::Error::TooLong:
        return Message(send,
                       QT_TRANSLATE_NOOP("kelvo::terminal",
                                         "The macro gives more than %1 bytes and was not sent."),
                       std::to_string(kMacroMaxBytes));
    case MacroResult::Error::HexFormat:
        return Message(QT_TRANSLATE_NOOP("kelvo::terminal", "Hexadecimal data format error"),
                       kMacroHelpText);
    case MacroResult::Error::Format:
    case MacroResult::Error::None:
        break;
    }
    return Message(QT_TRANSLATE_NOOP("kelvo::terminal", "Macro string format error"),
                   kMacroHelpText);
}

} // namespace kelvo::terminal
