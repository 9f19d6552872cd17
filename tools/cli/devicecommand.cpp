#include "devicecommand.h"

#include "devicetext.h"
#include "kelvohost.h"
#include "net.h"
#include "tea.h"
#include "textutil.h"

namespace kelvo::cli {

int DeviceCommand::ReadShared(CommandLine &cl, Context &ctx) {
    if (cl.isSet("relay") && cl.isSet("direct")) {
        ctx.console.error("--relay and --direct exclude each other");
        return kExitUsage;
    }
    std::string error;
    if (cl.isSet("relay") && !ParseRelay(cl.value("relay"), ctx.route, &error)) {
        ctx.console.error(error);
        return kExitUsage;
    }
    ctx.route.direct = cl.isSet("direct");
    ctx.names = !cl.isSet("no-names");
    ctx.all = cl.isSet("all");
    if (!ctx.all) {
        host::MacFilter.clear();
        const std::string file =
            cl.isSet("filter-file") ? cl.value("filter-file") : ctx.env.filterFile;
        // A filter that cannot be read must not let filtered devices through.
        std::string refused;
        if (file.empty())
            host::LoadDefaultMacFilters(&refused);
        else
            host::LoadMacFilterFile(file, &refused);
        if (!refused.empty()) {
            ctx.console.error("MAC filter file " + refused);
            return kExitUsage;
        }
    }
    return kExitOk;
}

// So a search or a signed setup never goes to another program that took the
// relay's port.
int DeviceCommand::RelayAnswers(Context &ctx) {
    const Route &r = ctx.route;
    if (r.direct)
        return kExitOk;
    const host::RelayProbe probe = host::ProbeRelay(r.relayAddress, r.relayPort);
    if (probe.presence != host::RelayPresence::Answering) {
        ctx.console.error(host::NoRelayText(r.relayAddress, r.relayPort, probe.text) +
                          "; or search without it: --direct");
        return kExitNoRelay;
    }
    ctx.relayStatus = probe.text;
    return kExitOk;
}

// A password goes only to a device found through the relay or named by its
// address: the library's own broadcast search takes replies from anyone,
// another local user included.
int DeviceCommand::PasswordAllowed(Context &ctx, const std::string &what) {
    if (!ctx.route.direct)
        return kExitOk;
    ctx.console.error(
        what +
        " is not sent to a device found by --direct: its reply may come from "
        "anyone on this PC or network; search through the relay" +
        std::string(what == "the web server password" ? ", or give its IP[:PORT]" : ""));
    return kExitUsage;
}

int DeviceCommand::SearchDevices(Context &ctx, bool names, Listing listing,
                                 std::vector<qvudps_module> &devices) {
    const Route &r = ctx.route;
    if (const int rc = RelayAnswers(ctx); rc != kExitOk)
        return rc;
    if (r.direct) {
        // A search that finds nothing is explained by where it looked.
        const auto targets = qvudps::net::broadcast_targets();
        if (targets.empty()) {
            ctx.console.error("no up IPv4 adapter to search on directly");
            return kExitFailed;
        }
        ctx.console.note("Searching directly on " + Visible(qvudps::net::targets_text(targets)));
    }
    std::string error;
    if (!StartDiscovery(ctx.route, &error, ctx.env.capacity)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    std::vector<qvudps_module> found;
    if (!Search(names, ctx.console, found, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    devices = listing == Listing::Every || ctx.all ? found : WithoutFiltered(found);
    std::string done =
        "Searching modules... " + std::to_string(devices.size()) + " device(s) found";
    if (devices.size() != found.size())
        done += ", " + std::to_string(found.size() - devices.size()) + " hidden by the MAC filter";
    ctx.console.progressDone(done);
    // Every command says so; `search` also exits with its own code.
    ctx.dropped = qvudps_count_dropped();
    if (ctx.dropped > 0)
        ctx.console.error(std::to_string(ctx.dropped) +
                          " more device(s) answered than the list holds (" +
                          std::to_string(found.size()) + "): they are not listed");
    if (found.empty() && !r.direct)
        ctx.console.note(host::NothingFoundText(r.relayAddress, r.relayPort, ctx.relayStatus));
    return kExitOk;
}

int DeviceCommand::SearchOne(Context &ctx, const std::string &mac, bool names,
                             const std::string &missing, int missingCode, qvudps_module &device) {
    std::vector<qvudps_module> devices;
    if (const int rc = SearchDevices(ctx, names, Listing::Every, devices); rc != kExitOk)
        return rc;
    const int i = FindByMac(devices, mac);
    if (i < 0) {
        ctx.console.error(missing);
        return missingCode;
    }
    device = devices[static_cast<size_t>(i)];
    return kExitOk;
}

int DeviceCommand::FindDevice(Context &ctx, const std::string &macText, bool names,
                              qvudps_module &device) {
    std::string mac;
    if (!ParseMac(macText, &mac)) {
        ctx.console.error("not a MAC address: " + macText);
        return kExitUsage;
    }
    if (const int rc = SearchOne(ctx, mac, names, "no device " + mac + " answered the search",
                                 kExitNotFound, device);
        rc != kExitOk)
        return rc;
    if (!ctx.all && host::IsMacFiltered(mac)) {
        ctx.console.error("device " + mac + " is hidden by the MAC filter file (--all shows it)");
        return kExitNotFound;
    }
    return kExitOk;
}

int DeviceCommand::Confirm(Context &ctx, const std::string &mac, const SetupChanges *changes,
                           bool names, qvudps_module *reported) {
    qvudps_module now{};
    if (const int rc =
            SearchOne(ctx, mac, names, "device " + mac + " did not answer the new search",
                      kExitNotConfirmed, now);
        rc != kExitOk)
        return rc;
    if (reported)
        *reported = now;
    if (changes) {
        const auto wrong = Mismatches(now, *changes);
        if (!wrong.empty()) {
            for (const auto &w : wrong)
                ctx.console.error(w);
            ctx.console.error("device " + mac + " does not report the new settings");
            return kExitNotConfirmed;
        }
    }
    ctx.console.out << FormatTable(DeviceHeader(), {DeviceRow(now)});
    return kExitOk;
}

int DeviceCommand::SetupKeyAllowed(Context &ctx, const CommandLine &cl) {
    return cl.isSet("user") ? PasswordAllowed(ctx, "a setup signed with your password") : kExitOk;
}

int DeviceCommand::SetupKey(Context &ctx, const CommandLine &cl, qvudps_tea_key &key) {
    if (!qvudps::setup_key_from_login(cl.value("user"), cl.setupPassword.view(), key)) {
        ctx.console.error("cannot compute the setup key");
        return kExitFailed;
    }
    return kExitOk;
}

int DeviceCommand::PrepareSetupKey(Context &ctx, const qvudps_module &device,
                                   const CommandLine &cl) {
    if (!device.setup_auth_required)
        return kExitOk;
    if (!cl.isSet("user")) {
        ctx.console.error("device " + FieldText(device.mac) +
                          " requires authorised setup: give --user and --password");
        return kExitAuth;
    }
    qvudps_tea_key key{};
    if (const int rc = SetupKey(ctx, cl, key); rc != kExitOk)
        return rc;
    qvudps_set_setup_tea_keys(key.k0, key.k1, key.k2, key.k3);
    return kExitOk;
}

// A device that requires authorised setup ignores a setup signed with the
// wrong key, and nothing else tells so.
int DeviceCommand::WithKeyHint(Context &ctx, const qvudps_module &device, int rc) {
    if (rc == kExitNotConfirmed && device.setup_auth_required)
        ctx.console.note("this device ignores setups signed with a wrong key: check --user and "
                         "--password");
    return rc;
}

} // namespace kelvo::cli
