// Shared by the document parser and the upload filter: one SAX1 run of
// libxml2 over a memory text, and the prefixed-root rewrite.
#ifndef QVXML_MODEL_SAX_PARSE_H
#define QVXML_MODEL_SAX_PARSE_H

#include <libxml/parser.h>

#include <cstddef>
#include <memory>

namespace qvxml {

struct sax_handlers {
    startElementSAXFunc start;
    endElementSAXFunc end;
    charactersSAXFunc text;
};

// xmlInitParser and the version check, once per process.
void init_xml_library();

// Runs the SAX1 parser with only the three handlers (error messages are
// swallowed). Result: 0 clean, > 0 libxml2's error code of a well-formedness
// error (everything before it was delivered), -1 when the parser cannot run.
int sax_run(const char *text, size_t length, sax_handlers handlers, void *context);
// From inside a handler: ends the current run now; no handler is called
// afterwards, and the run's result says nothing about the rest of the text.
void sax_stop();

// When the root start tag is "<val:Root ...>" (kind 0) or "<set:Root ...>"
// (kind 1): a copy of the text with that tag blanked and "<Root>" written at
// its start, same length. Otherwise (or without memory) NULL.
std::unique_ptr<char[]> rewrite_prefixed_root(const char *text, size_t length, int kind);

} // namespace qvxml

#endif
