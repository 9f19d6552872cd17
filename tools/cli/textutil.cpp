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

std::size_t DisplayWidth(const std::string &text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
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

std::string FormatTable(const std::vector<std::string> &header,
                        const std::vector<std::vector<std::string>> &rows) {
    std::vector<std::size_t> widths(header.size(), 0);
    auto measure = [&](const std::vector<std::string> &row) {
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    };
    measure(header);
    for (const auto &row : rows)
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
    for (const auto &row : rows)
        emit(row);
    return out;
}

std::string FormatCsv(const std::vector<std::string> &header,
                      const std::vector<std::vector<std::string>> &rows) {
    std::string out;
    auto emit = [&](const std::vector<std::string> &row) {
        for (size_t i = 0; i < row.size(); ++i)
            out += (i ? "," : "") + CsvField(row[i]);
        out += "\n";
    };
    emit(header);
    for (const auto &row : rows)
        emit(row);
    return out;
}

} // namespace kelvo::cli
