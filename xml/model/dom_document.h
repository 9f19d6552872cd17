// The document a DOM parse builds: its elements, its declarations and its
// error. Private to the DOM parser (dom.cpp) and its queries (dom_tree.cpp).
#ifndef QVXML_MODEL_DOM_DOCUMENT_H
#define QVXML_MODEL_DOM_DOCUMENT_H

#include "model/xml_model.h"

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qvxml {

struct dom_element {
    qvxml_dom_node node{};
    std::string name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<qvxml_dom_node::attribute> attribute_view;
    dom_element *parent = nullptr;
    qvxml_dom_node *last_child = nullptr; // document order
    qvxml_dom_node *last_head = nullptr;  // last head of a same-name group
};

struct attribute_declaration {
    std::string element;
    std::string attribute;
    std::string value;
    bool has_default = false;
    bool cdata = true;
};

struct qvxml_dom_document {
    std::string source; // the parsed text (UTF-8)
    std::deque<dom_element> elements;
    std::map<std::string, std::string, std::less<>> entities;
    std::map<std::string, std::string, std::less<>> parameter_entities;
    std::vector<attribute_declaration> attribute_declarations;
    std::vector<std::pair<std::string, std::string>> instructions; // target, content
    char error[128] = "";
    size_t expanded = 0; // bytes produced by entity expansion so far
};

} // namespace qvxml

#endif
