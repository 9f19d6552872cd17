// Checks shared by the document fuzz targets: every field of a parsed
// structure ends inside its bytes and every count stays within its list.
#ifndef KELVO_FUZZ_MODEL_CHECKS_H
#define KELVO_FUZZ_MODEL_CHECKS_H

#include "model/xml_model.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace fuzzcheck {

inline const char *field_at(const void *structure, const qvxml::field_row &r, int slot) {
    return static_cast<const char *>(structure) + r.offset + static_cast<size_t>(slot) * r.size;
}

// Fields hold at most size - 2 characters and a NUL; a list's count never
// names a slot outside its arrays.
inline void check_structure(const qvxml::field_table &table, const void *structure,
                            const int32_t *counts, int list_count) {
    for (int i = 0; i < list_count; ++i)
        FUZZ_REQUIRE(counts[i] >= 0);
    for (int i = 0; i < table.count; ++i) {
        const qvxml::field_row &r = table.rows[i];
        if (r.list >= 0) {
            FUZZ_REQUIRE(r.list < list_count);
            FUZZ_REQUIRE(counts[r.list] <= r.capacity);
        }
        for (int s = 0; s < r.capacity; ++s) {
            const char *f = field_at(structure, r, s);
            FUZZ_REQUIRE(std::memchr(f, 0, r.size) != nullptr);
        }
    }
}

// One document through the SAX pass as the library runs it: over a copy of
// exactly the received bytes, without a NUL (`text`), into `document` and
// `counts`, which the caller keeps across inputs since allocating them anew
// costs more than the parse. Checks the result, that the text is not changed
// and the structure's bounds; returns the parse's result.
template <class Document, class Counts>
int parse_checked(const uint8_t *data, size_t size, std::unique_ptr<char[]> &text,
                  int (*parse)(const char *, size_t, Document *, Counts *),
                  const qvxml::field_table &table, Document &document, Counts &counts) {
    text.reset(new char[size ? size : 1]);
    std::memcpy(text.get(), data, size);
    const int rc = parse(text.get(), size, &document, &counts);
    FUZZ_REQUIRE(size == 0 ? rc == -1 : rc >= 0);
    FUZZ_REQUIRE(std::memcmp(text.get(), data, size) == 0);
    check_structure(table, &document, reinterpret_cast<const int32_t *>(&counts),
                    sizeof(Counts) / sizeof(int32_t));
    return rc;
}

} // namespace fuzzcheck

#endif
