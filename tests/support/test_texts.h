// Text fields of the C structures against what they should hold, as a table.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

namespace kelvo::test {

struct field_text {
    const char *got;
    const char *want;
};

// Each field against its text; a failure names the row of the table.
inline void expect_texts(std::initializer_list<field_text> fields) {
    for (const field_text &f : fields) {
        EXPECT_STREQ(f.got, f.want) << "row " << &f - fields.begin();
    }
}

} // namespace kelvo::test
