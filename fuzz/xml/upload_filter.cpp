// The upload filter runs over configuration files the user picks, of any
// content. It must keep to its buffer, leave the text alone when it refuses
// it, and produce a document that filtering again does not change.
#include "model_checks.h"
#include "xml_internal.h"

#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// The first byte picks the buffer's spare room, so results that only just
// fit (or do not) are reached.
int filter(const std::string &input, int spare, std::string &out) {
    const int capacity = static_cast<int>(input.size()) + spare;
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(capacity)]);
    std::memset(buffer.get(), 0, static_cast<size_t>(capacity));
    std::memcpy(buffer.get(), input.data(), input.size());
    const int rc = qvxml::filter_upload_xml(1, buffer.get(), capacity);
    FUZZ_REQUIRE(rc == 0 || rc == -1);
    const void *nul = std::memchr(buffer.get(), 0, static_cast<size_t>(capacity));
    if (rc == -1) {
        FUZZ_REQUIRE(std::memcmp(buffer.get(), input.data(), input.size()) == 0);
        return rc;
    }
    FUZZ_REQUIRE(nul != nullptr);
    out.assign(buffer.get(), static_cast<const char *>(nul) - buffer.get());
    FUZZ_REQUIRE(out.compare(0, declaration.size(), declaration) == 0);
    return rc;
}

bool well_formed(const std::string &text) {
    if (text.empty() || text.size() > INT_MAX)
        return false;
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr)
        return false;
    xmlFreeDoc(doc);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const int spare = data[0] < 128 ? data[0] : 20000;
    // The filter reads up to the first NUL, as callers pass texts.
    std::string input(reinterpret_cast<const char *>(data + 1), size - 1);
    input = input.substr(0, input.find('\0'));

    std::string once;
    if (filter(input, spare, once) != 0)
        return 0;

    // A document that parses cleanly filters to a fixed point.
    // Only for well-formed documents: after a fatal error libxml2 still hands
    // some character data to the callbacks, and that text is copied as it
    // comes.
    if (!well_formed(input))
        return 0;
    FUZZ_REQUIRE(once.find("\n\n", declaration.size() - 1) == std::string::npos);
    std::string twice;
    FUZZ_REQUIRE(filter(once, 20000, twice) == 0);
    // The line feed that stood before a moved Idx stays where it was, so a
    // second run may move line feeds; nothing else changes.
    auto without_line_feeds = [](std::string t) {
        t.erase(std::remove(t.begin(), t.end(), '\n'), t.end());
        return t;
    };
    FUZZ_REQUIRE(without_line_feeds(twice) == without_line_feeds(once));
    return 0;
}
