#include "model_test_support.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvo::test {

std::string read_data(const char *name) {
    std::ifstream in(std::string(KELVO_XML_MODEL_DATA) + "/" + name, std::ios::binary);
    if (!in) {
        throw std::runtime_error(std::string("missing test data ") + name);
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

values_doc parse_values(const std::string &text) {
    values_doc d;
    d.result = qvxml::parse_values(text.data(), text.size(), d.v.get(), &d.c);
    return d;
}

setup_doc parse_setup(const std::string &text) {
    setup_doc d;
    d.result = qvxml::parse_setup(text.data(), text.size(), d.s.get(), &d.c);
    return d;
}

std::string document(const std::string &body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>" + body + "</Root>";
}

} // namespace kelvo::test
