// SAX parsing of values.xml and setup.xml into the fixed structures.
#include "model/sax_parse.h"
#include "model/text_scan.h"
#include "model/xml_model.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace qvxml {
namespace {

constexpr size_t path_capacity = 10000;
// Deeper elements are ignored like paths that no longer fit (the parser
// itself stops at 256 levels).
constexpr size_t depth_max = 1024;
// Longest text piece taken at once; longer pieces never fit any field anyway.
constexpr size_t piece_max = 152;

struct list_info {
    const char *entry_path;
    size_t entry_path_length;
    int capacity;
};

#define QVXML_LIST_INFO(list)                                                                      \
    {"Root_" #list "_Entry", sizeof("Root_" #list "_Entry") - 1, QVXML_LIST_MAX_##list},
constexpr list_info values_lists[] = {QVXML_VALUES_LISTS(QVXML_LIST_INFO)};
constexpr list_info setup_lists[] = {QVXML_SETUP_LISTS(QVXML_LIST_INFO)};

// libxml2 hands out element names interned in the parser's dictionary, so a
// name pointer seen once below a parent maps to the same child again.
struct child_cache_entry {
    const xmlChar *name;
    int16_t parent;
    int16_t node;
    uint32_t length;
};
constexpr size_t child_cache_size = 1024;
static_assert(child_cache_size == (size_t{1} << 10));

struct sax_context {
    const field_table *table;
    unsigned char *base;
    int32_t *counts;
    const list_info *lists;
    int list_count;
    int entry_index;
    int row;
    size_t depth;
    int16_t nodes[depth_max]; // tree node of each open element, -1 off the stored paths
    child_cache_entry cache[child_cache_size];
    // Elements below a path that no longer fits: not appended, their text ignored.
    size_t overflow_depth;
    size_t path_length;
    size_t entry_path_length;
    char path[path_capacity];
    char entry_path[path_capacity];
};

void current_row(sax_context *c) {
    int node = c->depth && !c->overflow_depth ? c->nodes[c->depth - 1] : -1;
    c->row = node >= 0 ? c->table->node_row[node] : -1;
}

void on_start(void *ctx, const xmlChar *name_x, const xmlChar **) {
    auto *c = static_cast<sax_context *>(ctx);
    const char *name = reinterpret_cast<const char *>(name_x);
    int parent = c->depth ? c->nodes[c->depth - 1] : 0;
    auto bits = reinterpret_cast<uintptr_t>(name_x);
    uint64_t key =
        (static_cast<uint64_t>(bits) ^ static_cast<uint64_t>(parent)) * 0x9E3779B97F4A7C15ull;
    child_cache_entry &hit = c->cache[key >> 54]; // top 10 bits: child_cache_size slots
    size_t n;
    int node;
    if (hit.name == name_x && hit.parent == parent) {
        n = hit.length;
        node = hit.node;
    } else {
        n = std::strlen(name);
        node = find_child(*c->table, parent, name, n);
        hit = {name_x, static_cast<int16_t>(parent), static_cast<int16_t>(node),
               static_cast<uint32_t>(n)};
    }
    size_t separator = c->path_length ? 1 : 0;
    if (c->overflow_depth || c->path_length + separator + n >= path_capacity ||
        c->depth >= depth_max) {
        ++c->overflow_depth;
        c->row = -1;
        return;
    }
    if (separator) {
        c->path[c->path_length++] = '_';
    }
    std::memcpy(c->path + c->path_length, name, n + 1);
    c->path_length += n;
    c->nodes[c->depth++] = static_cast<int16_t>(node);
    if (n == 5 && std::memcmp(name, "Entry", 5) == 0) {
        if (c->path_length != c->entry_path_length ||
            std::memcmp(c->path, c->entry_path, c->path_length) != 0) {
            c->entry_index = 0;
        }
        std::memcpy(c->entry_path, c->path, c->path_length + 1);
        c->entry_path_length = c->path_length;
    }
    current_row(c);
}

void on_end(void *ctx, const xmlChar *name_x) {
    auto *c = static_cast<sax_context *>(ctx);
    if (c->overflow_depth) {
        --c->overflow_depth;
        current_row(c);
        return;
    }
    const char *name = reinterpret_cast<const char *>(name_x);
    size_t n = std::strlen(name);
    if (n == 5 && std::memcmp(name, "Entry", 5) == 0) {
        for (int i = 0; i < c->list_count; ++i) {
            const list_info &l = c->lists[i];
            if (l.entry_path_length == c->entry_path_length &&
                std::memcmp(l.entry_path, c->entry_path, l.entry_path_length) == 0) {
                // Entries beyond the capacity are neither stored nor counted, so a
                // count never names a slot outside the arrays.
                if (c->counts[i] < l.capacity) {
                    ++c->counts[i];
                }
                c->entry_index = c->counts[i];
                break;
            }
        }
    }
    c->path_length = n < c->path_length ? c->path_length - n : 0;
    if (c->path_length) {
        --c->path_length; // the "_" before the name
    }
    c->path[c->path_length] = '\0';
    if (c->depth) {
        --c->depth;
    }
    current_row(c);
}

void on_text(void *ctx, const xmlChar *text, int length) {
    auto *c = static_cast<sax_context *>(ctx);
    if (c->row < 0 || length <= 0) {
        return;
    }
    const field_row &r = c->table->rows[c->row];
    size_t slot = 0;
    if (r.list >= 0) {
        if (c->entry_index < 0 || c->entry_index >= r.capacity) {
            return;
        }
        slot = static_cast<size_t>(c->entry_index);
    }
    char *field = reinterpret_cast<char *>(c->base + r.offset + slot * r.size);
    size_t piece = static_cast<size_t>(length) > piece_max ? piece_max : length;
    size_t have = strnlen(field, r.size);
    // Pieces of one text (split around entity references) are joined; a piece
    // that would not leave room for the terminator is dropped whole.
    if (have + piece < static_cast<size_t>(r.size) - 1) {
        std::memcpy(field + have, text, piece);
        field[have + piece] = '\0';
    }
}

void on_message(void *, const char *, ...) {}

// Offset of the root element's start tag, or npos when the text has none.
size_t root_start(const char *text, size_t length) {
    std::string_view s(text, length);
    size_t p = 0;
    while ((p = s.find('<', p)) != std::string_view::npos) {
        if (s.compare(p, 4, "<!--") == 0) {
            p = s.find("-->", p + 4);
        } else if (s.compare(p, 2, "<?") == 0) {
            p = s.find("?>", p + 2);
        } else if (s.compare(p, 2, "<!") == 0) {
            size_t bracket = s.find('[', p);
            size_t close = s.find('>', p);
            if (bracket < close) {
                close = s.find("]", bracket);
                close = close == std::string_view::npos ? close : s.find('>', close);
            }
            p = close;
        } else {
            return p;
        }
        if (p == std::string_view::npos) {
            break;
        }
        ++p;
    }
    return std::string_view::npos;
}

} // namespace

void init_xml_library() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlCheckVersion(20627);
    });
}

