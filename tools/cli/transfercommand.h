// The commands that talk to a device's web server (download, upload, backup,
// values): the web server login after their own options, then the route.
//
// Threading: as command.h.
#ifndef KELVO_CLI_TRANSFERCOMMAND_H
#define KELVO_CLI_TRANSFERCOMMAND_H

#include "devicecommand.h"
#include "transfer.h"

namespace kelvo::cli {

class TransferCommand : public DeviceCommand {
public:
    using DeviceCommand::DeviceCommand;

protected:
    // What the device must offer to be the target of this transfer.
    enum class Needs { ConfigDocument, WebInterface };

    void DeclareShared(CommandLine &cl) override;
    int ReadShared(CommandLine &cl, Context &ctx) override;

    // The device a transfer goes to, by MAC (searched for; it must offer
    // `needs`) or by IP[:PORT]. `name` gets the device's name when it was
    // searched for.
    int TransferTarget(Context &ctx, const std::string &target, Needs needs, Endpoint &endpoint,
                       std::string *name = nullptr) const;

    HttpLogin login; // set by ReadShared
};

} // namespace kelvo::cli

#endif
