// Whole-document upload from a file, with the sensor filter. The filter works
// on the text with plain substring searches so that everything it keeps goes
// out byte for byte as the file holds it.
#include "session_internal.h"
#include "xmlviews.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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
        if (length > INT32_MAX)
            length = INT32_MAX; // the library refuses it by its own limit
        return qvxml_send_setup_xml(handle, buffer.get(), static_cast<int>(length)) == -1 ? -1 : 0;
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

int TIoXmlCustom::FilterSenSet(char *text, long &length) {
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache(handle, &setup, &counts) == -1)
        return -1;
    char *cursor = strstr(text, "<SenSet>");
    if (!cursor)
        return strstr(text, "</SenSet>") ? -8 : 0;
    char *root_end = nullptr;
    char *entry_end = nullptr;
    long id = 0;
    int rc;
    while ((rc = FindSenSetEntry(root_end, cursor, entry_end, id)) == 0) {
        if (HasSensorId(id)) {
            cursor = entry_end;
        } else {
            // Drop "<Entry>" .. "</Entry>"; the rest up to the root end moves
            // forward over it.
            memmove(cursor, entry_end, static_cast<size_t>(root_end - entry_end));
        }
    }
    if (rc == -8)
        return -8;
    length = root_end - text;
    // The library reads the text up to its NUL; stale bytes behind the root
    // end left by the moves must not reach it.
    text[length] = '\0';
    return 0;
}

bool TIoXmlCustom::HasSensorId(long id) const {
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache(handle, &setup, &counts) == -1)
        return false;
    return SetupHasSensorId(setup, counts, id);
}

} // namespace mvxapi
