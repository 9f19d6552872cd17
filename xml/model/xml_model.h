/*
 * Internal interface of the document model: parsing values.xml and setup.xml
 * into the structures of qvxml_settings.h, writing a setup structure as XML,
 * the upload filter, and the small DOM parser used for the meter dialect.
 * Not installed. C++ only.
 *
 * Nothing here takes the library's locks. The SAX parser itself is
 * re-entrant (every call owns its parser context), so the functions without a
 * handle may run on any thread at the same time; parse_document touches the
 * slot's cached results and must run with the parse lock held.
 */
#ifndef QVXML_XML_MODEL_H
#define QVXML_XML_MODEL_H

#include "qvxml_settings.h"

#include <stddef.h>
#include <stdint.h>

namespace qvxml {

constexpr int kind_values = 0;
constexpr int kind_setup = 1;

// ---- parsing ----

// Parses the document of `kind` (0 values, 1 setup) into the results of slot
// `handle` (slot_results), allocating them at the first parse. Runs the
// custom-parser callback instead when one is set, and the after-parse callback
// afterwards. `text` is never modified: a prefixed root ("<val:Root",
// "<set:Root") is rewritten on a private copy. Errors recorded in the slot:
// no_memory (earlier results kept), xml_not_valid (empty text, the parser
// could not run, or the custom parser refused). Caller holds the parse lock.
int parse_document(int handle, const char *text, int length, int kind);

// The same parse without a handle or callbacks: clears *values/*counts, fills
// them and, for values, runs the meter-dialect pass. Result: the SAX parser's
// result (0 clean, > 0 a well-formedness error after which everything before
// it is stored), or -1 when the parser could not run (empty text).
int parse_values(const char *text, size_t length, qvxml_values *values,
                 qvxml_values_counts *counts);
int parse_setup(const char *text, size_t length, qvxml_setup *setup, qvxml_setup_counts *counts);

// Path table of a kind: `rows` fields in structure order.
struct field_row {
    const char *path;  // "Root_SenSet_Entry_Min"
    uint32_t offset;   // byte offset of the field (slot 0) in the structure
    uint16_t size;     // bytes of one slot
    uint16_t capacity; // slots: 1 for a plain field, the list capacity for entry fields
    int16_t list;      // index of the list in the counts record, -1 for a plain field
};
struct field_table {
    const field_row *rows;
    int count;
    size_t longest_path;
    // Open-addressing hash index of the paths: row + 1 per slot, 0 = empty.
    static constexpr uint32_t index_size = 512;
    int16_t index[index_size];
    // The same paths as a tree of element names, so that a parser can follow
    // the document element by element. Node 0 is the document; its one child
    // is "Root".
    static constexpr int node_max = 256;
    int node_count;
    int16_t node_row[node_max]; // row of a field's node, -1 for a group
    const char *node_name[node_max];
    uint16_t node_name_length[node_max];
    int16_t node_parent[node_max];
    int16_t child_index[index_size]; // node + 1, keyed by parent and name
};
const field_table &values_table();
const field_table &setup_table();
// Row number of an exact path, -1 when the path is not stored.
int find_field(const field_table &table, const char *path, size_t path_length);
// The node of element `name` below node `parent`, -1 when no stored path
// continues that way.
int find_child(const field_table &table, int parent, const char *name, size_t name_length);

// ---- writing ----

// Writes the setup structure as a complete XML document (text and NUL) into
// `output`. Field texts are escaped (& < >); counts outside 0..capacity are
// clamped. Result: the text length, or -1 when the document does not fit into
// `capacity` bytes (output is then an empty text; the caller records too_long).
int write_setup_xml(const qvxml_setup *setup, const qvxml_setup_counts *counts, char *output,
                    int capacity);

// Rewrites the setup document in `text` (up to its NUL or `capacity` bytes) in
// place into the form that is uploaded: read-only and dangerous elements
// removed, each entry's Idx moved to the front of its entry, texts escaped,
// runs of line feeds collapsed, a new XML declaration in front. Errors
// recorded in slot `handle`, text left unchanged: xml_not_valid (parser could
// not run), no_memory, too_long (result longer than capacity - 1 or the
// 20000-byte output, or more than 1000 Idx elements).
int filter_upload_xml(int handle, char *text, int capacity);

// ---- small DOM parser ----

struct qvxml_dom_document;

// One element. Strings are owned by the document.
struct qvxml_dom_node {
    const char *name;
    struct attribute {
        const char *name;
        const char *value;
    };
    const attribute *attributes; // attribute_count pairs, in document order
    size_t attribute_count;
    const char *text;        // character data directly inside, decoded
    qvxml_dom_node *next;    // next sibling of the same name
    qvxml_dom_node *sibling; // head of the next group of same-named siblings
    qvxml_dom_node *ordered; // next sibling in document order
    qvxml_dom_node *child;   // first child
    qvxml_dom_node *parent;
    qvxml_dom_document *document; // set on the root only
};

// Parses `length` bytes (UTF-8, or UTF-16 with a byte order mark). Returns the
// root element, also after an error (then holding what was built before it,
// with the error text set); an empty root (name "") when there is no element.
// NULL only when memory ran out. The caller's text is not changed.
qvxml_dom_node *dom_parse(const char *text, size_t length);
qvxml_dom_node *dom_child(const qvxml_dom_node *node, const char *name);
qvxml_dom_node *dom_next(const qvxml_dom_node *node);
// The attribute, else its ATTLIST default, else NULL.
const char *dom_attr(const qvxml_dom_node *node, const char *name);
// Never NULL.
const char *dom_text(const qvxml_dom_node *node);
// "" after a clean parse, else "[error near line N]: message" (< 128 bytes).
const char *dom_error(const qvxml_dom_node *root);
void dom_free(qvxml_dom_node *root);

// Bounds of entity expansion per document: bytes produced by expanding
// entities and nesting depth of references.
constexpr size_t dom_entity_expansion_max = 1024 * 1024;
constexpr int dom_entity_depth_max = 32;

// ---- meter dialect ----

// Appends the Meter and Input elements of a values document to the structure
// when its Agent_Model is 45, 55, 57 or 58 (entries beyond the capacities are
// ignored).
void meter_dialect_pass(const char *text, size_t length, qvxml_values *values,
                        qvxml_values_counts *counts);

// Fixed-point text of value * 10^exponent ("215", -1 -> "21.5"); at most 31
// characters (cut there). Returns the text length.
int fixed_point_text(long long value, int exponent, char *out, size_t capacity);

} // namespace qvxml

#endif
