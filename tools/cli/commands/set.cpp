// set: network settings of one device, or of several in one go, each
// confirmed by a new search.
#include "devicecommand.h"

#include "devicetext.h"
#include "hostadapter.h"
#include "kelvohost.h"
#include "textutil.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace kelvo::cli {

namespace {

// host::UseAdapterForMove's answer for an adapter name this PC does not have.
constexpr int kNoSuchAdapter = -2;

// The answers of the address checks when nobody can be asked: every question
// is shown and refused, unless --yes answers Yes to all of them.
class ConsolePrompts : public host::HostPrompts {
public:
    ConsolePrompts(Console &console_, bool yes_) : console(console_), yes(yes_) {}

    void error(const std::string &text) override { console.error(OneLine(text)); }

    bool confirm(const std::string &text) override {
        console.note(OneLine(text) + (yes ? " -- yes (--yes)" : " -- refused (--yes accepts)"));
        asked = true;
        return yes;
    }

    bool confirmOutOfRange(const std::string &ipText, const std::string &networkText) override {
        return confirm("Device " + ipText + " is outside your network " + networkText +
                       " and does not answer ping. Open it anyway?");
    }

    bool asked = false;

private:
    static std::string OneLine(std::string text) {
        for (std::string from : {"\r\n\r\n", "\r\n"}) {
            for (size_t at; (at = text.find(from)) != std::string::npos;)
                text.replace(at, from.size(), " ");
        }
        return text;
    }

    Console &console;
    bool yes;
};

bool ReadChanges(const CommandLine &cl, SetupChanges &c, Console &console) {
    auto address = [&](const char *name, std::optional<std::string> &field) {
        if (!cl.isSet(name))
            return true;
        const std::string v = cl.value(name);
        if (!IsDottedIPv4(v)) {
            console.error(std::string("--") + name + " needs a dotted IPv4 address: " + v);
            return false;
        }
        field = v;
        return true;
    };
    auto onOff = [&](const char *name, std::optional<bool> &field) {
        if (!cl.isSet(name))
            return true;
        bool v = false;
        if (!ParseSwitch(cl.value(name), &v)) {
            console.error(std::string("--") + name + " takes on or off");
            return false;
        }
        field = v;
        return true;
    };
    if (!address("ip", c.ip) || !address("mask", c.mask) || !address("gateway", c.gateway) ||
        !onOff("dhcp", c.dhcp) || !onOff("tcp-setup", c.tcpSetup) || !onOff("tea", c.tea) ||
        !onOff("nvt", c.nvt))
        return false;
    // What is wrong whatever the device: a mask that is no mask, an address
    // no device can have (and, with both given, the subnet's network or
    // broadcast address). The rest needs the device's own mask.
    if (c.mask && host::PrefixLength(*c.mask) <= 0) {
        console.error("--mask " + *c.mask + " is not a subnet mask (ones, then zeros)");
        return false;
    }
    if (c.ip) {
        const std::string fault = host::AddressFault(*c.ip, c.mask ? *c.mask : "255.255.255.255");
        if (!fault.empty()) {
            console.error("--ip: " + fault);
            return false;
        }
    }
    if (cl.isSet("port")) {
        int port = 0;
        if (!ParseNumber(cl.value("port"), 0, 65535, &port)) {
            console.error("--port needs a number 0 to 65535");
            return false;
        }
        c.port = static_cast<std::uint16_t>(port);
    }
    if (cl.isSet("name")) {
        c.name = cl.value("name");
        if (c.name->size() > kMaxNameBytes) {
            console.error("--name is " + std::to_string(c.name->size()) +
                          " bytes of UTF-8; a device keeps at most " +
                          std::to_string(kMaxNameBytes));
            return false;
        }
    }
    if (cl.isSet("filter") && cl.isSet("no-filter")) {
        console.error("--filter and --no-filter exclude each other");
        return false;
    }
    if (cl.isSet("filter")) {
        const std::string v = cl.value("filter");
        const auto slash = v.find('/');
        if (slash == std::string::npos || !IsDottedIPv4(v.substr(0, slash)) ||
            !IsDottedIPv4(v.substr(slash + 1))) {
            console.error("--filter needs ADDRESS/MASK, both dotted IPv4: " + v);
            return false;
        }
        c.filterIp = v.substr(0, slash);
        c.filterMask = v.substr(slash + 1);
    }
    if (cl.isSet("no-filter")) {
        c.filterIp = "0.0.0.0";
        c.filterMask = "0.0.0.0";
    }
    return true;
}

// "line N: MAC: " before what is said of one row of a plan.
std::string RowPrefix(const PlannedSetup &row) {
    return (row.line ? "line " + std::to_string(row.line) + ": " : std::string()) + row.mac + ": ";
}

// Chooses this PC's adapter for the address checks of --check: the one named
// by --interface, else the one whose subnet will hold the device at `newIp`,
// else the one that holds it now at `currentIp`, else the one with the
// default route. kExitUsage for an --interface this PC does not have.
int ReadAdapterForChecks(Context &ctx, const CommandLine &cl, const std::string &newIp,
                         const std::string &currentIp) {
    if (!cl.isSet("check"))
        return kExitOk;
    const std::string adapter = cl.isSet("interface") ? cl.value("interface") : "";
    const int rc = host::UseAdapterForMove(newIp, currentIp, adapter, ctx.env.adapters);
    if (rc == kNoSuchAdapter) {
        ctx.console.error("no up IPv4 adapter named " + adapter + " on this PC");
        return kExitUsage;
    }
    if (rc != 0)
        ctx.console.note("cannot read this PC's network settings; the checks use none");
    return kExitOk;
}

// The refusal of the checks, naming the network they compared with.
std::string RefusedText(const CommandLine &cl, const qvudps_module &settings,
                        const std::string &text) {
    const std::string network = host::CheckedNetworkText();
    if (!cl.isSet("check") || settings.dhcp_enabled || network.empty())
        return text;
    return text + " (checked against " + network + ")";
}

host::PingFunction PingOf(const Context &ctx) {
    return ctx.env.ping ? ctx.env.ping : host::PingFunction(host::PingAddress);
}

class SetCommand : public DeviceCommand {
public:
    SetCommand()
        : DeviceCommand({"set", "change network settings of one device and confirm them",
                         "Change the given settings of devices with one setup message each, then "
                         "search again and confirm that each device reports them. With several "
                         "devices (several MAC addresses, or --from) every device is searched "
                         "for and checked first and nothing is sent when one of them fails; "
                         "then all setups go out at once, followed by one confirming search and "
                         "a result line per device.",
                         "MAC... | --from FILE", kAnyArguments, ""}) {}

private:
    void Declare(CommandLine &cl) override;
    int ReadOptions(CommandLine &cl, Context &ctx) override;
    int Execute(CommandLine &cl, Context &ctx) override;

