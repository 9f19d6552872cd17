// Helpers shared by the document model tests.
#ifndef KELVO_TESTS_XML_MODEL_SUPPORT_H
#define KELVO_TESTS_XML_MODEL_SUPPORT_H

#include "model/xml_model.h"

#include <memory>
#include <string>

namespace kelvo::test {

std::string read_data(const char *name);

// Heap copies: the structures are too large for comfortable stack use.
struct values_doc {
    std::unique_ptr<qvxml_values> v = std::make_unique<qvxml_values>();
    qvxml_values_counts c{};
    int result = 0;
};
struct setup_doc {
    std::unique_ptr<qvxml_setup> s = std::make_unique<qvxml_setup>();
    qvxml_setup_counts c{};
    int result = 0;
};

values_doc parse_values(const std::string &text);
setup_doc parse_setup(const std::string &text);

// "<?xml ...?>\n<Root>" + body + "</Root>"
std::string document(const std::string &body);

} // namespace kelvo::test

#endif
