#include "textutil.h"

#include "qvtext.h"

#include <algorithm>

namespace kelvo::cli {

bool ParseNumber(const std::string &text, int low, int high, int *value) {
    if (text.empty() || text.size() > 9)
        return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high)
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool IsDottedIPv4(const std::string &text) {
    std::uint8_t parts[4];
    return qv::parse_dotted_ipv4(text, parts);
}

bool ParseSwitch(const std::string &text, bool *value) {
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (t == "on" || t == "yes" || t == "1" || t == "true") {
        *value = true;
        return true;
    }
    if (t == "off" || t == "no" || t == "0" || t == "false") {
        *value = false;
        return true;
    }
    return false;
}

std::string CutUtf8(const std::string &text, std::size_t maxBytes) {
    return text.substr(0, qv::utf8_cut_length(text, maxBytes));
}

} // namespace kelvo::cli
