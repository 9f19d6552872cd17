// history: the commits of a backup history that changed one device.
#include "command.h"
#include "confighistory.h"

#include <memory>

namespace kelvo::cli {

namespace {

class HistoryCommand : public Command {
public:
    HistoryCommand()
        : Command({"history",
                   "the changes of one device in a backup history",
                   "Show the commits of a backup history (backup --history) that changed one "
                   "device, newest first, each with the settings it changed. The device is "
                   "named by its MAC address, or by the name in its latest file.",
                   "MAC|NAME",
                   1,
                   "history needs one MAC address or device name",
                   {{{"repo"}, "The history's folder (default: the current folder).", "DIR"},
                    kShowSecrets}}) {}

private:
    int Execute(CommandLine &cl, Context &ctx) override {
        return ShowHistory(cl.isSet("repo") ? cl.value("repo") : std::string("."), cl.argument(0),
                           cl.isSet("show-secrets"), ctx.console);
    }
};

} // namespace

std::unique_ptr<Command> NewHistoryCommand() {
    return std::make_unique<HistoryCommand>();
}

} // namespace kelvo::cli
