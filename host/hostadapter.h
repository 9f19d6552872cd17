// The PC's own network settings and the plausibility checks of device
// addresses against them.
//
// Threading: the Local* values are written only by ReadLocalAdapter, which the
// program calls once at start-up on the user-interface thread; afterwards they
// are only read. CheckNewAddress and CheckReachable run on the thread that owns
// the prompts (the user-interface thread in the GUI) and call the prompts
// synchronously on it; CheckReachable blocks that thread for the ping test
// (about two seconds at most). None of them is safe to run while another
// thread calls ReadLocalAdapter.
#ifndef KELVO_HOSTADAPTER_H
#define KELVO_HOSTADAPTER_H

#include "hostprompts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelvo::host {

// One IPv4 adapter as the system lists it: its first address and mask and its
// default gateway, as dotted texts ("" where the system has none).
struct AdapterEntry {
    std::string name; // only for diagnostics; the checks never use it
    std::string ip;
    std::string mask;
    std::string gateway;
};

// Fills `out` with the adapters in the system's order. Returns 0, or -1 when
// the adapter information cannot be read.
using AdapterLister = std::function<int(std::vector<AdapterEntry> &out)>;

// Sends the ping test to a dotted address text; returns as PingAddress does.
using PingFunction = std::function<int(const std::string &ipText)>;

// The chosen adapter. Address and mask in network byte order, both 0 when no adapter was chosen;
// the texts are empty when unknown and the gateway text is empty when the adapter has none.
extern std::uint32_t LocalAddress;
extern std::uint32_t LocalNetmask;
extern std::string LocalIpText;
extern std::string LocalNetmaskText;
extern std::string LocalGatewayText;
extern std::string LocalAdapterName;

// Reads the system's adapters and chooses the first one that has an address
// and a mask and whose address is not "0.0.0.0" (loopback is never listed).
// Returns 0 (also when no adapter qualifies) or -1 when the adapter
// information could not be read; the Local* values are reset first either way.
int ReadLocalAdapter();
// The same with another source of adapters (tests, diagnostics).
int ReadLocalAdapter(const AdapterLister &lister);

// The up IPv4 adapters of this PC in the system's order (loopback left out).
// Returns 0, or -1 when the list cannot be read.
int ListLocalAdapters(std::vector<AdapterEntry> &out);

// The adapter the address checks should use for a device that is to get the
// address `newIp` and now has `currentIp`: the first usable one (address and
// mask known, address not 0.0.0.0) whose subnet will hold the device, else
// the first whose subnet holds it now, else the first with a default gateway,
// else the first usable one. Returns its index, or -1 when none is usable.
int ChooseAdapter(const std::vector<AdapterEntry> &adapters, const std::string &newIp,
                  const std::string &currentIp = {});

// Makes `adapter` the one the checks use: sets the Local* values from it.
void UseAdapter(const AdapterEntry &adapter);

// Lists the adapters and uses the one named `name`, or, when `name` is empty,
// the one ChooseAdapter picks for `deviceIp`. Returns 0; -1 when the list
// cannot be read; -2 when no usable up adapter has that name. The Local*
// values are reset first either way.
int UseAdapterFor(const std::string &deviceIp, const std::string &name,
                  const AdapterLister &lister);
int UseAdapterFor(const std::string &deviceIp, const std::string &name = {});
// The same for a device that is to move from `currentIp` to `newIp`
// (ChooseAdapter's rule); `lister` empty: the system's adapters.
int UseAdapterForMove(const std::string &newIp, const std::string &currentIp,
                      const std::string &name, const AdapterLister &lister);

// Why a device must not be given the address `ipText` with the mask
// `maskText`, or "" when it may: a text the strict dotted-decimal reader
// refuses, a mask that is not ones followed by zeros (or is 0.0.0.0), an
// address 0.x.x.x or from 224.0.0.0 up, and the network or broadcast address
// of the subnet the two make (subnets of /31 and /32 have neither). The
// detail dialog and kelvo-cli refuse the same settings with it.
std::string AddressFault(const std::string &ipText, const std::string &maskText);

// The prefix length of a subnet mask (ones followed by zeros), or -1.
int PrefixLength(const std::string &maskText);

// "lan2, network 10.20.0.0/16": the adapter the checks use and the network
// they compare with, for messages ("" when no adapter was chosen).
std::string CheckedNetworkText();

// Vets the address, mask and gateway texts typed for a device before they are
// written to it. Shows "Some of network parameters is not correct?" when a
// text does not parse, and asks before using an address outside the PC's
// network, its network address or its broadcast address. Returns true to go on.
bool CheckNewAddress(const std::string &ipText, const std::string &maskText,
                     const std::string &gatewayText, HostPrompts &prompts);

// Warns before a device at `ipText` is opened when it lies outside the PC's
// network and does not answer the ping test. Only 192.168.x.x devices seen
// from a 192.168.x.x PC are checked. Returns 0 to go on, -2 when the address
// does not parse ("Device IP address is not correct!" shown), -3 when the user
// declined. `ping` is PingAddress unless a test replaces it.
int CheckReachable(const std::string &ipText, HostPrompts &prompts);
int CheckReachable(const std::string &ipText, HostPrompts &prompts, const PingFunction &ping);

// The PC's network as the out-of-range question names it: the dotted network
// address with its last character replaced by "X" (192.168.1.0 -> 192.168.1.X,
// 192.168.1.128 -> 192.168.1.12X).
std::string NetworkText(std::uint32_t address, std::uint32_t netmask);

} // namespace kelvo::host

#endif
