// A small non-validating XML parser that builds an element tree. Used for the
// meter dialect, where elements are looked up by name rather than by path.
#include "model/xml_model.h"
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

struct dom_element {
    qvxml_dom_node node{};
    std::string name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<qvxml_dom_node::attribute> attribute_view;
    dom_element *parent = nullptr;
    qvxml_dom_node *last_child = nullptr; // document order
    qvxml_dom_node *last_head = nullptr;  // last head of a same-name group
};

struct attribute_declaration {
    std::string element;
    std::string attribute;
    std::string value;
    bool has_default = false;
    bool cdata = true;
};

} // namespace

struct qvxml_dom_document {
    std::string source; // the parsed text (UTF-8)
    std::deque<dom_element> elements;
    std::map<std::string, std::string, std::less<>> entities;
    std::map<std::string, std::string, std::less<>> parameter_entities;
    std::vector<attribute_declaration> attribute_declarations;
    std::vector<std::pair<std::string, std::string>> instructions; // target, content
    char error[128] = "";
    size_t expanded = 0; // bytes produced by entity expansion so far
};

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
    explicit dom_builder(qvxml_dom_document &d) : d_(d), s_(d.source), n_(d.source.size()) {}

    dom_element *run() {
        parse();
        if (!root_) {
            d_.elements.emplace_back();
            root_ = &d_.elements.back();
            root_->node.name = root_->name.c_str();
        }
        for (dom_element &e : d_.elements) {
            e.node.text = e.text.c_str();
            e.node.attributes = e.attribute_view.data();
            e.node.attribute_count = e.attribute_view.size();
        }
        root_->node.document = &d_;
        return root_;
    }

