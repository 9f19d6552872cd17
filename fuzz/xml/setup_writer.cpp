// The structure writer turns a setup structure, whatever its fields hold,
// into a document: it must keep to its buffer, clamp counts, escape texts so
// the document stays well-formed, and read back as the same structure.
#include "model_checks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// ASCII only: a structure holding broken UTF-8 gives a document that no
// parser reads, and the writer passes texts on unchanged apart from escaping.
constexpr char alphabet[] = "abcXYZ019 &<>\"';#=/?!-_.";
constexpr int list_count = sizeof(qvxml_setup_counts) / sizeof(int32_t);

char *field(qvxml_setup *setup, const qvxml::field_row &r, int slot) {
    return reinterpret_cast<char *>(setup) + r.offset + static_cast<size_t>(slot) * r.size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < list_count)
        return 0;
    const qvxml::field_table &table = qvxml::setup_table();
    // Static: allocating these anew for every input costs more than the
    // work under test.
    static qvxml_setup setup_storage;
    static qvxml_setup_counts counts_storage;
    static qvxml_setup again_storage;
    static qvxml_setup_counts again_counts_storage;
    static std::vector<char> small(20000);
    static std::vector<char> big(1 << 20);
    qvxml_setup *setup = &setup_storage;
    qvxml_setup_counts *counts = &counts_storage;
    std::memset(setup, 0, sizeof *setup);
    auto *count = reinterpret_cast<int32_t *>(counts);
    // Counts from -2 to 70, so that negative and too-large counts are met.
    for (int i = 0; i < list_count; ++i)
        count[i] = static_cast<int32_t>(data[i] % 73) - 2;
    // Then records: row, slot, length, text bytes (mapped to the alphabet).
    size_t p = list_count;
    while (p + 3 <= size) {
        const qvxml::field_row &r = table.rows[data[p] % table.count];
        const int slot = data[p + 1] % r.capacity;
        size_t n = std::min<size_t>(data[p + 2], r.size - 1);
        p += 3;
        n = std::min(n, size - p);
        char *f = field(setup, r, slot);
        std::memset(f, 0, r.size);
        for (size_t i = 0; i < n; ++i)
            f[i] = alphabet[data[p + i] % (sizeof alphabet - 1)];
        p += n;
    }

    // Into the request-sized buffer: fits, or refused with an empty text.
    std::fill(small.begin(), small.end(), 'X');
    const int rc =
        qvxml::write_setup_xml(setup, counts, small.data(), static_cast<int>(small.size()));
    if (rc < 0) {
        FUZZ_REQUIRE(rc == -1 && small[0] == '\0');
    } else {
        FUZZ_REQUIRE(rc < static_cast<int>(small.size()) && small[static_cast<size_t>(rc)] == '\0');
        FUZZ_REQUIRE(std::strlen(small.data()) == static_cast<size_t>(rc));
    }

    // Without a size limit the document always fits, parses cleanly and
    // gives back every field (except texts that fill their field to the
    // last byte: the parser keeps at most size - 2 characters).
    const int n = qvxml::write_setup_xml(setup, counts, big.data(), static_cast<int>(big.size()));
    FUZZ_REQUIRE(n > 0);
    if (rc >= 0)
        FUZZ_REQUIRE(n == rc && std::memcmp(big.data(), small.data(), static_cast<size_t>(n)) == 0);
    qvxml_setup *again = &again_storage;
    FUZZ_REQUIRE(
        qvxml::parse_setup(big.data(), static_cast<size_t>(n), again, &again_counts_storage) == 0);
    const auto *count_again = reinterpret_cast<const int32_t *>(&again_counts_storage);
    for (int i = 0; i < table.count; ++i) {
        const qvxml::field_row &r = table.rows[i];
        int slots = 1;
        if (r.list >= 0) {
            slots = std::clamp<int32_t>(count[r.list], 0, r.capacity);
            FUZZ_REQUIRE(count_again[r.list] == slots);
        }
        for (int s = 0; s < slots; ++s) {
            const char *before = field(setup, r, s);
            const char *after = field(again, r, s);
            if (std::strlen(before) <= static_cast<size_t>(r.size) - 2)
                FUZZ_REQUIRE(std::strcmp(before, after) == 0);
        }
    }
    return 0;
}
