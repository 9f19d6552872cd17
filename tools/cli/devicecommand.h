// The commands that reach devices: the route options (--relay, --direct,
// --no-names, --all, --filter-file), the search, the picking of one device
// by its MAC address, and the setup key of a device that signs setups.
//
// Threading: as command.h.
#ifndef KELVO_CLI_DEVICECOMMAND_H
#define KELVO_CLI_DEVICECOMMAND_H

#include "command.h"
#include "setupplan.h"

#include <vector>

namespace kelvo::cli {

// Which devices a search returns.
enum class Listing {
    Visible, // those the MAC filter keeps (every one with --all)
    Every,   // every one that answered: a device named by its MAC is picked
             // from these, and a hidden one is refused by name
};

class DeviceCommand : public Command {
public:
    using Command::Command;

protected:
    void DeclareShared(CommandLine &cl) override { cl.addRoute(); }
    int ReadShared(CommandLine &cl, Context &ctx) override;

    // Asks the relay to answer as one before anything is sent through it.
    static int RelayAnswers(Context &ctx);
    // kExitUsage, said on the console, when `what` would go to a device found
    // by --direct.
    static int PasswordAllowed(Context &ctx, const std::string &what);

    // Searches (`names`: fetch missing names over HTTP) and returns the
    // devices of `listing`.
    static int SearchDevices(Context &ctx, bool names, Listing listing,
                             std::vector<qvudps_module> &devices);
    // Searches and picks the device `mac` (canonical) among every one that
    // answered; `missingCode` with `missing` on the console when it did not.
    static int SearchOne(Context &ctx, const std::string &mac, bool names,
                         const std::string &missing, int missingCode, qvudps_module &device);
    // Searches and picks the device `macText`; kExitNotFound when it did not
    // answer (or the MAC filter hides it).
    static int FindDevice(Context &ctx, const std::string &macText, bool names,
                          qvudps_module &device);
    // Searches again; kExitOk when the device `mac` answers and shows
    // `changes` (when given). The record it reported goes to `reported`.
    static int Confirm(Context &ctx, const std::string &mac, const SetupChanges *changes,
                       bool names, qvudps_module *reported = nullptr);

    // Asked before any search: --user signs setups with the password.
    static int SetupKeyAllowed(Context &ctx, const CommandLine &cl);
    // The key --user and the setup password make; kExitFailed, said on the
    // console, when it cannot be computed.
    static int SetupKey(Context &ctx, const CommandLine &cl, qvudps_tea_key &key);
    // Sets the library's setup key when `device` signs setups with it.
    static int PrepareSetupKey(Context &ctx, const qvudps_module &device, const CommandLine &cl);
    // `rc`, with a hint when `device` may have ignored a wrongly signed setup.
    static int WithKeyHint(Context &ctx, const qvudps_module &device, int rc);
};

} // namespace kelvo::cli

#endif
