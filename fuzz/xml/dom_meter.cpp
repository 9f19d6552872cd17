// The meter dialect's DOM parser reads values.xml from the device with its
// own code (entities, DOCTYPE, UTF-16): the tree must be consistent, and the
// meter pass may only append entries, never write outside them.
#include "model_checks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void check_tree(const qvxml::qvxml_dom_node *root, size_t size) {
    FUZZ_REQUIRE(std::strlen(qvxml::dom_error(root)) < 128);
    std::vector<const qvxml::qvxml_dom_node *> stack{root};
    size_t nodes = 0;
    while (!stack.empty()) {
        const qvxml::qvxml_dom_node *n = stack.back();
        stack.pop_back();
        FUZZ_REQUIRE(++nodes <= size + 1);
        FUZZ_REQUIRE(n->name != nullptr && qvxml::dom_text(n) != nullptr);
        for (size_t i = 0; i < n->attribute_count; ++i) {
            const char *v = qvxml::dom_attr(n, n->attributes[i].name);
            FUZZ_REQUIRE(v != nullptr);
        }
        qvxml::dom_attr(n, "id");
        if (n->next)
            FUZZ_REQUIRE(std::strcmp(n->next->name, n->name) == 0);
        if (n->sibling)
            FUZZ_REQUIRE(std::strcmp(n->sibling->name, n->name) != 0);
        for (const qvxml::qvxml_dom_node *c = n->child; c; c = c->ordered) {
            FUZZ_REQUIRE(c->parent == n);
            stack.push_back(c);
        }
        if (n->child)
            FUZZ_REQUIRE(qvxml::dom_child(n, n->child->name) == n->child);
    }
}

// The meter pass may only change the entry fields of the sensor and input
// lists, in the slots from the earlier counts on; every other field, and
// the time word in front, stays as it was.
void check_only_appended(const qvxml::field_table &table, const qvxml_values &before,
                         const qvxml_values &after, int sensors, int inputs) {
    FUZZ_REQUIRE(std::memcmp(&before, &after, table.rows[0].offset) == 0);
    const auto *a = reinterpret_cast<const char *>(&before);
    const auto *b = reinterpret_cast<const char *>(&after);
    for (int i = 0; i < table.count; ++i) {
        const qvxml::field_row &r = table.rows[i];
        const int first = r.list == 2 ? sensors : r.list == 0 ? inputs : r.capacity;
        for (int s = 0; s < std::min<int>(first, r.capacity); ++s) {
            const size_t at = r.offset + static_cast<size_t>(s) * r.size;
            FUZZ_REQUIRE(std::memcmp(a + at, b + at, r.size) == 0);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const char *text = reinterpret_cast<const char *>(data + 2);
    const size_t length = size - 2;
    std::vector<char> copy(text, text + length);

    qvxml::qvxml_dom_node *root = qvxml::dom_parse(text, length);
    FUZZ_REQUIRE(length == 0 || std::memcmp(copy.data(), text, length) == 0);
    if (root) {
        check_tree(root, length);
        qvxml::dom_free(root);
    }

    // The meter pass over a structure that already holds some entries
    // (the first two bytes say how many), every field marked.
    const qvxml::field_table &table = qvxml::values_table();
    static qvxml_values values_storage;
    static qvxml_values before;
    static qvxml_values_counts counts_storage;
    qvxml_values *values = &values_storage;
    qvxml_values_counts *counts = &counts_storage;
    for (int i = 0; i < table.count; ++i) {
        const qvxml::field_row &r = table.rows[i];
        for (int s = 0; s < r.capacity; ++s)
            std::memcpy(reinterpret_cast<char *>(values) + r.offset + s * r.size, "m", 2);
    }
    std::memcpy(values->Agent_Model, "45", 3);
    const int sensors = data[0] % (QVXML_LIST_MAX_SenSet + 1);
    const int inputs = data[1] % (QVXML_LIST_MAX_BinaryInSet + 1);
    auto *count = reinterpret_cast<int32_t *>(counts);
    count[0] = inputs;
    count[1] = 3;
    count[2] = sensors;
    before = *values;
    qvxml::meter_dialect_pass(text, length, values, counts);
    FUZZ_REQUIRE(count[0] >= inputs && count[0] <= QVXML_LIST_MAX_BinaryInSet);
    FUZZ_REQUIRE(count[1] == 3);
    FUZZ_REQUIRE(count[2] >= sensors && count[2] <= QVXML_LIST_MAX_SenSet);
    check_only_appended(table, before, *values, sensors, inputs);
    fuzzcheck::check_structure(table, values, count, 3);
    return 0;
}
