// Whole-document upload from a file, with the sensor filter. The filter works
// on the text with plain substring searches so that everything it keeps goes
// out byte for byte as the file holds it.
#include "session_internal.h"
#include "xmlviews.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string_view>

namespace mvxapi {

namespace {

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};

} // namespace

int TIoXmlCustom::SendSetupFile(const char *path, bool filter) {
    ClearOwnError();
    if (state != xsReady)
        return -2;
    state = xsSendSetup;
    const int rc = [&]() -> int {
        std::unique_ptr<FILE, FileCloser> file(fopen(path, "rb"));
        if (!file)
            return -5;
        if (fseek(file.get(), 0, SEEK_END) != 0)
            return -7;
        const long size = ftell(file.get());
        if (size <= 0 || fseek(file.get(), 0, SEEK_SET) != 0)
            return -7;
        // Refused before it is read: no configuration comes near this size.
        if (size > QVXML_UPLOAD_TEXT_MAX) {
            qvxml_error_record record;
            detail::MakeErrorRecord(record, 12, "File larger than 16 MiB");
            SetOwnError(record);
            return -1;
        }
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
        if (!buffer)
            return -6;
        if (fread(buffer.get(), 1, static_cast<size_t>(size), file.get()) !=
            static_cast<size_t>(size))
            return -7;
        buffer[static_cast<size_t>(size)] = '\0';
        long length = size;
        if (filter) {
            const int frc = FilterSenSet(buffer.get(), length);
            if (frc < 0)
                return frc;
        }
        if (qvxml_send_setup_xml(handle, buffer.get(), static_cast<int>(length)) == 0)
            return 0;
        // The library refuses a file that is not well-formed XML before
        // anything is sent: to the caller that is no setup document.
        qvxml_error_record record{};
        qvxml_error(handle, &record);
        return record.code == 45 ? -8 : -1;
    }();
    if (rc != 0)
        state = xsReady;
    return rc;
}

int TIoXmlCustom::FindSenSetEntry(char *&root_end, char *&cursor, char *&entry_end, long &id) {
    root_end = strstr(cursor, "</Root>");
    if (root_end) {
        root_end += 7;
    } else {
        root_end = strstr(cursor, "</set:Root>");
        if (!root_end)
            return -8;
        root_end += 11;
    }
    const char *senset_end = strstr(cursor, "</SenSet>");
    if (!senset_end || senset_end >= root_end)
        return -8;
    char *entry = strstr(cursor, "<Entry>");
    if (!entry || entry >= senset_end)
        return -1;
    cursor = entry;
    char *end = strstr(cursor, "</Entry>");
    if (!end || end >= senset_end)
        return -1;
    entry_end = end + 8;
    const char *tag = strstr(cursor, "<ID>");
    if (!tag || tag >= senset_end)
        return -1;
    id = strtol(tag + 4, nullptr, 10);
    return 0;
}

namespace {

// The first occurrence of a marker at or after a position, remembered: the
// filter's positions only move forward, so each marker's text is scanned
// once, however many entries there are.
class MarkerScan {
public:
    MarkerScan(std::string_view text, std::string_view marker) : haystack(text), needle(marker) {}
    // npos when there is none.
    size_t From(size_t from) {
        if (!scanned || from > foundAt) {
            // A whole-marker search: '<' starts a marker's first byte
            // everywhere in XML, so a search by first byte stops at every tag.
            const char *at = nullptr;
            if (from <= haystack.size()) {
                const auto end = haystack.end();
                const auto hit =
                    std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), end,
                                std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
                at = hit == end ? nullptr : haystack.data() + (hit - haystack.begin());
            }
            foundAt = at ? static_cast<size_t>(at - haystack.data()) : std::string_view::npos;
            scanned = true;
        }
        return foundAt;
    }

private:
    std::string_view haystack;
    std::string_view needle;
    size_t foundAt = 0;
    bool scanned = false;
};

// One forward pass with the same searches as FindSenSetEntry: what is kept is
// moved down over what was dropped as the pass goes, so the searches from the
// read position always see the file's own bytes. 0, or -8 for a file whose
// sensor list or root does not end; `dropped` tells whether an entry left.
int FilterSenSetPass(const qvxml_setup *setup, const qvxml_setup_counts *counts, char *text,
                     long &length, bool &dropped) {
    const std::string_view all(text, strlen(text));
    constexpr size_t npos = std::string_view::npos;
    dropped = false;
    size_t read = all.find("<SenSet>");
    if (read == npos)
        return all.find("</SenSet>") != npos ? -8 : 0;
    MarkerScan rootTag(all, "</Root>"), prefixedRootTag(all, "</set:Root>"),
        sensetEnd(all, "</SenSet>"), entryTag(all, "<Entry>"), entryEnd(all, "</Entry>"),
        idTag(all, "<ID>");
    size_t write = read; // everything before is kept in place
    auto keep = [&](size_t upto) {
        memmove(text + write, text + read, upto - read);
        write += upto - read;
        read = upto;
    };
    for (;;) {
        size_t rootEnd = rootTag.From(read);
        if (rootEnd != npos) {
            rootEnd += 7;
        } else {
            rootEnd = prefixedRootTag.From(read);
            if (rootEnd == npos)
                return -8;
            rootEnd += 11;
        }
        const size_t setEnd = sensetEnd.From(read);
        if (setEnd == npos || setEnd >= rootEnd)
            return -8;
        const size_t entry = entryTag.From(read);
        const size_t end = entry == npos || entry >= setEnd ? npos : entryEnd.From(entry);
        const size_t id = end == npos || end >= setEnd ? npos : idTag.From(entry);
        if (id == npos || id >= setEnd) {
            keep(rootEnd);
            break;
        }
        keep(entry);
        if (SetupHasSensorId(setup, counts, strtol(text + id + 4, nullptr, 10))) {
            keep(end + 8);
        } else {
            read = end + 8; // the entry is dropped
            dropped = true;
        }
    }
    length = static_cast<long>(write);
    // The library reads the text up to its NUL; stale bytes behind the root
    // end must not reach it.
    text[length] = '\0';
    return 0;
}

} // namespace

// A dropped entry can join the bytes around it into a new tag ("<" + "Entry>"
// of a broken file), which a second upload of the result would filter again:
// passes repeat until nothing more leaves, so filtering the result changes
// nothing. A well-formed file takes two passes; a file still changing after
// many is refused as no setup document.
int TIoXmlCustom::FilterSenSet(char *text, long &length) {
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache(handle, &setup, &counts) == -1)
        return -1;
    constexpr int max_passes = 64;
    for (int pass = 0; pass < max_passes; ++pass) {
        bool dropped = false;
        const int rc = FilterSenSetPass(setup, counts, text, length, dropped);
        if (rc != 0 || !dropped)
            return rc;
    }
    return -8;
}

bool TIoXmlCustom::HasSensorId(long id) const {
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache(handle, &setup, &counts) == -1)
        return false;
    return SetupHasSensorId(setup, counts, id);
}

} // namespace mvxapi
