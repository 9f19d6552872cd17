// values.xml as a device (or anything on its HTTP port) sends it: the SAX
// pass, the prefixed-root rewrite and, for the meter models, the DOM pass.
#include "model_checks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The library hands the parser exactly the received bytes, without a NUL.
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    std::memcpy(text.get(), data, size);
    // Static: allocating the structures anew for every input costs more
    // than the parse itself.
    static qvxml_values values;
    static qvxml_values_counts counts;
    const int rc = qvxml::parse_values(text.get(), size, &values, &counts);
    FUZZ_REQUIRE(size == 0 ? rc == -1 : rc >= 0);
    FUZZ_REQUIRE(std::memcmp(text.get(), data, size) == 0); // the caller's text is not changed
    fuzzcheck::check_structure(qvxml::values_table(), &values,
                               reinterpret_cast<const int32_t *>(&counts),
                               sizeof(qvxml_values_counts) / sizeof(int32_t));
    return 0;
}
