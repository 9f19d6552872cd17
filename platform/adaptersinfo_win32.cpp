#include "adaptersinfo_win32.h"

#include <windows.h>

namespace qv {

namespace {

using GetAdaptersInfoFn = ULONG(WINAPI *)(PIP_ADAPTER_INFO, PULONG);

GetAdaptersInfoFn adapters_info() {
    static const GetAdaptersInfoFn fn = [] {
        HMODULE dll = LoadLibraryW(L"iphlpapi.dll");
        return dll ? reinterpret_cast<GetAdaptersInfoFn>(
                         reinterpret_cast<void *>(GetProcAddress(dll, "GetAdaptersInfo")))
                   : nullptr;
    }();
    return fn;
}

} // namespace

ULONG read_adapters_info(std::vector<unsigned char> &buffer) {
    const GetAdaptersInfoFn get = adapters_info();
    if (get == nullptr)
        return ERROR_DLL_NOT_FOUND;
    // The list may grow between the size query and the read: retry a few times.
    buffer.resize(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && rc == ERROR_BUFFER_OVERFLOW; ++tries) {
        if (size > buffer.size())
            buffer.resize(size);
        size = static_cast<ULONG>(buffer.size());
        rc = get(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &size);
    }
    return rc;
}

} // namespace qv
