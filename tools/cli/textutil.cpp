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
