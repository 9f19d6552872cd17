#include "hostplatform.h"

#include "adaptersinfo_win32.h"
#include "qvtext.h"

#include <windows.h>

#include <vector>

namespace kelvo::host::platform {

namespace {

std::string text(const IP_ADDR_STRING &a) {
    const std::string s(qv::field_text(a.IpAddress.String));
    return s == "0.0.0.0" ? std::string() : s;
}

} // namespace

int ListAdapters(std::vector<AdapterEntry> &out) {
    std::vector<unsigned char> buffer;
    const ULONG rc = qv::read_adapters_info(buffer);
    if (rc == ERROR_NO_DATA)
        return 0;
    if (rc != NO_ERROR)
        return -1;
    for (auto *a = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()); a != nullptr; a = a->Next) {
        if (a->Type == MIB_IF_TYPE_LOOPBACK)
            continue;
        AdapterEntry e;
        e.name = qv::field_text(a->AdapterName);
        // The first address counts; an adapter without one is not up.
        e.ip = text(a->IpAddressList);
        if (e.ip.empty())
            continue;
        e.mask = qv::field_text(a->IpAddressList.IpMask.String);
        e.gateway = text(a->GatewayList);
        out.push_back(std::move(e));
    }
    return 0;
}

} // namespace kelvo::host::platform
