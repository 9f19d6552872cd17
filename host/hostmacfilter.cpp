#include "hostmacfilter.h"
#include "qvtext.h"

#include "hostplatform.h"
#include "hostregex.h"

#include <cstdlib>
#include <stdexcept>

namespace kelvo::host {

std::vector<MacRange> MacFilter;

namespace {

// Matched against the whole line, the single address first. The range's last
// octet group is repeatable, as it always has been; a missing last octet thus
// still matches and yields a high end below its low end, i.e. an empty range.
const char *const kSinglePattern =
    "^[\\t ]*([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):"
    "([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f])[\\t ]*$";
const char *const kRangePattern =
    "^[\\t ]*([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):"
    "([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f])[\\t ]*-[\\t ]*"
    "([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):"
    "([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f]):([0-9A-Fa-f][0-9A-Fa-f])*[\\t ]*$";

// The captures first..last joined and read as one hexadecimal number. At most
// twelve digits, so it always fits; an empty join reads as 0.
std::uint64_t hexOfCaptures(const rx::smatch &m, int first, int last) {
    std::string digits;
    for (int i = first; i <= last; ++i)
        digits += m.str(i);
    return digits.empty() ? 0 : std::strtoull(digits.c_str(), nullptr, 16);
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

int LoadMacFilter(const std::vector<std::string> &lines) {
    static const rx::regex single(kSinglePattern);
    static const rx::regex range(kRangePattern);
    int added = 0;
    for (const std::string &line : lines) {
        if (line.empty() || line[0] == '#')
            continue;
        rx::smatch m;
        try {
            if (rx::regex_match(line, m, single)) {
                const std::uint64_t value = hexOfCaptures(m, 1, 6);
                MacFilter.push_back({value, value});
                ++added;
            } else if (rx::regex_match(line, m, range)) {
                MacFilter.push_back({hexOfCaptures(m, 1, 6), hexOfCaptures(m, 7, 12)});
                ++added;
            }
        } catch (const std::runtime_error &) {
            // A pathological line that exhausts the matcher is just not a valid entry.
        }
    }
    return added;
}

bool IsMacFiltered(const std::string &macText) {
    std::string digits;
    for (char c : macText) {
        if (c == ':')
            continue;
        if (!isHex(c))
            return false;
        digits += c;
    }
    if (digits.empty() || digits.size() > 16)
        return false;
    const std::uint64_t value = std::strtoull(digits.c_str(), nullptr, 16);
    for (const MacRange &r : MacFilter) {
        if (r.low <= value && value <= r.high)
            return true;
    }
    return false;
}

bool ReadTextFileLines(const std::string &path, std::vector<std::string> &lines,
                       std::string *error) {
    std::string bytes;
    if (platform::ReadRegularFile(path, kMacFilterFileMax, bytes, error) !=
        platform::ReadResult::Ok)
        return false;

    std::string text;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = bytes.substr(3);
    else if (bytes.compare(0, 2, "\xFF\xFE") == 0)
        text = qv::utf16_to_utf8(std::string_view(bytes).substr(2), false);
    else if (bytes.compare(0, 2, "\xFE\xFF") == 0)
        text = qv::utf16_to_utf8(std::string_view(bytes).substr(2), true);
    else
        text = std::move(bytes);

    // Line ends as a text editor writes them: "\r\n", "\n" or a lone "\r".
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending)
        lines.push_back(std::move(current));
    return true;
}

std::string MacFilterFileName() {
    std::string path = platform::ProgramPath();
    if (path.empty())
        return path;
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
#endif
    return path + ".filter";
}

std::string UserMacFilterFileName() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/Marvane/Kelvo.filter";
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/Marvane/Kelvo.filter";
    return {};
}

int LoadDefaultMacFilters(std::string *error) {
    return LoadMacFilterFile(UserMacFilterFileName(), error) +
           LoadMacFilterFile(MacFilterFileName(), error);
}

int LoadMacFilterFile(const std::string &path, std::string *error) {
    std::vector<std::string> lines;
    if (path.empty() || !ReadTextFileLines(path, lines, error))
        return 0;
    return LoadMacFilter(lines);
}

} // namespace kelvo::host
