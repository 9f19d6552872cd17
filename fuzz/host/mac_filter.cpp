// MAC filter lines come from a file the user edits by hand: any bytes at all.
#include "hostmacfilter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    kelvo::host::MacFilter.clear();
    kelvo::host::LoadMacFilter(lines);
    for (const auto &line : lines)
        kelvo::host::IsMacFiltered(line);
    kelvo::host::IsMacFiltered("00:00:00:00:00:00");
    kelvo::host::IsMacFiltered("FF:FF:FF:FF:FF:FF");
    return 0;
}
