// Scanning markup text shared by the DOM parser and the SAX front end.
#ifndef QVXML_MODEL_TEXT_SCAN_H
#define QVXML_MODEL_TEXT_SCAN_H

#include <cstddef>
#include <string_view>

namespace qvxml {

// The first of `stops` at or after `from` that is not inside a quoted value
// ('"' or '\''); text.size() when there is none.
inline size_t find_unquoted(std::string_view text, size_t from, std::string_view stops) {
    char quote = 0;
    for (size_t p = from; p < text.size(); ++p) {
        const char c = text[p];
        if (quote) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (stops.find(c) != std::string_view::npos) {
            return p;
        }
    }
    return text.size();
}

} // namespace qvxml

#endif
