// Small text helpers shared by the device libraries and the tools.
#ifndef QVTEXT_H
#define QVTEXT_H

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace qv {

// `text` made safe as XML character data or attribute value: the five
// predefined entities replace & < > " '.
inline std::string xml_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Appends code point `cp` (at most 0x10FFFF; callers check) as UTF-8.
inline void append_utf8(std::string &out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 bytes (after their byte-order mark) as UTF-8: a surrogate without
// its partner becomes U+FFFD and an odd last byte is dropped.
inline std::string utf16_to_utf8(std::string_view bytes, bool big_endian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return big_endian ? (std::uint32_t{first} << 8) | second
                          : (std::uint32_t{second} << 8) | first;
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD;
        append_utf8(out, cp);
    }
    return out;
}

// Reads a dotted-decimal IPv4 text: exactly four numbers of one to three
// digits, each 0 to 255 and without a leading zero (other readers take
// "010" as octal 8), joined by "." and nothing else. On success the four
// numbers go to `out`; on failure `out` is left untouched.
inline bool parse_dotted_ipv4(std::string_view text, std::uint8_t out[4]) {
    std::uint8_t parts[4];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255 || (digits > 1 && text[pos - digits] == '0'))
            return false;
        parts[i] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size())
        return false;
    for (int i = 0; i < 4; ++i)
        out[i] = parts[i];
    return true;
}

// The same reader with the four numbers as one value in network byte order,
// the form socket addresses and netmask arithmetic want (any unsigned 32-bit
// word: Winsock's is an unsigned long).
template <typename Word>
requires(std::is_unsigned_v<Word> &&
         sizeof(Word) == 4) bool parse_dotted_ipv4(std::string_view text, Word &network_order) {
    std::uint8_t parts[4];
    if (!parse_dotted_ipv4(text, parts))
        return false;
    std::memcpy(&network_order, parts, sizeof parts);
    return true;
}

// The reason phrase of an HTTP status code, "Status" for one not listed.
inline const char *http_reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Request Entity Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// A fixed-width record field as text: up to its first NUL, or the whole
// field when a careless writer left none.
inline std::string_view field_text(const char *field, std::size_t size) {
    const void *nul = std::memchr(field, 0, size);
    return {field, nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - field) : size};
}

template <std::size_t N> std::string_view field_text(const char (&field)[N]) {
    return field_text(field, N);
}

// How many bytes of the UTF-8 `text` fit in `max_bytes` without cutting a
// character in two: `max_bytes` itself, or less where a character would be
// split.
inline std::size_t utf8_cut_length(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes)
        return text.size();
    std::size_t n = max_bytes;
    // Step back over continuation bytes to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// The character a progress text shows at step `tick`: "-", "\", "|" and "/"
// in turn.
inline char spinner_char(unsigned tick) {
    static constexpr char chars[4] = {'-', '\\', '|', '/'};
    return chars[tick % 4];
}

} // namespace qv
#endif

#endif
