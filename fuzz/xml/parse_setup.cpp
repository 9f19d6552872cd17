// setup.xml from a device, or a configuration file the user picked: the SAX
// pass into the setup structure, and the slot-level parse the worker runs.
#include "model_checks.h"
#include "xml_internal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<char[]> text;
    static qvxml_setup setup;
    static qvxml_setup_counts counts;
    const int rc = fuzzcheck::parse_checked(data, size, text, qvxml::parse_setup,
                                            qvxml::setup_table(), setup, counts);

    // The worker's entry point over the same bytes gives the same structure.
    if (size < static_cast<size_t>(qvxml::buffer_size)) {
        constexpr int handle = 1;
        qvxml::parse_lock();
        const int prc =
            qvxml::parse_document(handle, text.get(), static_cast<int>(size), qvxml::kind_setup);
        FUZZ_REQUIRE(prc == (rc < 0 ? -1 : 0));
        const qvxml::parse_results *r = qvxml::slot_results(handle);
        FUZZ_REQUIRE(r != nullptr);
        if (prc == 0) {
            FUZZ_REQUIRE(std::memcmp(r->setup, &setup, sizeof setup) == 0);
            FUZZ_REQUIRE(std::memcmp(r->setup_counts, &counts, sizeof counts) == 0);
        }
        qvxml::parse_unlock();
    }
    return 0;
}
