// A setup from the command line: the fields to change, whether the device can
// take them, the detail dialog's checks without a dialog, and the comparison
// with what the device reports afterwards.
//
// Threading: pure functions apart from the prompts and the ping they are
// given; call them from the command's thread.
#ifndef KELVO_CLI_SETUPPLAN_H
#define KELVO_CLI_SETUPPLAN_H

#include "hostadapter.h"
#include "qvudps.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::cli {

// The longest name the detail dialog writes, in UTF-8 bytes.
inline constexpr std::size_t kMaxNameBytes = 33;

// Only the fields that are set change; everything else keeps the value the
// device reported.
struct SetupChanges {
    std::optional<std::string> ip, mask, gateway, name, filterIp, filterMask;
    std::optional<std::uint16_t> port;
    std::optional<bool> dhcp, tcpSetup, tea, nvt;

    bool empty() const {
        return !ip && !mask && !gateway && !name && !filterIp && !filterMask && !port && !dhcp &&
               !tcpSetup && !tea && !nvt;
    }
};

// One device of a batch: its MAC address (upper-case ":" form), what to
// change and where it came from (a line of the settings file, or 0).
struct PlannedSetup {
    std::string mac;
    SetupChanges changes;
    int line = 0;
};

// The most devices one command sets, and the largest settings file read.
inline constexpr std::size_t kMaxBatch = 10000;
inline constexpr std::size_t kMaxSettingsFileBytes = 4 << 20;

// Reads a settings file: CSV with a header line naming the columns as
// `search --format csv` does. "MAC" is required; "Name", "IP", "Mask",
// "Gateway" and "Port" are settings (an empty cell keeps the device's
// value); the other columns of the search output are read-only and ignored,
// any other column is an error. A cell that the CSV output protected with a
// leading "'" is read without it. Every row is checked; false with one line
// per faulty row in `errors` (nothing is planned then).
bool ParseSettingsCsv(const std::string &text, std::vector<PlannedSetup> &plan,
                      std::vector<std::string> &errors);

// The addresses FIRST to LAST ("FIRST" alone: as many as needed) for
// `count` devices, in order. False with `error` when the range is malformed,
// runs past 255.255.255.255 or holds fewer than `count` addresses.
bool AddressRange(const std::string &text, std::size_t count, std::vector<std::string> &out,
                  std::string *error);

// `base` with every field that `over` sets taken from `over`.
SetupChanges Merged(const SetupChanges &base, const SetupChanges &over);

// `changes` without the fields whose value the device already reports, so
// that a file edited from search output only sends what differs.
SetupChanges OnlyDifferences(const qvudps_module &device, const SetupChanges &changes);

// Why the device cannot take `changes` (a switch or field its record says it
// does not have, as the detail dialog disables it; a name longer than
// kMaxNameBytes, which is refused rather than cut; an address and mask that
// host::AddressFault refuses, unless DHCP will be on), or "" when it can.
std::string UnsupportedChange(const qvudps_module &device, const SetupChanges &changes);

// Why the new addresses of `settings`, handed out from one --ip-range, do
// not all lie in the subnet of the first one (each compared under its own
// mask), or "" when they do.
std::string RangeFault(const std::vector<qvudps_module> &settings);

// The ping test of every address, at most kParallelPings at once; each
// distinct address is pinged once. The answers by address.
inline constexpr std::size_t kParallelPings = 32;
std::map<std::string, int> PingAll(const std::vector<std::string> &addresses,
                                   const host::PingFunction &ping);

// Writes `changes` into `record`; the name is cut to kMaxNameBytes bytes
// without splitting a character.
void ApplyChanges(qvudps_module &record, const SetupChanges &changes);

// One line per changed field whose value `reported` (from a new search) does
// not show, for example "ip: expected 10.0.0.7, device reports 10.0.0.5".
// Addresses are not compared while DHCP is being switched on.
std::vector<std::string> Mismatches(const qvudps_module &reported, const SetupChanges &changes);

// The detail dialog's questions before a setup, asked through `prompts`:
// port 99 always; with `checkAddress`, and DHCP off in `record` (the settings
// about to be sent), the address checks against the PC's network and the ping
// test of the new address. The ping is skipped when the address does not
// change, since the device itself would answer it. Returns false when a check
// failed or a question was not answered Yes.
bool AskBeforeSetup(const qvudps_module &record, const std::string &currentIp, bool checkAddress,
                    host::HostPrompts &prompts, const host::PingFunction &ping,
                    std::vector<std::string> *notes);

} // namespace kelvo::cli

#endif
