#include "hostplatform.h"

#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>

#include <icmpapi.h>

namespace kelvo::host::platform {

namespace {

using CreateFn = HANDLE(WINAPI *)();
using CloseFn = BOOL(WINAPI *)(HANDLE);
using EchoFn = DWORD(WINAPI *)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD,
                               DWORD);

struct IcmpApi {
    CreateFn create = nullptr;
    CloseFn close = nullptr;
    EchoFn echo = nullptr;
};

template <typename Fn> Fn symbol(HMODULE dll, const char *name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
}

// The echo API from ICMP.DLL, loaded at run time; needs no privilege, unlike
// a raw socket.
const IcmpApi &icmp() {
    static const IcmpApi api = [] {
        IcmpApi a;
        HMODULE dll = LoadLibraryW(L"icmp.dll");
        if (dll == nullptr)
            dll = LoadLibraryW(L"iphlpapi.dll");
        if (dll != nullptr) {
            a.create = symbol<CreateFn>(dll, "IcmpCreateFile");
            a.close = symbol<CloseFn>(dll, "IcmpCloseHandle");
            a.echo = symbol<EchoFn>(dll, "IcmpSendEcho");
        }
        return a;
    }();
    return api;
}

} // namespace

int Ping(std::uint32_t address, IcmpSocket, int requests, int timeoutMs) {
    const IcmpApi &api = icmp();
    if (api.create == nullptr || api.close == nullptr || api.echo == nullptr)
        return -1;
    HANDLE h = api.create();
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    char payload[32] = "kelvo address check";
    // Room for one reply, its data and an ICMP error, as the API asks.
    unsigned char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 64];
    int result = 1;
    for (int i = 0; i < requests && result == 1; ++i) {
        const DWORD n = api.echo(h, address, payload, sizeof payload, nullptr, reply, sizeof reply,
                                 static_cast<DWORD>(timeoutMs));
        if (n > 0 && reinterpret_cast<PICMP_ECHO_REPLY>(reply)->Status == IP_SUCCESS)
            result = 0;
        else if (n == 0 && GetLastError() != IP_REQ_TIMED_OUT && GetLastError() != ERROR_TIMEOUT &&
                 GetLastError() != IP_DEST_HOST_UNREACHABLE)
            result = -1;
    }
    api.close(h);
    return result;
}

} // namespace kelvo::host::platform
