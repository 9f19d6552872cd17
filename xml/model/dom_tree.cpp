// Queries on a parsed DOM document and its release.
#include "model/dom_document.h"

#include <cstring>

namespace qvxml {

qvxml_dom_node *dom_child(const qvxml_dom_node *node, const char *name) {
    if (!node || !name) {
        return nullptr;
    }
    for (qvxml_dom_node *head = node->child; head; head = head->sibling) {
        if (std::strcmp(head->name, name) == 0) {
            return head;
        }
    }
    return nullptr;
}

qvxml_dom_node *dom_next(const qvxml_dom_node *node) {
    return node ? node->next : nullptr;
}

const char *dom_attr(const qvxml_dom_node *node, const char *name) {
    if (!node || !name) {
        return nullptr;
    }
    for (size_t i = 0; i < node->attribute_count; ++i) {
        if (std::strcmp(node->attributes[i].name, name) == 0) {
            return node->attributes[i].value;
        }
    }
    const qvxml_dom_node *root = node;
    while (root->parent) {
        root = root->parent;
    }
    if (!root->document) {
        return nullptr;
    }
    for (const attribute_declaration &a : root->document->attribute_declarations) {
        if (a.has_default && a.element == node->name && a.attribute == name) {
            return a.value.c_str();
        }
    }
    return nullptr;
}

const char *dom_text(const qvxml_dom_node *node) {
    return node && node->text ? node->text : "";
}

const char *dom_error(const qvxml_dom_node *root) {
    return root && root->document ? root->document->error : "";
}

void dom_free(qvxml_dom_node *root) {
    if (root) {
        delete root->document;
    }
}

} // namespace qvxml
