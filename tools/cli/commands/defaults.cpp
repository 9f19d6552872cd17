// defaults: a device restores its default settings, confirmed by a new search.
#include "devicecommand.h"

#include "devicetext.h"
#include "wire.h"

#include <memory>

namespace kelvo::cli {

namespace {

// The settings a setup can change, equal in both records.
bool SameSettings(const qvudps_module &a, const qvudps_module &b) {
    return FieldText(a.ip) == FieldText(b.ip) && FieldText(a.mask) == FieldText(b.mask) &&
           FieldText(a.gateway) == FieldText(b.gateway) &&
           FieldText(a.filter_ip) == FieldText(b.filter_ip) &&
           FieldText(a.filter_mask) == FieldText(b.filter_mask) && a.port == b.port &&
           FieldText(a.name) == FieldText(b.name) &&
           (a.raw_flags & qvudps::setup_flag_bits) == (b.raw_flags & qvudps::setup_flag_bits);
}

class DefaultsCommand : public DeviceCommand {
public:
    DefaultsCommand()
        : DeviceCommand({"defaults", "restore a device's default settings",
                         "Ask one device to restore its default settings, then confirm by a new "
                         "search that it answers.",
                         "MAC", 1, "defaults needs exactly one MAC address"}) {}

private:
    void Declare(CommandLine &cl) override { cl.addSetupLogin(); }

    int ReadOptions(CommandLine &cl, Context &ctx) override {
        return cl.readSetupLogin(ctx.console) ? kExitOk : kExitUsage;
    }

    int Execute(CommandLine &cl, Context &ctx) override {
        if (const int rc = SetupKeyAllowed(ctx, cl); rc != kExitOk)
            return rc;
        qvudps_module device{};
        int rc = FindDevice(ctx, cl.argument(0), ctx.names, device);
        if (rc != kExitOk)
            return rc;
        const std::string mac = FieldText(device.mac);
        if (!device.defaults_supported) {
            ctx.console.error(mac + ": this device cannot restore its default settings");
            return kExitUsage;
        }
        if ((rc = PrepareSetupKey(ctx, device, cl)) != kExitOk ||
            (rc = RelayAnswers(ctx)) != kExitOk)
            return rc;
        qvudps_module settings = device;
        settings.load_defaults = 1;
        std::string error;
        if (!Setup(settings, 0, ctx.console, &error)) {
            ctx.console.error(error);
            return kExitFailed;
        }
        qvudps_module now{};
        rc = Confirm(ctx, mac, nullptr, ctx.names, &now);
        if (rc == kExitOk && SameSettings(device, now))
            ctx.console.note(
                "the device reports the settings it had before: it was at its defaults already" +
                std::string(device.setup_auth_required ? ", or it ignored a setup signed with a "
                                                         "wrong key (check --user and --password)"
                                                       : ""));
        return rc;
    }
};

} // namespace

std::unique_ptr<Command> NewDefaultsCommand() {
    return std::make_unique<DefaultsCommand>();
}

} // namespace kelvo::cli
