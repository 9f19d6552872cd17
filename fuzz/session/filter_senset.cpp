// The sensor filter cuts entries out of a configuration file the user picked,
// with plain substring searches and in-place moves: any bytes at all. The
// device's setup (sensors 1, 3 and 0) is loaded once; every input then runs
// through FilterSenSet as SendSetupFile hands it over.
#include "require.h"

#include <mvxapi.h>
#include <qvxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char device_setup[] = "<?xml version=\"1.0\"?>\n<Root>\n<SenSet>\n"
                            "<Entry><ID>1</ID><Name>a</Name></Entry>\n"
                            "<Entry><ID>3</ID><Name>b</Name></Entry>\n"
                            "<Entry><ID>0</ID><Name>c</Name></Entry>\n"
                            "</SenSet>\n</Root>\n";

mvxapi::TIoXmlCustom *session() {
    static mvxapi::TIoXmlCustom *s = [] {
        auto *created = new mvxapi::TIoXmlCustom(nullptr);
        created->host = "127.0.0.1";
        created->port = 9; // never contacted: the document is loaded
        if (created->Open() != 0)
            std::abort();
        const int handle = created->GetHandle();
        if (qvxml_load_setup(handle, device_setup, static_cast<int>(sizeof device_setup - 1)) != 0)
            std::abort();
        qvxml_setup *setup = nullptr;
        qvxml_setup_counts *counts = nullptr;
        if (qvxml_wait_finish(handle, 10, 5) != 0 ||
            qvxml_get_setup_cache(handle, &setup, &counts) != 0 || counts->SenSet != 3)
            std::abort();
        return created;
    }();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    mvxapi::TIoXmlCustom *s = session();
    // A file read whole, with the NUL the upload puts behind it.
    std::vector<char> buffer(data, data + size);
    buffer.push_back('\0');
    const std::string before(buffer.data());
    long length = static_cast<long>(size);
    const int rc = s->FilterSenSet(buffer.data(), length);
    FUZZ_REQUIRE(rc == 0 || rc == -8);
    if (rc != 0)
        return 0;
    FUZZ_REQUIRE(length >= 0 && length <= static_cast<long>(size));
    if (before.find("<SenSet>") == std::string::npos) {
        FUZZ_REQUIRE(length == static_cast<long>(size));
        return 0;
    }
    FUZZ_REQUIRE(buffer[static_cast<size_t>(length)] == '\0');
    const std::string after(buffer.data(), static_cast<size_t>(length));
    // Only whole entries leave: the text before the first <SenSet> is kept,
    // the result ends with a closing root tag, and filtering again changes
    // nothing.
    const size_t head = before.find("<SenSet>");
    FUZZ_REQUIRE(after.compare(0, head, before, 0, head) == 0);
    FUZZ_REQUIRE(after.size() >= 7 &&
                 (after.ends_with("</Root>") || after.ends_with("</set:Root>")));
    std::vector<char> again(after.begin(), after.end());
    again.push_back('\0');
    long again_length = length;
    FUZZ_REQUIRE(s->FilterSenSet(again.data(), again_length) == 0);
    FUZZ_REQUIRE(again_length == length);
    FUZZ_REQUIRE(std::memcmp(again.data(), after.data(), after.size()) == 0);
    return 0;
}
