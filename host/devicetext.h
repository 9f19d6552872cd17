// What the window and the command line show about a device, as plain text
// without Qt, kept beside the record so both front ends say the same: the
// options summary of the device table, the type codes that keep a
// configuration document, and the file name offered for that document.
//
// Threading: pure functions over records the caller owns; any thread.
#ifndef KELVO_HOST_DEVICETEXT_H
#define KELVO_HOST_DEVICETEXT_H

#include "qvtext.h"
#include "qvudps.h"

#include <cctype>
#include <cstring>
#include <string>

namespace kelvo {

// The record's text field up to its NUL, never past the field, as a string
// of its own.
template <std::size_t N> std::string FieldText(const char (&field)[N]) {
    return std::string(qv::field_text(field));
}

// "TCP setup=Y, TEA=N, NVT=Y, DHCP=N": TCP setup always, the others only for
// the capabilities the device has.
inline std::string ParametersText(const qvudps_module &m) {
    auto yn = [](std::uint8_t v) { return v == 1 ? "Y" : "N"; };
    std::string s = std::string("TCP setup=") + yn(m.tcp_setup_enabled);
    if (m.tea_supported)
        s += std::string(", TEA=") + yn(m.tea_enabled);
    if (m.nvt_supported)
        s += std::string(", NVT=") + yn(m.nvt_enabled);
    if (m.dhcp_supported)
        s += std::string(", DHCP=") + yn(m.dhcp_enabled);
    return s;
}

// Devices whose setup document can be downloaded and uploaded, by type code
// (its low eight bits).
inline bool SupportsConfigFiles(unsigned type) {
    // clang-format off
    switch (type & 0xFF) {
    case 2: case 3: case 4: case 5: case 6: case 8:
    case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17:
    case 21: case 22: case 23: case 24: case 25: case 26:
    case 34: case 39: case 40:
        return true;
    default:
        return false;
    }
    // clang-format on
}

// The file name the main window offers for a device's configuration: its
// name, or its address with "." turned into "_", then "_" and the port
// (192_168_1_99_80).
inline std::string SuggestedFileName(const std::string &name, const std::string &ip,
                                     unsigned port) {
    if (!name.empty())
        return name;
    std::string host = ip;
    for (char &c : host)
        if (c == '.')
            c = '_';
    return host + "_" + std::to_string(port);
}

// `base` made safe as one visible file name inside a chosen folder: path
// separators, control characters and the characters other systems refuse
// become "_", bytes that are not UTF-8 become U+FFFD (so the name on disk is
// the name shown), a leading "." becomes "_" (no hidden files), and a name of
// only dots and spaces becomes "_". A device name is chosen by whoever set up
// the device, so it must never reach outside the folder or hide in it.
inline std::string SafeFileStem(const std::string &base) {
    std::string s;
    for (std::size_t i = 0; i < base.size();) {
        const auto u = static_cast<unsigned char>(base[i]);
        if (u < 0x80) {
            s += u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", u) ? '_' : base[i];
            ++i;
            continue;
        }
        // Length of a well-formed sequence starting here, 0 when there is none
        // (overlong forms, surrogates and values past U+10FFFF included).
        const std::size_t n = u >= 0xC2 && u <= 0xDF   ? 2
                              : u >= 0xE0 && u <= 0xEF ? 3
                              : u >= 0xF0 && u <= 0xF4 ? 4
                                                       : 0;
        bool valid = n != 0 && i + n <= base.size();
        for (std::size_t k = 1; valid && k < n; ++k)
            valid = (static_cast<unsigned char>(base[i + k]) & 0xC0) == 0x80;
        if (valid && n >= 3) {
            const auto second = static_cast<unsigned char>(base[i + 1]);
            valid = !(u == 0xE0 && second < 0xA0) && !(u == 0xED && second >= 0xA0) &&
                    !(u == 0xF0 && second < 0x90) && !(u == 0xF4 && second >= 0x90);
        }
        if (valid) {
            s.append(base, i, n);
            i += n;
        } else {
            s += "\xEF\xBF\xBD";
            ++i;
        }
    }
    if (s.find_first_not_of(". ") == std::string::npos)
        return "_";
    if (s[0] == '.')
        s[0] = '_';
    return s;
}

// SafeFileStem of `base`, with ".xml" appended unless the name ends with it
// already (any case).
inline std::string SafeXmlFileName(const std::string &base) {
    std::string s = SafeFileStem(base);
    auto endsWithXml = [&] {
        if (s.size() < 4)
            return false;
        std::string tail = s.substr(s.size() - 4);
        for (char &c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return tail == ".xml";
    };
    if (!endsWithXml())
        s += ".xml";
    return s;
}

} // namespace kelvo

#endif
