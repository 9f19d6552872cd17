// values: a device's sensors, inputs and outputs.
#include "transfercommand.h"

#include "valuesoutput.h"

#include <memory>

namespace kelvo::cli {

namespace {

class ValuesCommand : public TransferCommand {
public:
    ValuesCommand()
        : TransferCommand({"values", "show a device's sensors, inputs and outputs",
                           "Show the sensors, inputs and outputs of a device's values.xml.",
                           "MAC|IP[:PORT]", 1, "values needs one MAC or IP address"}) {}

private:
    void Declare(CommandLine &cl) override { cl.addFormat(); }

    int Execute(CommandLine &cl, Context &ctx) override {
        Format format = Format::Table;
        if (!ReadFormat(cl, ctx.console, &format))
            return kExitUsage;
        Endpoint endpoint;
        if (const int rc = TransferTarget(ctx, cl.argument(0), Needs::WebInterface, endpoint);
            rc != kExitOk)
            return rc;
        ValuesResult result;
        std::string error;
        if (const int rc = FetchValues(endpoint, login, ctx.console, result, &error);
            rc != kExitOk) {
            ctx.console.error(error);
            return rc;
        }
        ctx.console.out << FormatValues(*result.values, *result.counts, format);
        return kExitOk;
    }
};

} // namespace

std::unique_ptr<Command> NewValuesCommand() {
    return std::make_unique<ValuesCommand>();
}

} // namespace kelvo::cli
