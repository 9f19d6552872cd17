// Path tables of the two documents, generated from the field lists of
// qvxml_settings.h so that the structure layout, the parser's paths and the
// writer's order cannot disagree.
#include "model/xml_model.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace qvxml {
namespace {

// clang-format off
#define QVXML_ROW(structure, name, size)                                                       \
    {"Root_" #name, offsetof(structure, name), size, 1, -1},
#define QVXML_ENTRY_ROW(structure, counts, list, name, size)                                   \
    {"Root_" #list "_Entry_" #name, offsetof(structure, list##_Entry_##name), size,            \
     QVXML_LIST_MAX_##list, static_cast<int16_t>(offsetof(counts, list) / sizeof(int32_t))},
#define QVXML_VALUES_ROW(name, size) QVXML_ROW(qvxml_values, name, size)
#define QVXML_VALUES_ENTRY_ROW(list, name, size)                                               \
    QVXML_ENTRY_ROW(qvxml_values, qvxml_values_counts, list, name, size)
#define QVXML_SETUP_ROW(name, size) QVXML_ROW(qvxml_setup, name, size)
#define QVXML_SETUP_ENTRY_ROW(list, name, size)                                                \
    QVXML_ENTRY_ROW(qvxml_setup, qvxml_setup_counts, list, name, size)
// clang-format on

constexpr field_row values_rows[] = {QVXML_VALUES_FIELDS(QVXML_VALUES_ROW, QVXML_VALUES_ENTRY_ROW)};
constexpr field_row setup_rows[] = {QVXML_SETUP_FIELDS(QVXML_SETUP_ROW, QVXML_SETUP_ENTRY_ROW)};

static_assert(sizeof(values_rows) / sizeof(values_rows[0]) == QVXML_VALUES_FIELD_COUNT);
static_assert(sizeof(setup_rows) / sizeof(setup_rows[0]) == QVXML_SETUP_FIELD_COUNT);
// Module records and callers copy these sizes; they are the binary interface.
static_assert(sizeof(qvxml_values) == 37524 && sizeof(qvxml_values_counts) == 12);
static_assert(sizeof(qvxml_setup) == 129540 && sizeof(qvxml_setup_counts) == 36);

uint32_t path_hash(const char *s, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    }
    return h;
}

uint32_t child_hash(int parent, const char *name, size_t n) {
    return path_hash(name, n) ^ (static_cast<uint32_t>(parent) * 0x9E3779B1u);
}

int add_child(field_table &t, int parent, const char *name, size_t n) {
    int existing = find_child(t, parent, name, n);
    if (existing >= 0) {
        return existing;
    }
    if (t.node_count >= field_table::node_max) {
        std::abort(); // the field lists outgrew the tree; raise node_max
    }
    int node = t.node_count++;
    t.node_row[node] = -1;
    t.node_name[node] = name;
    t.node_name_length[node] = static_cast<uint16_t>(n);
    t.node_parent[node] = static_cast<int16_t>(parent);
    uint32_t slot = child_hash(parent, name, n) & (field_table::index_size - 1);
    while (t.child_index[slot] != 0) {
        slot = (slot + 1) & (field_table::index_size - 1);
    }
    t.child_index[slot] = static_cast<int16_t>(node + 1);
    return node;
}

void build_tree(field_table &t) {
    t.node_count = 1; // the document
    t.node_row[0] = -1;
    t.node_name[0] = "";
    t.node_parent[0] = -1;
    for (int i = 0; i < t.count; ++i) {
        const char *path = t.rows[i].path;
        int node = 0;
        for (const char *start = path;;) {
            const char *end = std::strchr(start, '_');
            size_t n = end ? static_cast<size_t>(end - start) : std::strlen(start);
            node = add_child(t, node, start, n);
            if (!end) {
                break;
            }
            start = end + 1;
        }
        t.node_row[node] = static_cast<int16_t>(i);
    }
}

field_table build(const field_row *rows, int count) {
    field_table t{};
    t.rows = rows;
    t.count = count;
    static_assert(field_table::index_size >= 2 * QVXML_SETUP_FIELD_COUNT);
    for (int i = 0; i < count; ++i) {
        size_t n = std::strlen(rows[i].path);
        if (n > t.longest_path) {
            t.longest_path = n;
        }
        uint32_t slot = path_hash(rows[i].path, n) & (field_table::index_size - 1);
        while (t.index[slot] != 0) {
            slot = (slot + 1) & (field_table::index_size - 1);
        }
        t.index[slot] = static_cast<int16_t>(i + 1);
    }
    build_tree(t);
    return t;
}

} // namespace

const field_table &values_table() {
    static const field_table table = build(values_rows, QVXML_VALUES_FIELD_COUNT);
    return table;
}

const field_table &setup_table() {
    static const field_table table = build(setup_rows, QVXML_SETUP_FIELD_COUNT);
    return table;
}

int find_field(const field_table &table, const char *path, size_t path_length) {
    if (path_length > table.longest_path) {
        return -1;
    }
    uint32_t slot = path_hash(path, path_length) & (field_table::index_size - 1);
    while (int row = table.index[slot]) {
        const char *candidate = table.rows[row - 1].path;
        if (std::strncmp(candidate, path, path_length) == 0 && candidate[path_length] == '\0') {
            return row - 1;
        }
        slot = (slot + 1) & (field_table::index_size - 1);
    }
    return -1;
}

int find_child(const field_table &table, int parent, const char *name, size_t name_length) {
    if (parent < 0) {
        return -1;
    }
    uint32_t slot = child_hash(parent, name, name_length) & (field_table::index_size - 1);
    while (int node = table.child_index[slot]) {
        --node;
        if (table.node_parent[node] == parent && table.node_name_length[node] == name_length &&
            std::memcmp(table.node_name[node], name, name_length) == 0) {
            return node;
        }
        slot = (slot + 1) & (field_table::index_size - 1);
    }
    return -1;
}

} // namespace qvxml