std::unique_ptr<char[]> rewrite_prefixed_root(const char *text, size_t length, int kind) {
    const char *marker = kind == kind_values ? "<val:Root" : "<set:Root";
    constexpr size_t marker_length = 9;
    size_t start = root_start(text, length);
    if (start == std::string_view::npos || length - start < marker_length + 1 ||
        std::memcmp(text + start, marker, marker_length) != 0) {
        return nullptr;
    }
    char after = text[start + marker_length];
    if (after != '>' && after != '/' && after != ' ' && after != '\t' && after != '\n' &&
        after != '\r') {
        return nullptr;
    }
    // The end of the start tag: the first ">" outside a quoted attribute value.
    const size_t end = find_unquoted(std::string_view(text, length), start + marker_length, ">");
    if (end >= length) {
        return nullptr;
    }
    std::unique_ptr<char[]> copy(new (std::nothrow) char[length]);
    if (!copy) {
        return nullptr;
    }
    std::memcpy(copy.get(), text, length);
    std::memset(copy.get() + start, ' ', end - start + 1);
    std::memcpy(copy.get() + start, "<Root>", 6);
    return copy;
}

namespace {

// libxml2 keeps calling `characters` for the text that follows a fatal
// error, after it has stopped reporting tags. That text belongs to no element
// the handlers know of, so nothing after the first error reaches them.
// The parser hands the handlers its own context (no user data is given), so
// that a handler can stop it; the run itself is found through the thread.
struct guarded_run {
    sax_handlers handlers;
    void *context;
    bool stopped;
    xmlParserCtxtPtr parser;
};

thread_local guarded_run *current_run = nullptr;

guarded_run *run_of(void *parser) {
    guarded_run *g = current_run;
    g->parser = static_cast<xmlParserCtxtPtr>(parser);
    return g;
}

void guarded_start(void *data, const xmlChar *name, const xmlChar **attributes) {
    guarded_run *g = run_of(data);
    if (!g->stopped && g->handlers.start)
        g->handlers.start(g->context, name, attributes);
}

void guarded_end(void *data, const xmlChar *name) {
    guarded_run *g = run_of(data);
    if (!g->stopped && g->handlers.end)
        g->handlers.end(g->context, name);
}

void guarded_text(void *data, const xmlChar *text, int length) {
    guarded_run *g = run_of(data);
    if (!g->stopped && g->handlers.text)
        g->handlers.text(g->context, text, length);
}

// Without a message handler libxml2 prints every well-formedness error to
// stderr. Only a fatal error ends the delivery: a namespace error (a colon in
// a processing instruction's name) leaves the document well-formed and the
// parse going, so the handlers see all of what the result calls clean.
void guarded_error(void *data, const char *, ...) {
    guarded_run *g = run_of(data);
    const xmlError *error = xmlCtxtGetLastError(g->parser);
    if (error == nullptr || error->level == XML_ERR_FATAL) {
        g->stopped = true;
    }
}

} // namespace

