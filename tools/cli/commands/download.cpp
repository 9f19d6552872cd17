// download: one device's configuration document to a file.
#include "transfercommand.h"

#include "devicetext.h"
#include "qvfile.h"

#include <cerrno>
#include <filesystem>
#include <memory>

namespace kelvo::cli {

namespace {

class DownloadCommand : public TransferCommand {
public:
    DownloadCommand()
        : TransferCommand(
              {"download",
               "save a device's configuration document to a file",
               "Save a device's configuration document (setup.xml) to a file, byte for byte "
               "as the device sends it, once it arrived complete and well-formed. Without "
               "-o the file is named as the main window suggests (the device name, or "
               "IP_with_underscores_PORT, with \".xml\") and an existing file of that name "
               "is kept unless --force. The file is readable by its owner only: it holds "
               "the device's passwords.",
               "MAC|IP[:PORT]",
               1,
               "download needs one MAC or IP address",
               {{{"o", "output"}, "Write to FILE (replacing it).", "FILE"},
                {{"force"}, "Without -o: replace an existing file of the suggested name."}}}) {}

private:
    int Execute(CommandLine &cl, Context &ctx) override {
        Endpoint endpoint;
        std::string name;
        if (const int rc =
                TransferTarget(ctx, cl.argument(0), Needs::ConfigDocument, endpoint, &name);
            rc != kExitOk)
            return rc;
        SaveItem item;
        item.device = endpoint;
        item.path = cl.value("o");
        SaveOptions options;
        options.login = login;
        options.parallel = 1;
        if (item.path.empty()) {
            item.path = SafeXmlFileName(
                SuggestedFileName(name, endpoint.host, static_cast<unsigned>(endpoint.port)));
            options.overwrite = cl.isSet("force");
            std::error_code ec;
            const auto type = std::filesystem::symlink_status(item.path, ec).type();
            if (type == std::filesystem::file_type::symlink) {
                ctx.console.error(qv::write_error_text(item.path, {qv::write_step::create, ELOOP}));
                return kExitFailed;
            }
            if (!options.overwrite && type != std::filesystem::file_type::not_found) {
                ctx.console.error(item.path + " exists already: give --force to replace it, or -o");
                return kExitFailed;
            }
        }
        std::vector<SaveItem> items{item};
        SaveSetupDocuments(items, options, ctx.console);
        if (!items[0].saved) {
            ctx.console.error("Downloading configuration... " + items[0].error);
            return items[0].code;
        }
        ctx.console.out << "wrote " << items[0].path << " (" << items[0].bytes << " bytes)\n";
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> NewDownloadCommand() {
    return std::make_unique<DownloadCommand>();
}

} // namespace kelvo::cli
