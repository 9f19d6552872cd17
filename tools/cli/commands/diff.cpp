// diff: two configuration documents, files or devices, setting by setting.
#include "confighistory.h"
#include "transfercommand.h"

#include <memory>

namespace kelvo::cli {

namespace {

class DiffCommand : public TransferCommand {
public:
    DiffCommand()
        : TransferCommand(
              {"diff",
               "compare two configuration documents or devices by setting",
               "Compare two configuration documents setting by setting: one line per "
               "setting that differs, by element path, entries matched by Idx; layout, "
               "line ends, element order and readings (clock, sensor values) are not "
               "settings. A and B are files, or devices by MAC or IP[:PORT] whose document "
               "is downloaded. Exit code 0 when equal, 1 when they differ, 2 on error.",
               "A B",
               2,
               "diff needs two files or devices",
               {{{"format"}, "Output format: text (default) or json.", "FORMAT"}, kShowSecrets}}) {}

private:
    int ReadOptions(CommandLine &cl, Context &ctx) override {
        if (cl.isSet("format") && cl.value("format") != "text" && cl.value("format") != "json") {
            ctx.console.error("--format must be text or json");
            return kDiffError;
        }
        return kExitOk;
    }

    // Every failure before this is a bad command line, 2 as a diff error is;
    // a device that cannot be fetched is told by RunDiff as 2 as well.
    int Execute(CommandLine &cl, Context &ctx) override {
        const auto fetch = [&](const std::string &target, std::string &document) {
            Endpoint endpoint;
            if (const int rc = TransferTarget(ctx, target, Needs::ConfigDocument, endpoint);
                rc != kExitOk)
                return rc;
            std::vector<SaveItem> items(1);
            items[0].device = endpoint;
            items[0].inMemory = true;
            SaveOptions options;
            options.login = login;
            options.parallel = 1;
            SaveSetupDocuments(items, options, ctx.console);
            if (!items[0].saved)
                ctx.console.error("Downloading configuration... " + items[0].error);
            document = std::move(items[0].document);
            return items[0].saved ? kExitOk : items[0].code;
        };
        return RunDiff(cl.argument(0), cl.argument(1), cl.value("format") == "json",
                       cl.isSet("show-secrets"), fetch, ctx.console);
    }
};

} // namespace

std::unique_ptr<Command> NewDiffCommand() {
    return std::make_unique<DiffCommand>();
}

} // namespace kelvo::cli