    int SetOne(Context &ctx, const CommandLine &cl, const std::string &macText,
               const SetupChanges &changes);
    int SetMany(Context &ctx, const CommandLine &cl, const std::vector<PlannedSetup> &plan);
    static bool PlanOf(Context &ctx, const CommandLine &cl, const SetupChanges &common,
                       std::vector<PlannedSetup> &plan);

    SetupChanges given; // the changes the options ask for, set by ReadOptions
};

int SetCommand::SetOne(Context &ctx, const CommandLine &cl, const std::string &macText,
                       const SetupChanges &changes) {
    qvudps_module device{};
    const bool names = ctx.names || changes.name.has_value();
    int rc = FindDevice(ctx, macText, names, device);
    if (rc != kExitOk)
        return rc;
    const std::string mac = FieldText(device.mac);
    const std::string why = UnsupportedChange(device, changes);
    if (!why.empty()) {
        ctx.console.error(mac + ": " + why);
        return kExitUsage;
    }
    qvudps_module settings = device;
    ApplyChanges(settings, changes);
    if ((rc = ReadAdapterForChecks(ctx, cl, FieldText(settings.ip), FieldText(device.ip))) !=
        kExitOk)
        return rc;
    ConsolePrompts prompts(ctx.console, cl.isSet("yes"));
    std::vector<std::string> notes;
    if (!AskBeforeSetup(settings, FieldText(device.ip), cl.isSet("check"), prompts, PingOf(ctx),
                        &notes)) {
        ctx.console.error(RefusedText(cl, settings, "new settings not sent"));
        return kExitRefused;
    }
    for (const auto &n : notes)
        ctx.console.note(n);
    if ((rc = PrepareSetupKey(ctx, device, cl)) != kExitOk || (rc = RelayAnswers(ctx)) != kExitOk)
        return rc;
    std::string error;
    // Only a name the user gave is written: the one the search read (or did
    // not read) stays as the device has it.
    if (!Setup(settings, changes.name ? 1 : 0, ctx.console, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    return WithKeyHint(ctx, device, Confirm(ctx, mac, &changes, names));
}

// Every device of `plan` in one go: one search, every check (nothing is sent
// when one fails), every setup message, one confirming search, and a result
// line per device.
int SetCommand::SetMany(Context &ctx, const CommandLine &cl,
                        const std::vector<PlannedSetup> &plan) {
    const bool names = ctx.names || std::any_of(plan.begin(), plan.end(), [](const auto &p) {
                           return p.changes.name.has_value();
                       });
    std::vector<qvudps_module> found;
    int rc = SearchDevices(ctx, names, Listing::Every, found);
    if (rc != kExitOk)
        return rc;
    ConsolePrompts prompts(ctx.console, cl.isSet("yes"));
    std::vector<qvudps_module> settings, stored;
    std::vector<SetupChanges> sentChanges;
    std::vector<std::vector<std::string>> results;
    std::set<std::string> newAddresses;
    int faults = 0, firstFault = kExitOk;
    auto fault = [&](int code, const PlannedSetup &row, const std::string &text) {
        ctx.console.error(RowPrefix(row) + text);
        if (faults++ == 0)
            firstFault = code;
    };
    std::vector<const PlannedSetup *> rows;
    for (const auto &row : plan) {
        const int i = FindByMac(found, row.mac);
        if (i < 0 || (!ctx.all && host::IsMacFiltered(row.mac))) {
            fault(kExitNotFound, row,
                  i < 0 ? "did not answer the search" : "hidden by the MAC filter (--all)");
            continue;
        }
        const qvudps_module &device = found[static_cast<size_t>(i)];
        const SetupChanges changes = OnlyDifferences(device, row.changes);
        if (changes.empty()) {
            results.push_back({row.mac, FieldText(device.ip), "unchanged"});
            continue;
        }
        const std::string why = UnsupportedChange(device, changes);
        if (!why.empty()) {
            fault(kExitUsage, row, why);
            continue;
        }
        qvudps_module s = device;
        ApplyChanges(s, changes);
        if (!s.dhcp_enabled && !newAddresses.insert(FieldText(s.ip)).second) {
            fault(kExitUsage, row, FieldText(s.ip) + " is given to another device as well");
            continue;
        }
        if (device.setup_auth_required && !cl.isSet("user")) {
            fault(kExitAuth, row, "requires authorised setup: give --user and --password");
            continue;
        }
        rows.push_back(&row);
        settings.push_back(s);
        stored.push_back(device);
        sentChanges.push_back(changes);
    }
    if (cl.isSet("ip-range"))
        if (const std::string why = RangeFault(settings); !why.empty()) {
            ctx.console.error("--ip-range " + cl.value("ip-range") + ": " + why);
            return kExitUsage;
        }
    // The pings of the whole batch go out together; the questions are then
    // asked device by device, each against the adapter of its own network.
    std::map<std::string, int> pings;
    if (cl.isSet("check")) {
        std::vector<std::string> addresses;
        for (size_t k = 0; k < settings.size(); ++k)
            if (!settings[k].dhcp_enabled && FieldText(settings[k].ip) != FieldText(stored[k].ip))
                addresses.push_back(FieldText(settings[k].ip));
        pings = PingAll(addresses, PingOf(ctx));
    }
    const host::PingFunction ping = [&pings](const std::string &ip) {
        const auto it = pings.find(ip);
        return it == pings.end() ? 1 : it->second;
    };
    for (size_t k = 0; k < settings.size(); ++k) {
        if ((rc = ReadAdapterForChecks(ctx, cl, FieldText(settings[k].ip),
                                       FieldText(stored[k].ip))) != kExitOk)
            return rc;
        std::vector<std::string> notes;
        if (!AskBeforeSetup(settings[k], FieldText(stored[k].ip), cl.isSet("check"), prompts, ping,
                            &notes))
            fault(kExitRefused, *rows[k],
                  RefusedText(cl, settings[k], "the checks refused the new settings"));
    }
    if (faults) {
        ctx.console.error("nothing sent: " + std::to_string(faults) + " of " +
                          std::to_string(plan.size()) + " device(s) cannot take their settings");
        return firstFault;
    }
    if ((rc = RelayAnswers(ctx)) != kExitOk)
        return rc;
    qvudps_tea_key key{};
    if (cl.isSet("user") && (rc = SetupKey(ctx, cl, key)) != kExitOk)
        return rc;
    std::vector<std::string> unsent;
    if (!settings.empty())
        SetupMany(ctx.route, settings, stored, key, ctx.console, unsent);
    std::vector<qvudps_module> now;
    if (!settings.empty()) {
        if ((rc = SearchDevices(ctx, names, Listing::Every, now)) != kExitOk)
            return rc;
    }
    size_t confirmed = 0;
    for (size_t k = 0; k < settings.size(); ++k) {
        const std::string mac = FieldText(settings[k].mac);
        const int i = FindByMac(now, mac);
        std::string result = "confirmed";
        if (!unsent[k].empty())
            result = "not sent: " + unsent[k];
        else if (i < 0)
            result = "not confirmed: did not answer the new search";
        else if (const auto wrong = Mismatches(now[static_cast<size_t>(i)], sentChanges[k]);
                 !wrong.empty()) {
            result = "not confirmed: " + wrong[0];
            for (size_t w = 1; w < wrong.size(); ++w)
                result += "; " + wrong[w];
            if (stored[k].setup_auth_required)
                result += " (check --user and --password)";
        }
        confirmed += result == "confirmed";
        results.push_back({mac, FieldText(settings[k].ip), result});
    }
    std::stable_sort(results.begin(), results.end(), [&](const auto &a, const auto &b) {
        auto at = [&](const std::string &mac) {
            return std::find_if(plan.begin(), plan.end(),
                                [&](const auto &p) { return p.mac == mac; }) -
                   plan.begin();
        };
        return at(a[0]) < at(b[0]);
    });
    ctx.console.out << FormatTable({"MAC", "IP", "Result"}, results);
    ctx.console.out << confirmed << " of " << settings.size() << " device(s) confirmed\n";
    if (confirmed == settings.size())
        return kExitOk;
    return confirmed == 0 ? kExitNotConfirmed : kExitPartial;
}

// The devices of `set` with several MAC addresses or --from: false with the
// messages on the console when the command line or the file is faulty.
bool SetCommand::PlanOf(Context &ctx, const CommandLine &cl, const SetupChanges &common,
                        std::vector<PlannedSetup> &plan) {
    plan.clear();
    if (cl.isSet("from")) {
        const std::string path = cl.value("from");
        std::string text;
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size > kMaxSettingsFileBytes) {
            ctx.console.error(ec ? "cannot read " + path
                                 : path + " is larger than " +
                                       std::to_string(kMaxSettingsFileBytes) + " bytes");
            return false;
        }
        if (FILE *f = std::fopen(path.c_str(), "rb")) {
            char buf[65536];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0 &&
                           text.size() <= kMaxSettingsFileBytes;)
                text.append(buf, n);
            std::fclose(f);
        } else {
            ctx.console.error("cannot read " + path);
            return false;
        }
        std::vector<std::string> errors;
        if (!ParseSettingsCsv(text, plan, errors)) {
            for (const auto &e : errors)
                ctx.console.error(path + ": " + e);
            ctx.console.error("nothing sent");
            return false;
        }
        for (auto &row : plan)
            row.changes = Merged(common, row.changes);
    } else {
        std::set<std::string> macs;
        for (const auto &arg : cl.positional()) {
            PlannedSetup row;
            if (!ParseMac(S(arg), &row.mac) || !macs.insert(row.mac).second) {
                ctx.console.error(
                    (macs.count(row.mac) ? "MAC address given twice: " : "not a MAC address: ") +
                    S(arg));
                return false;
            }
            row.changes = common;
            plan.push_back(row);
        }
        if (plan.size() > kMaxBatch) {
            ctx.console.error("more than " + std::to_string(kMaxBatch) + " devices");
            return false;
        }
    }
    if (cl.isSet("ip-range")) {
        std::vector<std::string> addresses;
        std::string error;
        if (!AddressRange(cl.value("ip-range"), plan.size(), addresses, &error)) {
            ctx.console.error(error);
            return false;
        }
        for (size_t i = 0; i < plan.size(); ++i)
            plan[i].changes.ip = addresses[i];
    }
    for (const auto &row : plan)
        if (row.changes.empty()) {
            ctx.console.error(RowPrefix(row) + "nothing to change");
            return false;
        }
    return true;
}

void SetCommand::Declare(CommandLine &cl) {
    cl.add({"ip"}, "New IP address.", "A");
    cl.add({"ip-range"},
           "New IP addresses for the MAC addresses in the order given: FIRST, the next one, "
           "and so on (up to LAST when given).",
           "FIRST[-LAST]");
    cl.add({"from"},
           "Devices and settings from a CSV file: a header line, a MAC column and any of the "
           "columns Name, IP, Mask, Gateway, Port, named as \"search --format csv\" names them "
           "(its other columns are ignored, so an edited search output will do; an empty cell "
           "keeps the device's value). Options given as well apply to every row the file "
           "leaves empty.",
           "FILE");
    cl.add({"mask"}, "New subnet mask.", "A");
    cl.add({"gateway"}, "New default gateway.", "A");
    cl.add({"port"}, "New device port.", "N");
    cl.add({"name"}, "New device name (at most 33 bytes of UTF-8).", "TEXT");
    cl.add({"dhcp"}, "DHCP on or off.", "on|off");
    cl.add({"tcp-setup"}, "TCP setup on or off.", "on|off");
    cl.add({"tea"}, "TEA authorisation on or off.", "on|off");
    cl.add({"nvt"}, "NVT on or off.", "on|off");
    cl.add({"filter"}, "IP access filter value and mask.", "A/M");
    cl.add({"no-filter"}, "Switch the IP access filter off (0.0.0.0/0.0.0.0).");
    cl.addSetupLogin();
    cl.add({"check"}, "Check the new address against this PC's network and by ping first; "
                      "refuse instead of asking.");
    cl.add({"interface"},
           "With --check: this PC's adapter to check against (default, for each device: the "
           "one whose subnet will hold its new address, else the one that holds it now, else "
           "the one with the default route).",
           "NAME");
    cl.add({"yes"}, "Answer Yes to the questions of the checks (port 99, address conflicts).");
}

int SetCommand::ReadOptions(CommandLine &cl, Context &ctx) {
    const bool fromFile = cl.isSet("from");
    if (fromFile == !cl.positional().isEmpty()) {
        ctx.console.error(fromFile ? "set --from takes no MAC addresses"
                                   : "set needs a MAC address, several, or --from FILE");
        return kExitUsage;
    }
    if (cl.isSet("interface") && !cl.isSet("check")) {
        ctx.console.error("--interface only goes with --check");
        return kExitUsage;
    }
    if (cl.isSet("ip-range") && cl.isSet("ip")) {
        ctx.console.error("--ip and --ip-range exclude each other");
        return kExitUsage;
    }
    return ReadChanges(cl, given, ctx.console) && cl.readSetupLogin(ctx.console) ? kExitOk
                                                                                 : kExitUsage;
}

int SetCommand::Execute(CommandLine &cl, Context &ctx) {
    if (const int rc = SetupKeyAllowed(ctx, cl); rc != kExitOk)
        return rc;
    if (!cl.isSet("from") && cl.positional().size() == 1 && !cl.isSet("ip-range")) {
        if (given.empty()) {
            ctx.console.error("nothing to change: give at least one of --ip, --mask, --gateway, "
                              "--port, --name, --dhcp, --tcp-setup, --tea, --nvt, --filter, "
                              "--no-filter");
            return kExitUsage;
        }
        return SetOne(ctx, cl, cl.argument(0), given);
    }
    std::vector<PlannedSetup> plan;
    if (!PlanOf(ctx, cl, given, plan))
        return kExitUsage;
    return SetMany(ctx, cl, plan);
}

} // namespace

std::unique_ptr<Command> NewSetCommand() {
    return std::make_unique<SetCommand>();
}

} // namespace kelvo::cli
