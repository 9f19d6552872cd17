// The system's adapter list, read by GetAdaptersInfo from "iphlpapi.dll",
// which is loaded once at run time so that the program starts even where the
// helper library is missing. Shared by the discovery library (broadcast
// targets) and the host helpers (the PC's own settings).
#ifndef QV_ADAPTERSINFO_WIN32_H
#define QV_ADAPTERSINFO_WIN32_H

#include <winsock2.h>
// After the socket headers, which must come before windows.h.
#include <iphlpapi.h>

#include <vector>

namespace qv {

// Fills `buffer` with the adapter records (the first at its start) and
// returns the system's result: NO_ERROR, ERROR_NO_DATA when there is no
// adapter, ERROR_DLL_NOT_FOUND when the helper library cannot be used, or
// the error of the last try.
ULONG read_adapters_info(std::vector<unsigned char> &buffer);

} // namespace qv

#endif
