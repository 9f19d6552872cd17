#include "hostplatform.h"

#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>

#include <vector>

namespace kelvo::host::platform {

namespace {

using GetAdaptersInfoFn = ULONG(WINAPI *)(PIP_ADAPTER_INFO, PULONG);

// Loaded at run time, so the program starts even where the helper library
// is missing and then reports the list as unreadable.
GetAdaptersInfoFn adaptersInfo() {
    static const GetAdaptersInfoFn fn = [] {
        HMODULE dll = LoadLibraryW(L"iphlpapi.dll");
        return dll ? reinterpret_cast<GetAdaptersInfoFn>(
                         reinterpret_cast<void *>(GetProcAddress(dll, "GetAdaptersInfo")))
                   : nullptr;
    }();
    return fn;
}

std::string text(const IP_ADDR_STRING &a) {
    const std::string s(a.IpAddress.String, strnlen(a.IpAddress.String, sizeof a.IpAddress.String));
    return s == "0.0.0.0" ? std::string() : s;
}

} // namespace

int ListAdapters(std::vector<AdapterEntry> &out) {
    const GetAdaptersInfoFn get = adaptersInfo();
    if (get == nullptr)
        return -1;
    // The list may grow between the size query and the read: retry a few times.
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 4 && rc == ERROR_BUFFER_OVERFLOW; ++tries) {
        if (size > buffer.size())
            buffer.resize(size);
        size = static_cast<ULONG>(buffer.size());
        rc = get(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &size);
    }
    if (rc == ERROR_NO_DATA)
        return 0;
    if (rc != NO_ERROR)
        return -1;
    for (auto *a = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()); a != nullptr; a = a->Next) {
        if (a->Type == MIB_IF_TYPE_LOOPBACK)
            continue;
        AdapterEntry e;
        e.name = std::string(a->AdapterName, strnlen(a->AdapterName, sizeof a->AdapterName));
        // The first address counts; an adapter without one is not up.
        e.ip = text(a->IpAddressList);
        if (e.ip.empty())
            continue;
        e.mask = std::string(
            a->IpAddressList.IpMask.String,
            strnlen(a->IpAddressList.IpMask.String, sizeof a->IpAddressList.IpMask.String));
        e.gateway = text(a->GatewayList);
        out.push_back(std::move(e));
    }
    return 0;
}

} // namespace kelvo::host::platform
