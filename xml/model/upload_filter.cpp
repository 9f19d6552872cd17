// The upload filter: rewrites a setup document into the form that is posted
// to a device. Two SAX passes: the first collects every Idx with the path of
// the element holding it, the second writes the document without the
// read-only and dangerous elements and with each Idx moved to the front of
// its holder.
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
#include <vector>

namespace qvx {
namespace {

constexpr int error_no_memory = 5;
constexpr int error_xml_not_valid = 45;
constexpr int error_too_long = 81;

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

struct idx_record {
    std::string holder; // path of the element that holds the Idx
    std::string text;
};

struct filter_state {
    int pass = 1;
    int depth = 0;
    int idx_depth = 0;      // > 0 inside an Idx element
    int suppress_depth = 0; // > 0 inside a removed element (or an Idx in pass 2)
    size_t overflow_depth = 0;
    size_t next_record = 0;
    bool out_of_memory = false;
    bool too_many = false;
    std::string path;
    std::vector<idx_record> records;
    std::unique_ptr<char[]> output_buffer;
    std::unique_ptr<text_out> output;
};

bool is_removed(std::string_view path) {
    for (std::string_view r : removed_paths) {
        if (r == path) {
            return true;
        }
    }
    return false;
}

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
    bool idx = name == "Idx";
    try {
        if (idx && f->pass == 1 && f->idx_depth++ == 0) {
            if (f->records.size() >= idx_records_max) {
                f->too_many = true;
                return;
            }
            f->records.push_back({f->path, {}});
        } else if (idx && f->pass == 2) {
            ++f->idx_depth;
        }
        if (!f->path.empty()) {
            f->path += '_';
        }
        f->path += name;
    } catch (const std::bad_alloc &) {
        f->out_of_memory = true;
        return;
    }
    if (f->pass != 2) {
        return;
    }
    if (is_removed(f->path) || idx) {
        ++f->suppress_depth;
    }
    if (f->suppress_depth == 0) {
        f->output->tag("<", name);
    }
    if (f->next_record < f->records.size() && f->records[f->next_record].holder == f->path) {
        if (f->suppress_depth == 0) {
            f->output->raw(f->output->last() == '\n' ? "<Idx>" : "\n<Idx>");
            f->output->escaped(f->records[f->next_record].text);
            f->output->raw("</Idx>");
        }
        ++f->next_record;
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
    bool idx = name == "Idx";
    if (idx && f->idx_depth > 0) {
        --f->idx_depth;
    }
    if (f->pass == 2) {
        if (f->suppress_depth == 0) {
            f->output->tag("</", name);
        }
        if ((is_removed(f->path) || idx) && f->suppress_depth > 0) {
            --f->suppress_depth;
        }
    }
    size_t cut = name.size() < f->path.size() ? f->path.size() - name.size() : 0;
    f->path.resize(cut ? cut - 1 : 0);
}

void on_text(void *ctx, const xmlChar *text_x, int length) {
    auto *f = static_cast<filter_state *>(ctx);
    if (f->out_of_memory || f->too_many || f->overflow_depth || length <= 0) {
        return;
    }
    std::string_view text(reinterpret_cast<const char *>(text_x), static_cast<size_t>(length));
    if (f->pass == 1) {
        if (f->idx_depth > 0 && !f->records.empty()) {
            // An Idx text delivered in pieces stays one record.
            std::string &t = f->records.back().text;
            t.append(text.substr(0, idx_text_max - std::min(idx_text_max, t.size())));
        }
        return;
    }
    if (f->suppress_depth == 0 && f->idx_depth == 0) {
        write_newlines_collapsed(*f->output, text);
    }
}

} // namespace

int filter_upload_xml(int handle, char *text, int capacity) {
    if (!text || capacity <= 0) {
        record_error(handle, error_xml_not_valid);
        return -1;
    }
    size_t length = strnlen(text, static_cast<size_t>(capacity));
    std::unique_ptr<filter_state> f(new (std::nothrow) filter_state);
    if (!f) {
        record_error(handle, error_no_memory);
        return -1;
    }
    f->output_buffer.reset(new (std::nothrow) char[QVXML_BUFFER_SIZE]);
    if (!f->output_buffer) {
        record_error(handle, error_no_memory);
        return -1;
    }
    f->output = std::make_unique<text_out>(f->output_buffer.get(), QVXML_BUFFER_SIZE);
    for (int pass = 1; pass <= 2; ++pass) {
        f->pass = pass;
        f->depth = 0;
        f->idx_depth = 0;
        f->suppress_depth = 0;
        f->overflow_depth = 0;
        f->next_record = 0;
        f->path.clear();
        if (sax_run(text, length, {on_start, on_end, on_text}, f.get()) < 0) {
            record_error(handle, error_xml_not_valid);
            return -1;
        }
        if (f->out_of_memory) {
            record_error(handle, error_no_memory);
            return -1;
        }
        if (f->too_many) {
            record_error(handle, error_too_long);
            return -1;
        }
    }
    size_t total = declaration.size() + f->output->length();
    if (f->output->full() || total >= static_cast<size_t>(capacity)) {
        record_error(handle, error_too_long);
        return -1;
    }
    std::memset(text, 0, static_cast<size_t>(capacity));
    std::memcpy(text, declaration.data(), declaration.size());
    std::memcpy(text + declaration.size(), f->output_buffer.get(), f->output->length());
    return 0;
}

} // namespace qvx
