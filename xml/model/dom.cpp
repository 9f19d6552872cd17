// A small non-validating XML parser that builds an element tree. Used for the
// meter dialect, where elements are looked up by name rather than by path.
#include "model/dom_document.h"
#include "model/text_scan.h"
#include "qvtext.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qvxml {

namespace {

enum class decode_mode { text, attribute, cdata, parameter };

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_name_start(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool is_name_char(char c) {
    return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

using qv::append_utf8;

struct group_key {
    const void *parent;
    std::string_view name;
    bool operator==(const group_key &o) const { return parent == o.parent && name == o.name; }
};
struct group_key_hash {
    size_t operator()(const group_key &k) const {
        return std::hash<std::string_view>()(k.name) ^ (std::hash<const void *>()(k.parent) * 31);
    }
};

class dom_builder {
public:
    explicit dom_builder(qvxml_dom_document &d)
        : doc(d), src(d.source), src_size(d.source.size()) {}

    dom_element *run() {
        parse();
        if (!root_element) {
            doc.elements.emplace_back();
            root_element = &doc.elements.back();
            root_element->node.name = root_element->name.c_str();
        }
        for (dom_element &e : doc.elements) {
            e.node.text = e.text.c_str();
            e.node.attributes = e.attribute_view.data();
            e.node.attribute_count = e.attribute_view.size();
        }
        root_element->node.document = &doc;
        return root_element;
    }

private:
    static constexpr size_t npos = std::string::npos;

    bool starts(size_t p, std::string_view what) const {
        return src.compare(p, what.size(), what) == 0;
    }

    // Where a name from `q` ends: at a blank, at one of `stops` or at `limit`.
    size_t name_end(size_t q, std::string_view stops, size_t limit) const {
        while (q < limit && !is_space(src[q]) && stops.find(src[q]) == std::string_view::npos) {
            ++q;
        }
        return q;
    }

    // The name from `q` to name_end, with `q` moved past it.
    std::string read_name(size_t &q, std::string_view stops, size_t limit) const {
        const size_t start = q;
        q = name_end(q, stops, limit);
        return std::string(src, start, q - start);
    }

    size_t skip_space(size_t p) const {
        while (p < src_size && is_space(src[p])) {
            ++p;
        }
        return p;
    }

    // First `c` at or after p that is not inside a quoted value.
    size_t find_unquoted(size_t p, char c) const {
        const size_t q = qvxml::find_unquoted(src, p, std::string_view(&c, 1));
        return q < src_size ? q : npos;
    }

    // Quoted literals: attribute values, entity values and attribute defaults.
    bool at_quote(size_t p, size_t end) const {
        return p < end && (src[p] == '"' || src[p] == '\'');
    }

    // The closing quote of the literal that opens at `p`, npos when none.
    size_t closing_quote(size_t p) const { return src.find(src[p], p + 1); }

    std::string_view literal(size_t p, size_t close) const {
        return std::string_view(src).substr(p + 1, close - p - 1);
    }

    __attribute__((format(printf, 3, 4))) size_t fail(size_t position, const char *format, ...) {
        if (failed) {
            return npos;
        }
        failed = true;
        char message[128];
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        size_t end = position < src_size ? position : src_size;
        int line = 1;
        for (size_t i = 0; i < end; ++i) {
            line += src[i] == '\n';
        }
        std::string full = "[error near line " + std::to_string(line) + "]: " + message;
        size_t keep = full.size() < sizeof doc.error ? full.size() : sizeof doc.error - 1;
        std::memcpy(doc.error, full.data(), keep);
        doc.error[keep] = '\0';
        return npos;
    }

    // Appends `in` decoded by `mode` to `out`. `declaring` names the entity
    // whose value is being decoded, so that a reference back to it is caught.
    bool decode(std::string_view in, decode_mode mode, std::string &out, size_t position, int depth,
                std::string_view declaring = {}, bool declaring_parameter = false) {
        for (size_t i = 0; i < in.size(); ++i) {
            char c = in[i];
            if (c != '\r' && c != '&' && c != '%') {
                size_t run = i + 1;
                while (run < in.size() && in[run] != '\r' && in[run] != '&' && in[run] != '%') {
                    ++run;
                }
                out.append(in.data() + i, run - i);
                i = run - 1;
                continue;
            }
            if (c == '\r') {
                out += '\n';
                if (i + 1 < in.size() && in[i + 1] == '\n') {
                    ++i;
                }
                continue;
            }
            if (mode == decode_mode::cdata) {
                out += c;
                continue;
            }
            if (c == '&' && i + 1 < in.size() && in[i + 1] == '#') {
                size_t j = i + 2;
                bool hex = j < in.size() && in[j] == 'x';
                j += hex;
                unsigned long cp = 0;
                size_t digits = 0;
                for (; j < in.size(); ++j, ++digits) {
                    char d = in[j];
                    int v = d >= '0' && d <= '9'          ? d - '0'
                            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                          : -1;
                    if (v < 0) {
                        break;
                    }
                    cp = cp > 0x10FFFF ? cp : cp * (hex ? 16 : 10) + v;
                }
                if (digits && j < in.size() && in[j] == ';' && cp != 0 && cp <= 0x10FFFF) {
                    append_utf8(out, cp);
                    i = j;
                } else {
                    out += c;
                }
                continue;
            }
            bool parameter = c == '%' && mode == decode_mode::parameter;
            if (c == '&' || parameter) {
                size_t j = i + 1;
                while (j < in.size() && is_name_char(in[j])) {
                    ++j;
                }
                if (j > i + 1 && j < in.size() && in[j] == ';') {
                    std::string_view name = in.substr(i + 1, j - i - 1);
                    if (!declaring.empty() && parameter == declaring_parameter &&
                        name == declaring) {
                        fail(position, "circular entity declaration &%.*s",
                             static_cast<int>(name.size()), name.data());
                        return false;
                    }
                    auto &table = parameter ? doc.parameter_entities : doc.entities;
                    auto it = table.find(name);
                    if (it != table.end()) {
                        if (depth >= dom_entity_depth_max) {
                            fail(position, "entity expansion limit exceeded &%.*s",
                                 static_cast<int>(name.size()), name.data());
                            return false;
                        }
                        std::string expansion;
                        if (!decode(it->second, mode, expansion, position, depth + 1, declaring,
                                    declaring_parameter)) {
                            return false;
                        }
                        doc.expanded += expansion.size();
                        if (doc.expanded > dom_entity_expansion_max) {
                            fail(position, "entity expansion limit exceeded &%.*s",
                                 static_cast<int>(name.size()), name.data());
                            return false;
                        }
                        out += expansion;
                        i = j;
                        continue;
                    }
                }
            }
            out += c;
        }
        return true;
    }

    const attribute_declaration *declaration(std::string_view element,
                                             std::string_view attribute) const {
        for (const attribute_declaration &a : doc.attribute_declarations) {
            if (a.element == element && a.attribute == attribute) {
                return &a;
            }
        }
        return nullptr;
    }

    static void attribute_spaces(std::string &value, bool cdata) {
        for (char &c : value) {
            if (is_space(c)) {
                c = ' ';
            }
        }
        if (cdata) {
            return;
        }
        std::string out;
        for (char c : value) {
            if (c == ' ' && (out.empty() || out.back() == ' ')) {
                continue;
            }
            out += c;
        }
        if (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
        value = std::move(out);
    }

    void add_child(dom_element &parent, dom_element &child) {
        child.parent = &parent;
        child.node.parent = &parent.node;
        if (parent.last_child) {
            parent.last_child->ordered = &child.node;
        }
        parent.last_child = &child.node;
        if (!parent.node.child) {
            parent.node.child = &child.node;
            parent.last_head = &child.node;
            group_tail[{&parent, child.name}] = &child.node;
            return;
        }
        auto [it, fresh] = group_tail.try_emplace(group_key{&parent, child.name}, &child.node);
        if (fresh) {
            parent.last_head->sibling = &child.node;
            parent.last_head = &child.node;
        } else {
            it->second->next = &child.node;
            it->second = &child.node;
        }
    }

    size_t start_tag(size_t p) {
        if (root_closed) {
            return fail(p, "markup outside of root element");
        }
        size_t q = p + 1;
        // A NUL ends the name too: the node's C name would otherwise differ from
        // the name its group of same-named siblings is kept under.
        q = name_end(q, std::string_view("/>\0", 3), src_size);
        doc.elements.emplace_back();
        dom_element &e = doc.elements.back();
        e.name.assign(src, p + 1, q - p - 1);
        e.node.name = e.name.c_str();
        if (!root_element) {
            root_element = &e;
        } else {
            add_child(*current, e);
        }
        bool empty = false;
        for (;;) {
            q = skip_space(q);
            if (q >= src_size) {
                return fail(q, "missing >");
            }
            if (src[q] == '>') {
                ++q;
                break;
            }
            if (src[q] == '/') {
                if (q + 1 < src_size && src[q + 1] == '>') {
                    q += 2;
                    empty = true;
                    break;
                }
                return fail(q, "missing >");
            }
            std::string name = read_name(q, "=/>", src_size);
            q = skip_space(q);
            if (q >= src_size || src[q] != '=') {
                return fail(q, "missing >");
            }
            q = skip_space(q + 1);
            if (!at_quote(q, src_size)) {
                return fail(q, "missing %c", '"');
            }
            size_t end = closing_quote(q);
            if (end == npos) {
                return fail(q, "missing %c", src[q]);
            }
            std::string value;
            if (!decode(literal(q, end), decode_mode::attribute, value, q, 0)) {
                return npos;
            }
            const attribute_declaration *decl = declaration(e.name, name);
            attribute_spaces(value, !decl || decl->cdata);
            e.attributes.emplace_back(std::move(name), std::move(value));
            q = end + 1;
        }
        for (auto &[name, value] : e.attributes) {
            e.attribute_view.push_back({name.c_str(), value.c_str()});
        }
        if (empty) {
            root_closed = root_closed || &e == root_element;
        } else {
            current = &e;
        }
        return q;
    }

    size_t end_tag(size_t p) {
        size_t q = p + 2;
        q = name_end(q, ">", src_size);
        std::string_view name = std::string_view(src).substr(p + 2, q - p - 2);
        if (!current || name != current->name) {
            return fail(p, "unexpected closing tag </%.*s>", static_cast<int>(name.size()),
                        name.data());
        }
        q = skip_space(q);
        if (q >= src_size || src[q] != '>') {
            return fail(q, "missing >");
        }
        if (current == root_element) {
            root_closed = true;
        }
        current = current->parent;
        return q + 1;
    }

    size_t comment(size_t p) {
        size_t q = src.find("--", p + 4);
        if (q == npos || q + 2 >= src_size || src[q + 2] != '>') {
            return fail(p, "unclosed <!--");
        }
        return q + 3;
    }

    size_t cdata(size_t p) {
        size_t q = src.find("]]>", p + 9);
        if (q == npos) {
            return fail(p, "unclosed <![CDATA[");
        }
        if (current && !decode(std::string_view(src).substr(p + 9, q - p - 9), decode_mode::cdata,
                               current->text, p, 0)) {
            return npos;
        }
        return q + 3;
    }

    size_t instruction(size_t p, bool keep) {
        size_t q = src.find("?>", p + 2);
        if (q == npos) {
            return fail(p, "unclosed <?");
        }
        if (keep) {
            size_t t = p + 2;
            while (t < q && !is_space(src[t])) {
                ++t;
            }
            size_t c = skip_space(t);
            doc.instructions.emplace_back(src.substr(p + 2, t - p - 2),
                                          src.substr(c < q ? c : q, q - (c < q ? c : q)));
        }
        return q + 2;
    }

    size_t entity_declaration(size_t p, size_t doctype) {
        size_t q = skip_space(p + 8);
        bool parameter = false;
        if (q + 1 < src_size && src[q] == '%' && is_space(src[q + 1])) {
            parameter = true;
            q = skip_space(q + 1);
        }
        std::string name = read_name(q, ">\"'", src_size);
        q = skip_space(q);
        if (at_quote(q, src_size)) {
            size_t end = closing_quote(q);
            if (end == npos) {
                return fail(q, "missing %c", src[q]);
            }
            std::string value;
            if (!decode(literal(q, end), decode_mode::parameter, value, p, 0, name, parameter)) {
                return npos;
            }
            if (!name.empty()) {
                (parameter ? doc.parameter_entities : doc.entities)
                    .try_emplace(name, std::move(value));
            }
            q = end + 1;
        }
        // External entities (SYSTEM, PUBLIC) are not loaded.
        size_t close = find_unquoted(q, '>');
        if (close == npos) {
            return fail(doctype, "unclosed <!DOCTYPE");
        }
        return close + 1;
    }

    size_t attlist_declaration(size_t p) {
        size_t end = find_unquoted(p + 9, '>');
        if (end == npos) {
            return fail(p, "unclosed <!ATTLIST");
        }
        auto token = [&](size_t &q) { return read_name(q, "(\"'", end); };
        size_t q = skip_space(p + 9);
        std::string element = token(q);
        if (element.empty()) {
            return fail(p, "malformed <!ATTLIST");
        }
        for (;;) {
            q = skip_space(q);
            if (q >= end) {
                break;
            }
            attribute_declaration decl;
            decl.element = element;
            decl.attribute = token(q);
            q = skip_space(q);
            std::string type = src[q] == '(' ? std::string() : token(q);
            if (type == "NOTATION") {
                q = skip_space(q);
            }
            if (src[q] == '(') {
                size_t close = src.find(')', q);
                if (close == npos || close > end) {
                    return fail(p, "malformed <!ATTLIST");
                }
                q = close + 1;
            } else if (type.empty() || decl.attribute.empty()) {
                return fail(p, "malformed <!ATTLIST");
            }
            decl.cdata = type == "CDATA";
            q = skip_space(q);
            if (q < end && src[q] == '#') {
                std::string keyword = token(q);
                q = skip_space(q);
                if (keyword != "#FIXED") {
                    doc.attribute_declarations.push_back(std::move(decl));
                    continue;
                }
            }
            if (!at_quote(q, end)) {
                return fail(p, "malformed <!ATTLIST");
            }
            size_t close = closing_quote(q);
            if (close == npos || close > end) {
                return fail(p, "malformed <!ATTLIST");
            }
            if (!decode(literal(q, close), decode_mode::attribute, decl.value, p, 0)) {
                return npos;
            }
            attribute_spaces(decl.value, decl.cdata);
            decl.has_default = true;
            doc.attribute_declarations.push_back(std::move(decl));
            q = close + 1;
        }
        return end + 1;
    }

    size_t internal_subset(size_t q, size_t doctype) {
        for (;;) {
            q = skip_space(q);
            if (q >= src_size) {
                return fail(doctype, "unclosed <!DOCTYPE");
            }
            if (src[q] == ']') {
                return q;
            }
            if (starts(q, "<!ENTITY")) {
                q = entity_declaration(q, doctype);
            } else if (starts(q, "<!ATTLIST")) {
                q = attlist_declaration(q);
            } else if (starts(q, "<!--")) {
                q = comment(q);
            } else if (starts(q, "<?")) {
                q = instruction(q, false);
            } else if (starts(q, "<!")) {
                size_t close = find_unquoted(q, '>');
                q = close == npos ? fail(doctype, "unclosed <!DOCTYPE") : close + 1;
            } else {
                ++q; // parameter-entity references and stray characters
            }
            if (q == npos) {
                return npos;
            }
        }
    }

    size_t doctype(size_t p) {
        size_t q = qvxml::find_unquoted(src, p + 9, "[>");
        if (q >= src_size) {
            return fail(p, "unclosed <!DOCTYPE");
        }
        if (src[q] == '[') {
            q = internal_subset(q + 1, p);
            if (q == npos) {
                return npos;
            }
            q = src.find('>', q);
            if (q == npos) {
                return fail(p, "unclosed <!DOCTYPE");
            }
        }
        return q + 1;
    }

    void parse() {
        size_t p = src.find('<');
        if (p == npos) {
            fail(src_size, "root tag missing");
            return;
        }
        while (p < src_size) {
            if (src[p] != '<') {
                size_t q = src.find('<', p);
                q = q == npos ? src_size : q;
                if (current && !decode(std::string_view(src).substr(p, q - p), decode_mode::text,
                                       current->text, p, 0)) {
                    return;
                }
                p = q;
                continue;
            }
            char c = p + 1 < src_size ? src[p + 1] : '\0';
            if (is_name_start(c)) {
                p = start_tag(p);
            } else if (c == '/') {
                p = end_tag(p);
            } else if (starts(p, "<!--")) {
                p = comment(p);
            } else if (starts(p, "<![CDATA[")) {
                p = cdata(p);
            } else if (starts(p, "<!DOCTYPE")) {
                p = doctype(p);
            } else if (c == '?') {
                p = instruction(p, true);
            } else {
                p = fail(p, "unexpected <");
            }
        }
        if (failed) {
            return;
        }
        if (current) {
            fail(src_size, "unclosed tag <%s>", current->name.c_str());
        } else if (!root_element) {
            fail(src_size, "root tag missing");
        }
    }

    qvxml_dom_document &doc;
    const std::string &src;
    size_t src_size;
    dom_element *root_element = nullptr;
    dom_element *current = nullptr;
    bool root_closed = false;
    bool failed = false;
    std::unordered_map<group_key, qvxml_dom_node *, group_key_hash> group_tail;
};

} // namespace

qvxml_dom_node *dom_parse(const char *text, size_t length) {
    qvxml_dom_document *d = nullptr;
    try {
        d = new qvxml_dom_document;
        const auto *bytes = reinterpret_cast<const unsigned char *>(text);
        if (length > 0 && (bytes[0] == 0xFE || bytes[0] == 0xFF)) {
            // Past the byte-order mark (or all of a one-byte text).
            const std::string_view units(text, length);
            d->source =
                qv::utf16_to_utf8(units.substr(std::min<size_t>(2, length)), bytes[0] == 0xFE);
        } else if (length > 0) {
            d->source.assign(text, length);
        }
        d->entities = {{"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"amp", "&"}};
        dom_builder builder(*d);
        return &builder.run()->node;
    } catch (const std::bad_alloc &) {
        delete d;
        return nullptr;
    }
}

} // namespace qvxml
