#include "tabletext.h"

#include <algorithm>
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

} // namespace

std::string Visible(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = c >= 0x80 ? Utf8Sequence(text, i) : 0; n == 0) {
            AppendHex(out, "\\x", c);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            AppendHex(out, "\\u00", static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string CsvSafe(const std::string &text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text[0]) == std::string_view::npos)
        return text;
    // A signed decimal number cannot carry a formula.
    const std::string_view rest = std::string_view(text).substr(1);
    if ((text[0] == '-' || text[0] == '+') && !rest.empty() && rest[0] >= '0' && rest[0] <= '9' &&
        rest.find_first_not_of("0123456789.") == std::string_view::npos &&
        std::count(rest.begin(), rest.end(), '.') <= 1)
        return text;
    return "'" + text;
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
            out += (i ? "," : "") + CsvField(CsvSafe(row[i]));
        out += "\n";
    };
    emit(header);
    for (const auto &row : rows)
        emit(row);
    return out;
}

} // namespace kelvo::host
