#include "setupdiff.h"

#include "model/xml_model.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

namespace kelvo::history {

namespace {

// What a device reports about itself right now rather than what it was set
// to: left out, or every download would differ from the one before.
const std::set<std::string, std::less<>> kReadings = {
    "Status/NtpState",
    "Time/Date",
    "Time/Time",
    "SenSet/Entry/Value",
    "SenSet/Entry/State",
    "BinaryInSet/Entry/Value",
    "BinaryInSet/Entry/State",
    "BinaryInSet/Entry/AlarmState",
};

// Element names whose text is a password or an SNMP community (which is one).
bool IsSecretName(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "pswd" || lower == "password" || lower == "passwd" || lower == "community";
}

std::string_view Trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Ten digits, so that the map orders numbers as numbers.
std::string Padded(unsigned long n) {
    char b[24];
    std::snprintf(b, sizeof b, "%010lu", n);
    return b;
}

bool IsNumber(std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Step {
    std::string key, shown;
};

class Reader {
public:
    explicit Reader(Settings &settings_) : settings(settings_) {}

    bool read(const qvxml::qvxml_dom_node *node, const std::string &key, const std::string &shown,
              const std::string &generic, int depth, std::string *error) {
        if (depth > kDepthMax) {
            *error = "elements nested deeper than " + std::to_string(kDepthMax);
            return false;
        }
        if (!node->child) {
            if (depth > 0 && !kReadings.contains(generic))
                settings[key] = {shown, std::string(Trimmed(qvxml::dom_text(node))),
                                 IsSecretName(node->name)};
            return true;
        }
        for (const auto &[child, step] : Steps(node)) {
            const std::string name = child->name;
            const bool top = depth == 0;
            if (!read(child, top ? step.key : key + "/" + step.key,
                      top ? step.shown : shown + "/" + step.shown,
                      top ? name : generic + "/" + name, depth + 1, error))
                return false;
        }
        return true;
    }

private:
    // The children of `node` with the step each adds to the path: an Entry
    // by its Idx (by its place among the entries when its Idx is missing or
    // taken), a repeated element by its place among its namesakes.
    static std::vector<std::pair<const qvxml::qvxml_dom_node *, Step>>
    Steps(const qvxml::qvxml_dom_node *node) {
        std::vector<std::pair<const qvxml::qvxml_dom_node *, Step>> steps;
        std::map<std::string, unsigned long> seen;
        std::set<std::string> idxTaken;
        unsigned long entries = 0;
        for (const auto *c = node->child; c; c = c->ordered) {
            const std::string name = c->name;
            Step step;
            if (name == "Entry") {
                ++entries;
                const auto *idxNode = qvxml::dom_child(c, "Idx");
                const std::string idx =
                    idxNode ? std::string(Trimmed(qvxml::dom_text(idxNode))) : std::string();
                if (!idx.empty() && idxTaken.insert(idx).second) {
                    step.key =
                        "Entry[" + (IsNumber(idx) ? Padded(std::stoul(idx)) : "~" + idx) + "]";
                    step.shown = "Entry[" + idx + "]";
                } else {
                    step.key = "Entry[#" + Padded(entries) + "]";
                    step.shown = "Entry[#" + std::to_string(entries) + "]";
                }
            } else {
                const unsigned long n = ++seen[name];
                step.key = n == 1 ? name : name + "[" + Padded(n) + "]";
                step.shown = n == 1 ? name : name + "[" + std::to_string(n) + "]";
            }
            steps.emplace_back(c, std::move(step));
        }
        return steps;
    }

    Settings &settings;
};

struct DomDeleter {
    void operator()(qvxml::qvxml_dom_node *root) const { qvxml::dom_free(root); }
};

// An empty element on one side where the other has elements inside it (an
// empty list against a filled one) is told by those elements alone.
bool IsEmptyGroupOf(const Settings::value_type &leaf, const Settings &other) {
    if (!leaf.second.value.empty())
        return false;
    const std::string prefix = leaf.first + "/";
    const auto it = other.lower_bound(prefix);
    return it != other.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

// `s` in double quotes with quote and backslash escaped, and control bytes as
// JSON (\u001b) or as text (\n, \x1B) writes them.
std::string Quoted(const std::string &s, bool json) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        char b[8] = "";
        if (c == '"' || c == '\\')
            std::snprintf(b, sizeof b, "\\%c", c);
        else if (json && u < 0x20)
            std::snprintf(b, sizeof b, "\\u%04x", u);
        else if (!json && c == '\n')
            std::snprintf(b, sizeof b, "\\n");
        else if (!json && (u < 0x20 || u == 0x7F))
            std::snprintf(b, sizeof b, "\\x%02X", u);
        if (*b)
            out += b;
        else
            out += c;
    }
    return out + "\"";
}

// Numbers, addresses, dates and times stand as they are; any other text is
// quoted so that blanks and empty texts show.
std::string Shown(const std::optional<std::string> &value, bool secret, bool showSecrets) {
    if (!value)
        return "(none)";
    if (secret && !showSecrets)
        return "***";
    const std::string &v = *value;
    if (!v.empty() && std::all_of(v.begin(), v.end(), [](char c) {
            return (c >= '0' && c <= '9') || c == '.' || c == ':' || c == '-' || c == '+';
        }))
        return v;
    return Quoted(v, false);
}

std::string JsonValue(const std::optional<std::string> &value, bool secret, bool showSecrets) {
    if (!value)
        return "null";
    return Quoted(secret && !showSecrets ? std::string("***") : *value, true);
}

} // namespace

bool ReadSettings(std::string_view document, Settings &settings, std::string *error) {
    settings.clear();
    if (document.size() > kDocumentMax) {
        *error =
            "larger than any device configuration (" + std::to_string(kDocumentMax >> 20) + " MiB)";
        return false;
    }
    std::unique_ptr<qvxml::qvxml_dom_node, DomDeleter> root(
        qvxml::dom_parse(document.data(), document.size()));
    if (!root) {
        *error = "not enough memory to read the document";
        return false;
    }
    if (const std::string problem = qvxml::dom_error(root.get()); !problem.empty()) {
        *error = "not a well-formed XML document: " + problem;
        return false;
    }
    if (!*root->name) {
        *error = "not an XML document";
        return false;
    }
    return Reader(settings).read(root.get(), "", "", "", 0, error);
}

std::vector<Difference> Compare(const Settings &a, const Settings &b) {
    std::vector<Difference> out;
    auto ia = a.begin();
    auto ib = b.begin();
    while (ia != a.end() || ib != b.end()) {
        if (ib == b.end() || (ia != a.end() && ia->first < ib->first)) {
            if (!IsEmptyGroupOf(*ia, b))
                out.push_back({ia->second.path, ia->second.value, std::nullopt, ia->second.secret});
            ++ia;
        } else if (ia == a.end() || ib->first < ia->first) {
            if (!IsEmptyGroupOf(*ib, a))
                out.push_back({ib->second.path, std::nullopt, ib->second.value, ib->second.secret});
            ++ib;
        } else {
            if (ia->second.value != ib->second.value)
                out.push_back({ia->second.path, ia->second.value, ib->second.value,
                               ia->second.secret || ib->second.secret});
            ++ia;
            ++ib;
        }
    }
    return out;
}

std::string DiffText(const std::vector<Difference> &differences, bool showSecrets) {
    std::string out;
    for (const auto &d : differences)
        out += d.path + ": " + Shown(d.a, d.secret, showSecrets) + " -> " +
               Shown(d.b, d.secret, showSecrets) + "\n";
    return out;
}

std::string DiffJson(const std::vector<Difference> &differences, bool showSecrets) {
    std::string out = std::string("{\"equal\":") + (differences.empty() ? "true" : "false") +
                      ",\"differences\":[";
    for (size_t i = 0; i < differences.size(); ++i) {
        const auto &d = differences[i];
        out += std::string(i ? "," : "") + "{\"setting\":" + Quoted(d.path, true) +
               ",\"a\":" + JsonValue(d.a, d.secret, showSecrets) +
               ",\"b\":" + JsonValue(d.b, d.secret, showSecrets) +
               ",\"secret\":" + (d.secret ? "true" : "false") + "}";
    }
    return out + "]}\n";
}

std::string SettingValue(const Settings &settings, const std::string &path) {
    const auto it = settings.find(path);
    return it == settings.end() ? std::string() : it->second.value;
}

} // namespace kelvo::history
