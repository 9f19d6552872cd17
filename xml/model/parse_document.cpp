// Parsing a slot's downloaded or loaded document into its cached results.
#include "model/xml_model.h"
#include "xml_internal.h"

#include <cstdlib>

namespace qvxml {
namespace {

// Allocates the missing results of a kind; either both exist afterwards or
// nothing changed that an earlier parse left.
template <typename S, typename C> bool ensure(S *&structure, C *&counts) {
    S *s = structure ? structure : static_cast<S *>(std::calloc(1, sizeof(S)));
    C *c = counts ? counts : static_cast<C *>(std::calloc(1, sizeof(C)));
    if (!s || !c) {
        if (s != structure) {
            std::free(s);
        }
        if (c != counts) {
            std::free(c);
        }
        return false;
    }
    structure = s;
    counts = c;
    return true;
}

} // namespace

int parse_document(int handle, const char *text, int length, int kind) {
    qvxml_callbacks callbacks{};
    void *user_data = nullptr;
    slot_callbacks(handle, &callbacks, &user_data);
    if (callbacks.custom_parser) {
        if (callbacks.custom_parser(handle, user_data, text, length, kind) != 0) {
            record_error(handle, error_code::xml_not_valid);
            return -1;
        }
        return 0;
    }
    parse_results *results = slot_results(handle);
    if (!results) {
        record_error(handle, error_code::no_memory);
        return -1;
    }
    void *structure = nullptr;
    void *counts = nullptr;
    if (kind == kind_values) {
        if (!ensure(results->values, results->values_counts)) {
            record_error(handle, error_code::no_memory);
            return -1;
        }
        structure = results->values;
        counts = results->values_counts;
    } else {
        if (!ensure(results->setup, results->setup_counts)) {
            record_error(handle, error_code::no_memory);
            return -1;
        }
        structure = results->setup;
        counts = results->setup_counts;
    }
    size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    int result = kind == kind_values
                     ? parse_values(text, size, results->values, results->values_counts)
                     : parse_setup(text, size, results->setup, results->setup_counts);
    if (callbacks.after_parse) {
        int reported = result; // the callback cannot turn a failed parse into success
        callbacks.after_parse(handle, user_data, text, length, kind, structure, counts, &reported);
    }
    if (result < 0) {
        record_error(handle, error_code::xml_not_valid);
        return -1;
    }
    return 0;
}

} // namespace qvxml
