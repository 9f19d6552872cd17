/*
 * Internal interface between the transport/worker half of the XML client
 * library (the .cpp files in xml/) and the document model (xml/model/). Not installed,
 * not part of the public header. C++ only.
 */
#ifndef QVXML_XML_INTERNAL_H
#define QVXML_XML_INTERNAL_H

#include "error_codes.h"
#include "qvxml.h"

#include <stddef.h>

namespace qvxml {

// Sizes shared by both halves.
constexpr int slot_count = QVXML_ID_COUNT_MAX; // slots 0..99, 0 = the library
constexpr int buffer_size = QVXML_BUFFER_SIZE; // every document/request buffer

// Records `code` (with the current errno and its text) into the error record of
// slot `handle` (0 = the library-wide record), under that slot's mutex.
// Safe to call at any time, also before qvxml_init and for handles that are
// not open; an out-of-range handle is recorded in slot 0. errno is preserved.
void record_error(int handle, error_code code);

// Copies an error record under the mutex of slot `handle`.
void copy_error(int handle, qvxml_error_record *destination, const qvxml_error_record *source);

// The per-slot parse results. parse_document allocates a missing structure or
// counts block with calloc/malloc; the library frees them with free() on
// qvxml_close. The pointers are only touched with the parse lock held.
struct parse_results {
    qvxml_values *values;
    qvxml_values_counts *values_counts;
    qvxml_setup *setup;
    qvxml_setup_counts *setup_counts;
};
parse_results *slot_results(int handle);
// Frees the four results of a slot (free()) and clears the pointers. Called by
// qvxml_close; tests of the model may call it to clean up a slot they used.
void slot_free_results(int handle);

// The callback table and user data of a slot, copied under its mutex.
void slot_callbacks(int handle, qvxml_callbacks *out, void **user_data_out);

// The library-wide parse lock (recursive). The worker holds it around every
// parse_document call; other code that runs the SAX parser may take it too.
void parse_lock();
void parse_unlock();

// Standard Base64 (RFC 4648, "=" padding, no line breaks). Writes the text and
// its NUL into `out`; returns the text length, or -1 (writing nothing) when
// 4*ceil(length/3)+1 bytes do not fit into out_capacity.
int base64_encode(const void *data, size_t length, char *out, size_t out_capacity);

} // namespace qvxml

#endif
