#include "tabletext.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace kelvo::host {

std::size_t DisplayWidth(const std::string &text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (2 to 4), or 0.
std::size_t Utf8Sequence(const std::string &text, std::size_t i) {
    const auto at = [&](std::size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
    };
    const unsigned c = at(i);
    std::size_t n = 0;
    unsigned low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return n;
}

void AppendHex(std::string &out, const char *prefix, unsigned v) {
    static const char digits[] = "0123456789abcdef";
    out += prefix;
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

// Code points that draw nothing or reorder what follows: bidi overrides,
// embeddings, isolates and marks, zero-width characters, line and paragraph
// separators, the byte order mark and invisible tags. Shown raw they let a
// device name hide or reverse text around it.
bool Invisible(std::uint32_t cp) {
    return cp == 0xAD || cp == 0x61C || cp == 0x180E || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
           (cp >= 0xFFF9 && cp <= 0xFFFB) || (cp >= 0xE0000 && cp <= 0xE007F);
}

std::uint32_t CodePoint(const std::string &text, std::size_t i, std::size_t n) {
    static const unsigned lead[] = {0, 0, 0x1F, 0x0F, 0x07};
    std::uint32_t cp = static_cast<unsigned char>(text[i]) & lead[n];
    for (std::size_t k = 1; k < n; ++k)
        cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return cp;
}

} // namespace

std::string Visible(const std::string &text, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= 0x20 && c < 0x7F) ||
            (c < 0x20 && keep.find(static_cast<char>(c)) != std::string_view::npos)) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = c >= 0x80 ? Utf8Sequence(text, i) : 0; n == 0) {
            AppendHex(out, "\\x", c);
            ++i;
        } else if (const std::uint32_t cp = CodePoint(text, i, n); cp < 0xA0 || Invisible(cp)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, cp > 0xFFFF ? "\\U%08x" : "\\u%04x", cp);
            out += hex;
            i += n;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

namespace {

// A cell starting with one of these reaches a spreadsheet as a formula, or,
// for the quote itself, loses it on import.
constexpr std::string_view kProtected = "=+-@\t\r'";

} // namespace

std::string CsvSafe(const std::string &text) {
    if (text.empty() || kProtected.find(text[0]) == std::string_view::npos)
        return text;
    // A signed decimal number cannot carry a formula.
    const std::string_view rest = std::string_view(text).substr(1);
    if ((text[0] == '-' || text[0] == '+') && !rest.empty() && rest[0] >= '0' && rest[0] <= '9' &&
        rest.find_first_not_of("0123456789.") == std::string_view::npos &&
        std::count(rest.begin(), rest.end(), '.') <= 1)
        return text;
    return "'" + text;
}

std::string CsvText(const std::string &text) {
    return Visible(text, "\t\r\n");
}

std::string CsvUnprotected(const std::string &cell) {
    if (cell.size() >= 2 && cell[0] == '\'' && kProtected.find(cell[1]) != std::string_view::npos)
        return cell.substr(1);
    return cell;
}

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string s = "\"";
    for (char c : text) {
        if (c == '"')
            s += '"';
        s += c;
    }
    return s + "\"";
}

bool SplitCsv(const std::string &text, std::vector<std::vector<std::string>> &records,
              std::vector<int> &lines, std::string *error) {
    records.clear();
    lines.clear();
    size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    std::vector<std::string> record;
    std::string field;
    int recordLine = 1;
    bool quoted = false, wasQuoted = false;
    auto endRecord = [&] {
        record.push_back(field);
        if (record.size() > 1 || !record[0].empty() || wasQuoted) {
            records.push_back(record);
            lines.push_back(recordLine);
        }
        record.clear();
        field.clear();
        wasQuoted = false;
    };
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                line += c == '\n';
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r';
            endRecord();
            recordLine = ++line;
        } else if (wasQuoted) {
            *error = "line " + std::to_string(line) + ": text after a closing quote";
            return false;
        } else {
            field += c;
        }
    }
    if (quoted) {
        *error = "line " + std::to_string(recordLine) + ": quote not closed";
        return false;
    }
    if (!field.empty() || !record.empty() || wasQuoted)
        endRecord();
    return true;
}

std::string FormatTable(const std::vector<std::string> &header,
                        const std::vector<std::vector<std::string>> &rows) {
    std::vector<std::size_t> widths(header.size(), 0);
    std::vector<std::vector<std::string>> shown;
    for (const auto &row : rows) {
        shown.emplace_back();
        for (const auto &cell : row)
            shown.back().push_back(Visible(cell));
    }
    auto measure = [&](const std::vector<std::string> &row) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    };
    measure(header);
    for (const auto &row : shown)
        measure(row);
    std::string out;
    auto emit = [&](const std::vector<std::string> &row) {
        std::string line;
        for (size_t i = 0; i < widths.size(); ++i) {
            const std::string cell = i < row.size() ? row[i] : std::string();
            line += cell;
            if (i + 1 < widths.size())
                line += std::string(widths[i] - DisplayWidth(cell) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    };
    emit(header);
    for (const auto &row : shown)
        emit(row);
    return out;
}

std::string FormatCsv(const std::vector<std::string> &header,
                      const std::vector<std::vector<std::string>> &rows) {
    std::string out;
    auto emit = [&](const std::vector<std::string> &row) {
        for (size_t i = 0; i < row.size(); ++i)
            out += (i ? "," : "") + CsvField(CsvSafe(CsvText(row[i])));
        out += "\n";
    };
    emit(header);
    for (const auto &row : rows)
        emit(row);
    return out;
}

} // namespace kelvo::host
