// Writing a setup structure back as a setup document, in the field order of
// the structure (the same table the parser uses).
#include "model/text_out.h"
#include "model/xml_model.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace qvxml {
namespace {

// The element path of a row below "Root", split at "_": the enclosing groups
// and the field's own element.
struct row_shape {
    std::vector<std::string_view> groups;
    std::string_view leaf;
    size_t section_depth; // groups up to (not including) "Entry"
};

std::vector<row_shape> make_shapes(const field_table &table) {
    std::vector<row_shape> shapes(table.count);
    for (int i = 0; i < table.count; ++i) {
        std::string_view path = table.rows[i].path;
        path.remove_prefix(5); // "Root_"
        std::vector<std::string_view> parts;
        size_t start = 0;
        for (size_t p; (p = path.find('_', start)) != std::string_view::npos; start = p + 1) {
            parts.push_back(path.substr(start, p - start));
        }
        shapes[i].leaf = path.substr(start);
        shapes[i].groups = parts;
        shapes[i].section_depth = parts.size();
        for (size_t k = 0; k < parts.size(); ++k) {
            if (parts[k] == "Entry") {
                shapes[i].section_depth = k;
                break;
            }
        }
    }
    return shapes;
}

// Closes the open groups that `target` does not share and opens the rest.
void move_to(text_out &out, std::vector<std::string_view> &open,
             const std::vector<std::string_view> &target, size_t target_depth) {
    size_t common = 0;
    while (common < open.size() && common < target_depth && open[common] == target[common]) {
        ++common;
    }
    while (open.size() > common) {
        out.tag("\n</", open.back());
        open.pop_back();
    }
    for (size_t k = common; k < target_depth; ++k) {
        out.tag("\n<", target[k]);
        open.push_back(target[k]);
    }
}

void field(text_out &out, const row_shape &shape, const char *text, size_t size) {
    out.tag("\n<", shape.leaf);
    out.escaped(std::string_view(text, strnlen(text, size)));
    out.tag("</", shape.leaf);
}

} // namespace

int write_setup_xml(const qvxml_setup *setup, const qvxml_setup_counts *counts, char *output,
                    int capacity) {
    if (!output || capacity <= 0) {
        return -1;
    }
    if (!setup || !counts) {
        output[0] = '\0';
        return -1;
    }
    const field_table &table = setup_table();
    static const std::vector<row_shape> shapes = make_shapes(table);
    const auto *base = reinterpret_cast<const char *>(setup);
    const auto *count_words = reinterpret_cast<const int32_t *>(counts);

    text_out out(output, static_cast<size_t>(capacity));
    out.raw("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    out.raw("\n<Root>");
    std::vector<std::string_view> open;
    for (int i = 0; i < table.count && !out.full();) {
        const field_row &row = table.rows[i];
        if (row.list < 0) {
            move_to(out, open, shapes[i].groups, shapes[i].groups.size());
            field(out, shapes[i], base + row.offset, row.size);
            ++i;
            continue;
        }
        int end = i;
        while (end < table.count && table.rows[end].list == row.list) {
            ++end;
        }
        const row_shape &first = shapes[i];
        move_to(out, open, first.groups, first.section_depth);
        int entries = count_words[row.list];
        entries = entries < 0 ? 0 : entries > row.capacity ? row.capacity : entries;
        for (int e = 0; e < entries; ++e) {
            for (int k = i; k < end; ++k) {
                move_to(out, open, shapes[k].groups, shapes[k].groups.size());
                field(out, shapes[k], base + table.rows[k].offset + e * table.rows[k].size,
                      table.rows[k].size);
            }
            move_to(out, open, first.groups, first.section_depth); // closes this Entry
        }
        // A section field after the entries (BinaryInSet's AlarmAction) stands
        // after an empty line.
        if (end < table.count && shapes[end].groups.size() > 0 &&
            shapes[end].groups[0] == first.groups[0]) {
            out.raw("\n");
        }
        i = end;
    }
    move_to(out, open, {}, 0);
    out.raw("\n</Root>");
    if (out.full()) {
        output[0] = '\0';
        return -1;
    }
    return static_cast<int>(out.length());
}

} // namespace qvxml
