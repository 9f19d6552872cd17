#include "receivefilter.h"

namespace kelvo::terminal {

namespace {
constexpr unsigned char kIac = 255;
constexpr unsigned char kWill = 251;
constexpr unsigned char kDont = 254; // WILL, WONT, DO, DONT are 251..254
constexpr unsigned char kBel = 7;
constexpr unsigned char kBs = 8;
constexpr unsigned char kLf = 10;
constexpr unsigned char kCr = 13;
constexpr unsigned char kEsc = 27;

void flush(std::vector<DisplayEdit> &edits, std::string &kept) {
    if (!kept.empty()) {
        edits.push_back({DisplayEdit::Kind::Append, std::move(kept)});
        kept.clear();
    }
}
} // namespace

std::vector<DisplayEdit> ReceiveFilter::feed(std::string_view chunk) {
    std::vector<DisplayEdit> edits;
    std::string kept;
    kept.reserve(chunk.size());
    for (char ch : chunk) {
        const auto byte = static_cast<unsigned char>(ch);
        if (state_ == AfterIac && byte >= kWill && byte <= kDont) {
            state_ = AfterVerb;
            continue;
        }
        if (state_ == AfterVerb) {
            state_ = Plain;
            continue;
        }
        // Anything else after an IAC (IAC IAC, IAC SB, ...) drops only the IAC
        // and is looked at as a byte of its own.
        state_ = Plain;
        // Telnet sits below the terminal: negotiation inside an escape
        // sequence leaves the sequence going.
        if (byte == kIac) {
            state_ = AfterIac;
            continue;
        }
        if (swallowEscape(byte)) {
            continue;
        }
        switch (byte) {
        case kBel:
            edits.push_back({DisplayEdit::Kind::Beep, {}});
            break;
        case kBs:
            // The text before the backspace must reach the display first, so
            // that the backspace can remove its last character.
            flush(edits, kept);
            edits.push_back({DisplayEdit::Kind::Backspace, {}});
            break;
        case kEsc:
            escape_ = AfterEsc;
            break;
        default:
            if (byte == kLf || byte == kCr || byte >= 32) {
                kept.push_back(ch);
            }
            break;
        }
    }
    flush(edits, kept);
    return edits;
}

bool ReceiveFilter::swallowEscape(unsigned char byte) {
    switch (escape_) {
    case NoEscape:
        return false;
    case AfterEsc:
        if (byte == '[') {
            escape_ = Csi;
            return true;
        }
        if (byte == ']') {
            escape_ = Osc;
            return true;
        }
        if (byte >= 0x20 && byte <= 0x2F) {
            escape_ = Intermediate;
            return true;
        }
        escape_ = NoEscape;
        // ESC and one final byte (ESC 7, ESC c, ESC =); anything else ends
        // the escape and is looked at as a byte of its own.
        return byte >= 0x30 && byte <= 0x7E;
    case Intermediate:
    case Csi:
        // Parameters and intermediates run on until a final byte; a control
        // byte or a line end breaks off the sequence and counts as itself.
        if (byte >= 0x20 && byte <= 0x3F) {
            if (escape_ == Intermediate && byte > 0x2F) {
                escape_ = NoEscape;
            }
            return true;
        }
        if (byte >= 0x40 && byte <= 0x7E) {
            escape_ = NoEscape;
            return true;
        }
        escape_ = NoEscape;
        return false;
    case Osc:
    case OscAfterEsc:
        if (byte == kBel || (escape_ == OscAfterEsc && byte == '\\')) {
            escape_ = NoEscape;
            return true;
        }
        // An unterminated title must not hide the rest of the session: a
        // line end gives up on it.
        if (byte == kCr || byte == kLf) {
            escape_ = NoEscape;
            return false;
        }
        escape_ = byte == kEsc ? OscAfterEsc : Osc;
        return true;
    }
    return false;
}

std::string LineEndFolder::fold(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        if (ch == '\r') {
            out.push_back('\n');
            afterCr_ = true;
            continue;
        }
        if (ch == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = false;
        out.push_back(ch);
    }
    return out;
}

std::string WrapLongLines(std::string_view text, std::size_t &column, std::size_t max) {
    std::string out;
    out.reserve(text.size() + text.size() / max + 1);
    for (char ch : text) {
        if (ch == '\n') {
            column = 0;
        } else if (column >= max) {
            out.push_back('\n');
            column = 1;
        } else {
            ++column;
        }
        out.push_back(ch);
    }
    return out;
}

} // namespace kelvo::terminal