void sax_stop() {
    guarded_run *g = current_run;
    if (g != nullptr && g->parser != nullptr && !g->stopped) {
        g->stopped = true;
        xmlStopParser(g->parser);
    }
}

int sax_run(const char *text, size_t length, sax_handlers handlers, void *context) {
    if (!text || length == 0 || length > INT_MAX) {
        return -1;
    }
    init_xml_library();
    guarded_run run{handlers, context, false, nullptr};
    guarded_run *const outer = current_run;
    current_run = &run;
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.startElement = guarded_start;
    sax.endElement = guarded_end;
    sax.characters = guarded_text;
    sax.warning = on_message;
    sax.error = guarded_error;
    sax.fatalError = guarded_error;
    const int result = xmlSAXUserParseMemory(&sax, nullptr, text, static_cast<int>(length));
    current_run = outer;
    return result;
}

namespace {

int parse_kind(const char *text, size_t length, int kind, void *structure, size_t structure_size,
               int32_t *counts, size_t counts_size) {
    std::memset(structure, 0, structure_size);
    std::memset(counts, 0, counts_size);
    if (!text || length == 0) {
        return -1;
    }
    // Only the scalars and the cache need clearing; the paths and the node
    // stack are written before they are read.
    std::unique_ptr<sax_context> c(new (std::nothrow) sax_context);
    if (!c) {
        return -1;
    }
    std::memset(c->cache, 0, sizeof c->cache);
    c->entry_index = 0;
    c->overflow_depth = 0;
    c->path_length = 0;
    c->entry_path_length = 0;
    c->depth = 0;
    c->path[0] = '\0';
    c->entry_path[0] = '\0';
    c->table = kind == kind_values ? &values_table() : &setup_table();
    c->base = static_cast<unsigned char *>(structure);
    c->counts = counts;
    c->lists = kind == kind_values ? values_lists : setup_lists;
    c->list_count = kind == kind_values ? sizeof values_lists / sizeof values_lists[0]
                                        : sizeof setup_lists / sizeof setup_lists[0];
    c->row = -1;
    std::unique_ptr<char[]> copy = rewrite_prefixed_root(text, length, kind);
    return sax_run(copy ? copy.get() : text, length, {on_start, on_end, on_text}, c.get());
}

} // namespace

int parse_values(const char *text, size_t length, qvxml_values *values,
                 qvxml_values_counts *counts) {
    int result = parse_kind(text, length, kind_values, values, sizeof *values,
                            reinterpret_cast<int32_t *>(counts), sizeof *counts);
    if (result >= 0) {
        meter_dialect_pass(text, length, values, counts);
    }
    return result;
}

int parse_setup(const char *text, size_t length, qvxml_setup *setup, qvxml_setup_counts *counts) {
    return parse_kind(text, length, kind_setup, setup, sizeof *setup,
                      reinterpret_cast<int32_t *>(counts), sizeof *counts);
}

} // namespace qvxml
