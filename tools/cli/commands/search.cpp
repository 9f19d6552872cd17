// search: the devices that answer one search, as a table, CSV or JSON.
#include "devicecommand.h"

#include <memory>

namespace kelvo::cli {

namespace {

class SearchCommand : public DeviceCommand {
public:
    SearchCommand()
        : DeviceCommand({"search", "list the devices that answer a search",
                         "List every device that answers one search.", "", 0,
                         "search takes no arguments"}) {}

private:
    void Declare(CommandLine &cl) override { cl.addFormat(); }

    int ReadOptions(CommandLine &cl, Context &ctx) override {
        return ReadFormat(cl, ctx.console, &format) ? kExitOk : kExitUsage;
    }

    int Execute(CommandLine &, Context &ctx) override {
        std::vector<qvudps_module> devices;
        if (const int rc = SearchDevices(ctx, ctx.names, Listing::Visible, devices); rc != kExitOk)
            return rc;
        ctx.console.out << FormatDevices(SortedByMac(devices), format);
        return ctx.dropped > 0 ? kExitDropped : kExitOk;
    }

    Format format = Format::Table;
};

} // namespace

std::unique_ptr<Command> NewSearchCommand() {
    return std::make_unique<SearchCommand>();
}

} // namespace kelvo::cli
