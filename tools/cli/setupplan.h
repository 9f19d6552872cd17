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

// Why the device cannot take `changes` (a switch or field its record says it
// does not have, as the detail dialog disables it), or "" when it can.
std::string UnsupportedChange(const qvudps_module &device, const SetupChanges &changes);

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
