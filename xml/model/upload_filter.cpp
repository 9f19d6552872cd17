// The upload filter: rewrites a setup document into the form that is posted
// to a device, in one SAX pass: the document is written without the
// read-only and dangerous elements, and each Idx is moved to the front of its
// holder.
#include "model/sax_parse.h"
#include "model/text_out.h"
#include "model/xml_model.h"
#include "xml_internal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qvxml {
namespace {

constexpr size_t path_capacity = 10000;
constexpr size_t idx_text_max = 1024;
constexpr size_t idx_records_max = 1000;
constexpr std::string_view declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// Elements left out of an upload with everything inside them: what the device
// reports but does not take back, and what would cut the connection to it
// (its address, port and DHCP).
constexpr std::string_view removed_paths[] = {
    "Root_Agent",
    "Root_BinaryInSet_Entry_Value",
    "Root_BinaryInSet_Entry_State",
    "Root_BinaryOutSet_Entry_Type",
    "Root_SenSet_Entry_Value",
    "Root_SenSet_Entry_Units",
    "Root_SenSet_Entry_State",
    "Root_Network_IPAddr",
    "Root_Network_Submask",
    "Root_Network_Gateway",
    "Root_Network_HTTPport",
    "Root_Network_DHCP",
    "Root_Time_TimeShift",
    "Root_Time_Date",
    "Root_Time_Time",
    "Root_MIBIISysGroup_SysName",
    "Root_User_Entry_Idx",
    "Root_User_Entry_Name",
    "Root_User_Entry_Pswd",
};

// Where an Idx goes: behind a start tag, in the output as written so far.
struct start_tag {
    uint32_t offset; // output length right after the tag
    uint32_t node;   // its path, as a node of the path tree
    bool written;    // false inside a removed element: the Idx is dropped
};

struct idx_record {
    uint32_t holder; // path node of the element that holds the Idx
    std::string text;
    bool placed = false;
    start_tag tag{}; // where it goes, once placed
};

// Paths as a tree of (parent, name) nodes, so that comparing paths costs
// nothing and memory grows with the names, not with the path lengths.
struct path_tree {
    struct key_hash {
        size_t operator()(const std::pair<uint32_t, std::string_view> &k) const {
            return std::hash<std::string_view>()(k.second) * 31 + k.first;
        }
    };
    std::unordered_map<std::pair<uint32_t, std::string_view>, uint32_t, key_hash> nodes;
    std::vector<bool> removed{false}; // node 0: above the root

    // The names are libxml2's, interned for the whole parse.
    uint32_t child(uint32_t parent, std::string_view name, const std::string &path) {
        auto [it, added] = nodes.try_emplace({parent, name}, static_cast<uint32_t>(removed.size()));
        if (added) {
            removed.push_back(is_removed(path));
        }
        return it->second;
    }

    static bool is_removed(std::string_view path) {
        for (std::string_view r : removed_paths) {
            if (r == path) {
                return true;
            }
        }
        return false;
    }
};

// One pass: the document is written as it is read, and each Idx is placed
// behind the first start tag with its holder's path that follows the start
// tag where the previous Idx went (usually its own holder, which was read
// before it). Start tags are remembered until an Idx could still want them.
struct filter_state {
    int depth = 0;
    int idx_depth = 0;      // > 0 inside an Idx element
    int suppress_depth = 0; // > 0 inside a removed element or an Idx
    size_t overflow_depth = 0;
    bool out_of_memory = false;
    bool too_many = false;
    std::string path;
    std::vector<uint32_t> node_stack{0};
    path_tree tree;
    std::vector<start_tag> tags;
    size_t first_free_tag = 0; // tags before this one have been passed by
    size_t next_unplaced = 0;  // records before this one have their tag
    std::vector<idx_record> records;
    std::unique_ptr<char[]> output_buffer;
    std::unique_ptr<text_out> output;
};

// A saved device document has a prefixed root ("set:Root"); it is filtered
// and written like "Root" so that its Network address is removed as well.
std::string_view element_name(const filter_state &f, const xmlChar *name_x) {
    std::string_view name(reinterpret_cast<const char *>(name_x));
    if (f.depth == 0 && name == "set:Root") {
        return "Root";
    }
    return name;
}

void write_newlines_collapsed(text_out &out, std::string_view text) {
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            out.escaped(text.substr(plain, i - plain));
            if (out.last() != '\n') {
                out.raw("\n");
            }
            plain = i + 1;
        }
    }
    out.escaped(text.substr(plain));
}

// Gives the next record without a place the first fitting start tag among
// those not passed by yet.
void place_records(filter_state &f) {
    while (f.next_unplaced < f.records.size()) {
        idx_record &r = f.records[f.next_unplaced];
        size_t t = f.first_free_tag;
        while (t < f.tags.size() && f.tags[t].node != r.holder) {
            ++t;
        }
        if (t == f.tags.size()) {
            // Only start tags still to come can take this Idx (and those
            // after it).
            f.tags.clear();
            f.first_free_tag = 0;
            return;
        }
        r.tag = f.tags[t];
        r.placed = true;
        f.first_free_tag = t + 1;
        ++f.next_unplaced;
    }
    if (f.first_free_tag > f.tags.size() / 2) {
        f.tags.erase(f.tags.begin(), f.tags.begin() + static_cast<ptrdiff_t>(f.first_free_tag));
        f.first_free_tag = 0;
    }
}

