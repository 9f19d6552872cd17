// The operating-system layer under the host helpers. Each platform has its own
// implementation files; the portable code calls only these.
#ifndef KELVO_HOSTPLATFORM_H
#define KELVO_HOSTPLATFORM_H

#include "hostadapter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::host::platform {

// The up IPv4 adapters in the system's order with their first address, mask
// and default gateway. Loopback and interfaces that are down are left out; a text is empty where
// the adapter has no such value. Lists the network namespace of the calling thread. Returns 0, or
// -1 when the system's list cannot be read.
int ListAdapters(std::vector<AdapterEntry> &out);

// The default gateway of `iface` in a kernel routing table in the text form of
// /proc/net/route: the default route with the lowest metric. "" when none.
std::string DefaultGatewayFromRouteTable(const std::string &table, const std::string &iface);

enum class IcmpSocket {
    Any,      // a datagram socket where allowed, else a raw socket
    Datagram, // unprivileged ICMP datagram socket only
    Raw,      // raw socket only (needs the privilege)
};

// One ping test to `address` (network byte order) with the given socket kind,
// at most `requests` echo requests of `timeoutMs` each. Returns 0, 1 or -1 as
// PingAddress does.
int Ping(std::uint32_t address, IcmpSocket kind, int requests, int timeoutMs);

// Full path of the running program, "" when unknown.
std::string ProgramPath();

enum class ReadResult { Ok, Missing, Refused };
// The whole of the regular file at `path`, at most `limit` bytes. A FIFO, a
// device or a folder is refused at once, without waiting on it, and so is a
// file larger than `limit`; `error` then says why. Missing: no such file.
ReadResult ReadRegularFile(const std::string &path, std::size_t limit, std::string &bytes,
                           std::string *error);

// Zeroes `n` bytes at `p` in a way the compiler keeps, though nothing reads
// them afterwards.
void ZeroSecretBytes(void *p, std::size_t n);

} // namespace kelvo::host::platform

#endif
