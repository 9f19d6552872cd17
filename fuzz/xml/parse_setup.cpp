// setup.xml from a device, or a configuration file the user picked: the SAX
// pass into the setup structure, and the slot-level parse the worker runs.
#include "model_checks.h"
#include "xml_internal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    std::memcpy(text.get(), data, size);
    // Static: allocating the structures anew for every input costs more
    // than the parse itself.
    static qvxml_setup setup;
    static qvxml_setup_counts counts;
    const int rc = qvxml::parse_setup(text.get(), size, &setup, &counts);
    FUZZ_REQUIRE(size == 0 ? rc == -1 : rc >= 0);
    FUZZ_REQUIRE(std::memcmp(text.get(), data, size) == 0);
    fuzzcheck::check_structure(qvxml::setup_table(), &setup,
                               reinterpret_cast<const int32_t *>(&counts),
                               sizeof(qvxml_setup_counts) / sizeof(int32_t));

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
