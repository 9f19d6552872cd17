#include "textutil.h"

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
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string part =
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        int v = 0;
        if (part.size() > 3 || !ParseNumber(part, 0, 255, &v))
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
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
    if (text.size() <= maxBytes)
        return text;
    size_t n = maxBytes;
    // Step back over continuation bytes to the start of the cut sequence.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

} // namespace kelvo::cli