private:
    static constexpr size_t npos = std::string::npos;

    bool starts(size_t p, std::string_view what) const {
        return s_.compare(p, what.size(), what) == 0;
    }

    size_t skip_space(size_t p) const {
        while (p < n_ && is_space(s_[p])) {
            ++p;
        }
        return p;
    }

    // First `c` at or after p that is not inside a quoted value.
    size_t find_unquoted(size_t p, char c) const {
        char quote = 0;
        for (; p < n_; ++p) {
            char ch = s_[p];
            if (quote) {
                quote = ch == quote ? 0 : quote;
            } else if (ch == '"' || ch == '\'') {
                quote = ch;
            } else if (ch == c) {
                return p;
            }
        }
        return npos;
    }

    __attribute__((format(printf, 3, 4))) size_t fail(size_t position, const char *format, ...) {
        if (failed_) {
            return npos;
        }
        failed_ = true;
        char message[128];
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        size_t end = position < n_ ? position : n_;
        int line = 1;
        for (size_t i = 0; i < end; ++i) {
            line += s_[i] == '\n';
        }
        std::string full = "[error near line " + std::to_string(line) + "]: " + message;
        size_t keep = full.size() < sizeof d_.error ? full.size() : sizeof d_.error - 1;
        std::memcpy(d_.error, full.data(), keep);
        d_.error[keep] = '\0';
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
                    auto &table = parameter ? d_.parameter_entities : d_.entities;
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
                        d_.expanded += expansion.size();
                        if (d_.expanded > dom_entity_expansion_max) {
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
        for (const attribute_declaration &a : d_.attribute_declarations) {
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
            group_tail_[{&parent, child.name}] = &child.node;
            return;
        }
        auto [it, fresh] = group_tail_.try_emplace(group_key{&parent, child.name}, &child.node);
        if (fresh) {
            parent.last_head->sibling = &child.node;
            parent.last_head = &child.node;
        } else {
            it->second->next = &child.node;
            it->second = &child.node;
        }
    }

    size_t start_tag(size_t p) {
        if (root_closed_) {
            return fail(p, "markup outside of root element");
        }
        size_t q = p + 1;
        // A NUL ends the name too: the node's C name would otherwise differ from
        // the name its group of same-named siblings is kept under.
        while (q < n_ && !is_space(s_[q]) && s_[q] != '/' && s_[q] != '>' && s_[q] != '\0') {
            ++q;
        }
        d_.elements.emplace_back();
        dom_element &e = d_.elements.back();
        e.name.assign(s_, p + 1, q - p - 1);
        e.node.name = e.name.c_str();
        if (!root_) {
            root_ = &e;
        } else {
            add_child(*open_, e);
        }
        bool empty = false;
        for (;;) {
            q = skip_space(q);
            if (q >= n_) {
                return fail(q, "missing >");
            }
            if (s_[q] == '>') {
                ++q;
                break;
            }
            if (s_[q] == '/') {
                if (q + 1 < n_ && s_[q + 1] == '>') {
                    q += 2;
                    empty = true;
                    break;
                }
                return fail(q, "missing >");
            }
            size_t a = q;
            while (q < n_ && !is_space(s_[q]) && s_[q] != '=' && s_[q] != '/' && s_[q] != '>') {
                ++q;
            }
            std::string name(s_, a, q - a);
            q = skip_space(q);
            if (q >= n_ || s_[q] != '=') {
                return fail(q, "missing >");
            }
            q = skip_space(q + 1);
            if (q >= n_ || (s_[q] != '"' && s_[q] != '\'')) {
                return fail(q, "missing %c", '"');
            }
            char quote = s_[q];
            size_t end = s_.find(quote, q + 1);
            if (end == npos) {
                return fail(q, "missing %c", quote);
            }
            std::string value;
            if (!decode(std::string_view(s_).substr(q + 1, end - q - 1), decode_mode::attribute,
                        value, q, 0)) {
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
            root_closed_ = root_closed_ || &e == root_;
        } else {
            open_ = &e;
        }
        return q;
    }

    size_t end_tag(size_t p) {
        size_t q = p + 2;
        while (q < n_ && !is_space(s_[q]) && s_[q] != '>') {
            ++q;
        }
        std::string_view name = std::string_view(s_).substr(p + 2, q - p - 2);
        if (!open_ || name != open_->name) {
            return fail(p, "unexpected closing tag </%.*s>", static_cast<int>(name.size()),
                        name.data());
        }
        q = skip_space(q);
        if (q >= n_ || s_[q] != '>') {
            return fail(q, "missing >");
        }
        if (open_ == root_) {
            root_closed_ = true;
        }
        open_ = open_->parent;
        return q + 1;
    }

    size_t comment(size_t p) {
        size_t q = s_.find("--", p + 4);
        if (q == npos || q + 2 >= n_ || s_[q + 2] != '>') {
            return fail(p, "unclosed <!--");
        }
        return q + 3;
    }

    size_t cdata(size_t p) {
        size_t q = s_.find("]]>", p + 9);
        if (q == npos) {
            return fail(p, "unclosed <![CDATA[");
        }
        if (open_ && !decode(std::string_view(s_).substr(p + 9, q - p - 9), decode_mode::cdata,
                             open_->text, p, 0)) {
            return npos;
        }
        return q + 3;
    }

    size_t instruction(size_t p, bool keep) {
        size_t q = s_.find("?>", p + 2);
        if (q == npos) {
            return fail(p, "unclosed <?");
        }
        if (keep) {
            size_t t = p + 2;
            while (t < q && !is_space(s_[t])) {
                ++t;
            }
            size_t c = skip_space(t);
            d_.instructions.emplace_back(s_.substr(p + 2, t - p - 2),
                                         s_.substr(c < q ? c : q, q - (c < q ? c : q)));
        }
        return q + 2;
    }

    size_t entity_declaration(size_t p, size_t doctype) {
        size_t q = skip_space(p + 8);
        bool parameter = false;
        if (q + 1 < n_ && s_[q] == '%' && is_space(s_[q + 1])) {
            parameter = true;
            q = skip_space(q + 1);
        }
        size_t a = q;
        while (q < n_ && !is_space(s_[q]) && s_[q] != '>' && s_[q] != '"' && s_[q] != '\'') {
            ++q;
        }
        std::string name(s_, a, q - a);
        q = skip_space(q);
        if (q < n_ && (s_[q] == '"' || s_[q] == '\'')) {
            char quote = s_[q];
            size_t end = s_.find(quote, q + 1);
            if (end == npos) {
                return fail(q, "missing %c", quote);
            }
            std::string value;
            if (!decode(std::string_view(s_).substr(q + 1, end - q - 1), decode_mode::parameter,
                        value, p, 0, name, parameter)) {
                return npos;
            }
            if (!name.empty()) {
                (parameter ? d_.parameter_entities : d_.entities)
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
        auto token = [&](size_t &q) {
            size_t a = q;
            while (q < end && !is_space(s_[q]) && s_[q] != '(' && s_[q] != '"' && s_[q] != '\'') {
                ++q;
            }
            return std::string(s_, a, q - a);
        };
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
            std::string type = s_[q] == '(' ? std::string() : token(q);
            if (type == "NOTATION") {
                q = skip_space(q);
            }
            if (s_[q] == '(') {
                size_t close = s_.find(')', q);
                if (close == npos || close > end) {
                    return fail(p, "malformed <!ATTLIST");
                }
                q = close + 1;
            } else if (type.empty() || decl.attribute.empty()) {
                return fail(p, "malformed <!ATTLIST");
            }
            decl.cdata = type == "CDATA";
            q = skip_space(q);
            if (q < end && s_[q] == '#') {
                std::string keyword = token(q);
                q = skip_space(q);
                if (keyword != "#FIXED") {
                    d_.attribute_declarations.push_back(std::move(decl));
                    continue;
                }
            }
            if (q >= end || (s_[q] != '"' && s_[q] != '\'')) {
                return fail(p, "malformed <!ATTLIST");
            }
            size_t close = s_.find(s_[q], q + 1);
            if (close == npos || close > end) {
                return fail(p, "malformed <!ATTLIST");
            }
            if (!decode(std::string_view(s_).substr(q + 1, close - q - 1), decode_mode::attribute,
                        decl.value, p, 0)) {
                return npos;
            }
            attribute_spaces(decl.value, decl.cdata);
            decl.has_default = true;
            d_.attribute_declarations.push_back(std::move(decl));
            q = close + 1;
        }
        return end + 1;
    }

    size_t internal_subset(size_t q, size_t doctype) {
        for (;;) {
            q = skip_space(q);
            if (q >= n_) {
                return fail(doctype, "unclosed <!DOCTYPE");
            }
            if (s_[q] == ']') {
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
        size_t q = p + 9;
        char quote = 0;
        for (; q < n_; ++q) {
            char c = s_[q];
            if (quote) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[' || c == '>') {
                break;
            }
        }
        if (q >= n_) {
            return fail(p, "unclosed <!DOCTYPE");
        }
        if (s_[q] == '[') {
            q = internal_subset(q + 1, p);
            if (q == npos) {
                return npos;
            }
            q = s_.find('>', q);
            if (q == npos) {
                return fail(p, "unclosed <!DOCTYPE");
            }
        }
        return q + 1;
    }

    void parse() {
        size_t p = s_.find('<');
        if (p == npos) {
            fail(n_, "root tag missing");
            return;
        }
        while (p < n_) {
            if (s_[p] != '<') {
                size_t q = s_.find('<', p);
                q = q == npos ? n_ : q;
                if (open_ && !decode(std::string_view(s_).substr(p, q - p), decode_mode::text,
                                     open_->text, p, 0)) {
                    return;
                }
                p = q;
                continue;
            }
            char c = p + 1 < n_ ? s_[p + 1] : '\0';
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
        if (failed_) {
            return;
        }
        if (open_) {
            fail(n_, "unclosed tag <%s>", open_->name.c_str());
        } else if (!root_) {
            fail(n_, "root tag missing");
        }
    }

    qvxml_dom_document &d_;
    const std::string &s_;
    size_t n_;
    dom_element *root_ = nullptr;
    dom_element *open_ = nullptr;
    bool root_closed_ = false;
    bool failed_ = false;
    std::unordered_map<group_key, qvxml_dom_node *, group_key_hash> group_tail_;
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

qvxml_dom_node *dom_child(const qvxml_dom_node *node, const char *name) {
    if (!node || !name) {
        return nullptr;
    }
    for (qvxml_dom_node *head = node->child; head; head = head->sibling) {
        if (std::strcmp(head->name, name) == 0) {
            return head;
        }
    }
    return nullptr;
}

qvxml_dom_node *dom_next(const qvxml_dom_node *node) {
    return node ? node->next : nullptr;
}

const char *dom_attr(const qvxml_dom_node *node, const char *name) {
    if (!node || !name) {
        return nullptr;
    }
    for (size_t i = 0; i < node->attribute_count; ++i) {
        if (std::strcmp(node->attributes[i].name, name) == 0) {
            return node->attributes[i].value;
        }
    }
    const qvxml_dom_node *root = node;
    while (root->parent) {
        root = root->parent;
    }
    if (!root->document) {
        return nullptr;
    }
    for (const attribute_declaration &a : root->document->attribute_declarations) {
        if (a.has_default && a.element == node->name && a.attribute == name) {
            return a.value.c_str();
        }
    }
    return nullptr;
}

const char *dom_text(const qvxml_dom_node *node) {
    return node && node->text ? node->text : "";
}

const char *dom_error(const qvxml_dom_node *root) {
    return root && root->document ? root->document->error : "";
}

void dom_free(qvxml_dom_node *root) {
    if (root) {
        delete root->document;
    }
}

} // namespace qvxml
