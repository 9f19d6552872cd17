// upload: a configuration document to a device.
#include "transfercommand.h"

#include <memory>

namespace kelvo::cli {

namespace {

class UploadCommand : public TransferCommand {
public:
    UploadCommand()
        : TransferCommand(
              {"upload",
               "send a configuration document to a device",
               "Send a configuration document to a device. The device's own document is "
               "read first, and sensor entries whose ID the device does not have are "
               "left out of the upload; the library's upload filter applies as well. A "
               "file that is not well-formed XML, or larger than 16 MiB, is refused before "
               "anything is sent.",
               "MAC|IP[:PORT] FILE",
               2,
               "upload needs a MAC or IP address and a file",
               {{{"no-sensor-filter"}, "Send the sensor entries unchanged."}}}) {}

private:
    int Execute(CommandLine &cl, Context &ctx) override {
        const std::string path = cl.argument(1);
        std::string error;
        if (!CheckUploadFile(path, &error)) {
            ctx.console.error(error);
            return kExitFailed;
        }
        Endpoint endpoint;
        if (const int rc = TransferTarget(ctx, cl.argument(0), Needs::ConfigDocument, endpoint);
            rc != kExitOk)
            return rc;
        const int rc =
            UploadConfig(endpoint, path, !cl.isSet("no-sensor-filter"), login, ctx.console, &error);
        if (rc != kExitOk) {
            ctx.console.error(error);
            return rc;
        }
        ctx.console.out << "uploaded " << path << " to " << endpoint.host << ":" << endpoint.port
                        << "\n";
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> NewUploadCommand() {
    return std::make_unique<UploadCommand>();
}

} // namespace kelvo::cli