// A full output is refused whatever follows: no need to read the rest.
void stop_when_full(const filter_state &f) {
    if (f.output->full()) {
        sax_stop();
    }
}

void on_start(void *ctx, const xmlChar *name_x, const xmlChar **) {
    auto *f = static_cast<filter_state *>(ctx);
    if (f->out_of_memory || f->too_many) {
        return;
    }
    std::string_view name = element_name(*f, name_x);
    ++f->depth;
    if (f->overflow_depth || f->path.size() + 1 + name.size() >= path_capacity) {
        ++f->overflow_depth;
        return;
    }
    const bool idx = name == "Idx";
    try {
        if (idx && f->idx_depth++ == 0) {
            if (f->records.size() >= idx_records_max) {
                f->too_many = true;
                return;
            }
            f->records.push_back({f->node_stack.back(), {}});
        }
        if (!f->path.empty()) {
            f->path += '_';
        }
        f->path += name;
        const uint32_t node = f->tree.child(f->node_stack.back(), name, f->path);
        f->node_stack.push_back(node);
        if (f->tree.removed[node] || idx) {
            ++f->suppress_depth;
        }
        if (f->suppress_depth == 0) {
            f->output->tag("<", name);
        }
        f->tags.push_back(
            {static_cast<uint32_t>(f->output->length()), node, f->suppress_depth == 0});
        place_records(*f);
        stop_when_full(*f);
    } catch (const std::bad_alloc &) {
        f->out_of_memory = true;
    }
}

void on_end(void *ctx, const xmlChar *name_x) {
    auto *f = static_cast<filter_state *>(ctx);
    if (f->out_of_memory || f->too_many) {
        return;
    }
    --f->depth;
    std::string_view name = element_name(*f, name_x);
    if (f->overflow_depth) {
        --f->overflow_depth;
        return;
    }
    const bool idx = name == "Idx";
    if (idx && f->idx_depth > 0) {
        --f->idx_depth;
    }
    if (f->suppress_depth == 0) {
        f->output->tag("</", name);
        stop_when_full(*f);
    }
    if ((f->tree.removed[f->node_stack.back()] || idx) && f->suppress_depth > 0) {
        --f->suppress_depth;
    }
    f->node_stack.pop_back();
    size_t cut = name.size() < f->path.size() ? f->path.size() - name.size() : 0;
    f->path.resize(cut ? cut - 1 : 0);
}

void on_text(void *ctx, const xmlChar *text_x, int length) {
    auto *f = static_cast<filter_state *>(ctx);
    if (f->out_of_memory || f->too_many || f->overflow_depth || length <= 0) {
        return;
    }
    std::string_view text(reinterpret_cast<const char *>(text_x), static_cast<size_t>(length));
    if (f->idx_depth > 0) {
        if (!f->records.empty()) {
            // An Idx text delivered in pieces stays one record.
            std::string &t = f->records.back().text;
            t.append(text.substr(0, idx_text_max - std::min(idx_text_max, t.size())));
        }
        return;
    }
    if (f->suppress_depth == 0) {
        write_newlines_collapsed(*f->output, text);
    }
    stop_when_full(*f);
}

// The declaration, then the output with every placed Idx behind its start
// tag; empty when the output did not fit its buffer.
std::string assemble(const filter_state &f) {
    if (f.output->full()) {
        return {};
    }
    size_t bound = declaration.size() + f.output->length() + 1;
    for (const idx_record &r : f.records) {
        bound += sizeof "\n<Idx></Idx>" + 5 * r.text.size(); // "&amp;" is the longest escape
    }
    std::string result(bound, '\0');
    text_out out(result.data(), bound);
    out.raw(declaration);
    const std::string_view written(f.output_buffer.get(), f.output->length());
    size_t copied = 0;
    for (const idx_record &r : f.records) {
        if (!r.placed) {
            break; // no start tag with its holder's path followed
        }
        if (!r.tag.written) {
            continue;
        }
        out.raw(written.substr(copied, r.tag.offset - copied));
        copied = r.tag.offset;
        out.raw("\n<Idx>");
        write_newlines_collapsed(out, r.text);
        out.raw("</Idx>");
    }
    out.raw(written.substr(copied));
    result.resize(out.length());
    return result;
}

} // namespace

int filter_upload_xml(int handle, char *text, int capacity) {
    if (!text || capacity <= 0) {
        record_error(handle, error_code::xml_not_valid);
        return -1;
    }
    size_t length = strnlen(text, static_cast<size_t>(capacity));
    std::unique_ptr<filter_state> f(new (std::nothrow) filter_state);
    if (!f) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    f->output_buffer.reset(new (std::nothrow) char[QVXML_BUFFER_SIZE]);
    if (!f->output_buffer) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    f->output = std::make_unique<text_out>(f->output_buffer.get(), QVXML_BUFFER_SIZE);
    const int parsed = sax_run(text, length, {on_start, on_end, on_text}, f.get());
    if (f->output->full()) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    // A text that is not well-formed XML is no configuration: posting what
    // the parser read of it would reach the device as a different document.
    if (parsed != 0) {
        record_error(handle, error_code::xml_not_valid);
        return -1;
    }
    if (f->out_of_memory) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    if (f->too_many) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    std::string result;
    try {
        result = assemble(*f);
    } catch (const std::bad_alloc &) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    if (result.empty() || result.size() >= static_cast<size_t>(capacity)) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    std::memset(text, 0, static_cast<size_t>(capacity));
    std::memcpy(text, result.data(), result.size());
    return 0;
}

} // namespace qvxml
