// Small text helpers shared by the device libraries and the tools.
#ifndef QVTEXT_H
#define QVTEXT_H

#ifdef __cplusplus
#include <string>
#include <string_view>

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

} // namespace qv
#endif

#endif
