// values.xml as a device (or anything on its HTTP port) sends it: the SAX
// pass, the prefixed-root rewrite and, for the meter models, the DOM pass.
#include "model_checks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<char[]> text;
    static qvxml_values values;
    static qvxml_values_counts counts;
    fuzzcheck::parse_checked(data, size, text, qvxml::parse_values, qvxml::values_table(), values,
                             counts);
    return 0;
}
