// The XML documents a simulated device serves, kept as a small element tree.
#ifndef KELVO_DEVSIM_DOCUMENTS_H
#define KELVO_DEVSIM_DOCUMENTS_H

#include "devsim.h"
#include "qvtext.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace kelvo::devsim {

struct Node {
    std::string name;
    std::string text;
    std::vector<Node> kids;

    Node &add(const std::string &child, const std::string &value = std::string());
    // A child holding these leaves, in this order.
    using Leaves = std::initializer_list<std::pair<const char *, std::string>>;
    Node &add(const std::string &child, Leaves leaves);
    void add_all(Leaves leaves);
    Node *child(const std::string &child);
    const Node *child(const std::string &child) const;
    // The Entry whose Idx text is idx, or nullptr.
    Node *entry(const std::string &idx);
};

// The limits of a device's lists; the documents must stay below the 20000-byte
// buffers of the client.
constexpr unsigned kMaxListEntries = 12;

// Builds the setup tree of a device in its default state.
Node build_setup_tree(const DeviceConfig &config);

// Writes the documents from the setup tree and the device's current settings
// (which own Agent identity and the Network section).
std::string setup_document(const Node &setup, const DeviceConfig &config);
std::string values_document(const Node &setup, const DeviceConfig &config);

// What an uploaded setup document changed of the settings outside the tree.
struct PostResult {
    bool parsed = false;
    bool name_changed = false;
    bool address_changed = false;     // ip, port or setup port: the listeners move
    std::vector<std::string> applied; // paths taken, e.g. "Root_Network_Name"
    std::vector<std::string> ignored; // paths refused (unknown or read-only)
};

// Applies the elements of an uploaded setup document to the tree and the
// settings. Read-only elements (Agent, live readings, clock) are ignored.
PostResult apply_setup_post(Node &setup, DeviceConfig &config, const std::string &body);

using qv::xml_escape;
bool is_meter_model(const std::string &model);

// `s` without the blanks, tabs and line ends around it.
std::string trimmed(const std::string &s);

} // namespace kelvo::devsim

#endif
