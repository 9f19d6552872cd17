#include "commands.h"

#include "confighistory.h"
#include "console.h"
#include "deviceoutput.h"
#include "devicetext.h"
#include "discovery.h"
#include "kelvohost.h"
#include "net.h"
#include "passwords.h"
#include "qvfile.h"
#include "setupplan.h"
#include "tea.h"
#include "textutil.h"
#include "transfer.h"
#include "valuesoutput.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

namespace kelvo::cli {

namespace {

const char *const kExitCodesText = "Exit codes:\n"
                                   "  0  done (set, defaults: confirmed by a new search)\n"
                                   "  1  the network, a device, a library or a file failed\n"
                                   "  2  bad command line, or a change the device cannot take\n"
                                   "  3  no device with that MAC address answered\n"
                                   "  4  the setup went out but the device does not report it\n"
                                   "  5  a check refused the new settings\n"
                                   "  6  credentials missing or refused\n"
                                   "  7  some devices done, others not (backup, set with several\n"
                                   "     devices)\n"
                                   "  8  search: more devices answered than the list holds\n"
                                   "  9  no relay answers on the relay address (start kelvo-relay "
                                   "or use --direct)\n";

const char *const kOverviewText =
    "Usage: kelvo-cli COMMAND [options]\n"
    "\n"
    "Finds and configures Kelvo devices from a shell. Searches and setups go\n"
    "through the relay on 127.0.0.1:9999 unless --relay or --direct says otherwise.\n"
    "\n"
    "Commands:\n"
    "  search     list the devices that answer a search\n"
    "  set        change network settings of one device and confirm them\n"
    "  defaults   restore a device's default settings\n"
    "  download   save a device's configuration document to a file\n"
    "  upload     send a configuration document to a device\n"
    "  backup     save the configuration documents of all devices to a folder\n"
    "  values     show a device's sensors, inputs and outputs\n"
    "  diff       compare two configuration documents or devices by setting\n"
    "  history    the changes of one device in a backup history\n"
    "\n"
    "Run \"kelvo-cli COMMAND --help\" for the options of a command.\n"
    "Progress goes to standard error; --quiet keeps it silent.\n"
    "The MAC filter files hide devices as in the main window: the one shared with\n"
    "it, $XDG_CONFIG_HOME/Marvane/Kelvo.filter (~/.config/Marvane/Kelvo.filter),\n"
    "and kelvo-cli.filter beside the program; --all shows them.\n\n";

std::string S(const QString &q) {
    return q.toStdString();
}

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

// The parser of one command with the options every command shares.
class CommandLine {
public:
    CommandLine(const char *command, const char *description, const char *arguments) {
        parser.setApplicationDescription(QString(description));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        usage = std::string("Usage: kelvo-cli ") + command + " [options]" +
                (arguments[0] ? std::string(" ") + arguments : std::string());
        add({"quiet", "q"}, "No progress on standard error.");
        add({"help", "h"}, "Show this help.");
    }

    void add(const QStringList &names, const char *help, const char *value = nullptr) {
        QCommandLineOption o(names, QString(help));
        if (value)
            o.setValueName(QString(value));
        parser.addOption(o);
    }

    void addRoute(bool withFilter) {
        add({"relay"},
            "Send searches and setups through the relay at ADDR:PORT "
            "(default 127.0.0.1:9999).",
            "ADDR:PORT");
        add({"direct"}, "Broadcast searches and setups ourselves, on every up IPv4 adapter, "
                        "instead of using a relay.");
        add({"no-names"}, "Do not fetch device names over HTTP after the search.");
        if (withFilter) {
            add({"all"}, "Ignore the MAC filter file.");
            add({"filter-file"},
                "Read the MAC filter from FILE instead of the user's and the "
                "program's filter files.",
                "FILE");
        }
    }

    // A password option, its file option, and their lines in the help.
    void addPassword(const PasswordSource &source) {
        AddPasswordOptions(parser, source);
        passwords.push_back(&source);
    }

    // --user and the setup password from any of its sources, read once after
    // parse(); a password without --user (the environment alone excepted) is
    // refused, and so is --user without any password.
    bool readSetupLogin(Console &console) {
        bool found = false;
        std::string error;
        if (!ReadPassword(parser, kSetupPassword, isSet("user"), &setupPassword, &found, &error)) {
            console.error(error);
            return false;
        }
        const bool given = isSet("password") || isSet("password-file");
        if (isSet("user") ? !found : given) {
            console.error("--user and a setup password go together");
            return false;
        }
        if (!isSet("user"))
            setupPassword.clear(); // KELVO_PASSWORD alone signs nothing
        return true;
    }

    void addHttpLogin() {
        add({"http-user"}, "User name for the device's web server.", "USER");
        addPassword(kHttpPassword);
    }

    // False with the message on `console` for a bad command line.
    bool parse(const QStringList &args, const char *command, Console &console) {
        QStringList all = args;
        all.prepend(QString("kelvo-cli ") + command);
        if (!parser.parse(all)) {
            console.error(S(parser.errorText()) + " (see kelvo-cli " + command + " --help)");
            return false;
        }
        return true;
    }

    bool wantsHelp() const { return parser.isSet("help"); }

    std::string help() const {
        std::string text = S(parser.helpText());
        // Qt's first line names the program only; ours names the arguments.
        const auto eol = text.find('\n');
        return usage + "\n" + (eol == std::string::npos ? std::string("\n") : text.substr(eol)) +
               "\n" + (passwords.empty() ? std::string() : PasswordHelpText(passwords) + "\n") +
               kExitCodesText;
    }

    bool isSet(const char *name) const { return parser.isSet(QString(name)); }
    std::string value(const char *name) const { return S(parser.value(QString(name))); }
    QStringList positional() const { return parser.positionalArguments(); }

    QCommandLineParser parser;
    std::string usage;
    std::vector<const PasswordSource *> passwords; // their sources are explained in the help
    host::Secret setupPassword;                    // set by readSetupLogin
};

// Everything a command needs to reach devices.
struct Context {
    Console &console;
    const Environment &env;
    Route route;
    bool names = true;
    bool all = false;
    int dropped = 0;         // devices the last search could not keep
    std::string relayStatus; // what the relay said of itself when last asked
};

// Asks the relay to answer as one before anything is sent through it, so a
// search or a signed setup never goes to another program that took its port.
int RelayAnswers(Context &ctx) {
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
int PasswordAllowed(Context &ctx, const std::string &what) {
    if (!ctx.route.direct)
        return kExitOk;
    ctx.console.error(
        what +
        " is not sent to a device found by --direct: its reply may come from "
        "anyone on this PC or network; search through the relay" +
        std::string(what == "the web server password" ? ", or give its IP[:PORT]" : ""));
    return kExitUsage;
}

bool ReadRoute(const CommandLine &cl, Context &ctx) {
    if (cl.isSet("relay") && cl.isSet("direct")) {
        ctx.console.error("--relay and --direct exclude each other");
        return false;
    }
    std::string error;
    if (cl.isSet("relay") && !ParseRelay(cl.value("relay"), ctx.route, &error)) {
        ctx.console.error(error);
        return false;
    }
    ctx.route.direct = cl.isSet("direct");
    ctx.names = !cl.isSet("no-names");
    ctx.all = cl.parser.optionNames().contains("all") && cl.isSet("all");
    if (!ctx.all) {
        host::MacFilter.clear();
        std::string file = ctx.env.filterFile;
        if (cl.parser.optionNames().contains("filter-file") && cl.isSet("filter-file"))
            file = cl.value("filter-file");
        // A filter that cannot be read must not let filtered devices through.
        std::string refused;
        if (file.empty())
            host::LoadDefaultMacFilters(&refused);
        else
            host::LoadMacFilterFile(file, &refused);
        if (!refused.empty()) {
            ctx.console.error("MAC filter file " + refused);
            return false;
        }
    }
    return true;
}

// Searches and returns the devices the MAC filter keeps (all with --all).
int SearchDevices(Context &ctx, bool names, std::vector<qvudps_module> &devices) {
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
    devices = ctx.all ? found : WithoutFiltered(found);
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

// Searches and picks the device `macText`; kExitNotFound when it did not
// answer (or the MAC filter hides it).
int FindDevice(Context &ctx, const std::string &macText, bool names, qvudps_module &device) {
    std::string mac;
    if (!ParseMac(macText, &mac)) {
        ctx.console.error("not a MAC address: " + macText);
        return kExitUsage;
    }
    const bool all = ctx.all;
    ctx.all = true;
    std::vector<qvudps_module> devices;
    const int rc = SearchDevices(ctx, names, devices);
    ctx.all = all;
    if (rc != kExitOk)
        return rc;
    const int i = FindByMac(devices, mac);
    if (i < 0) {
        ctx.console.error("no device " + mac + " answered the search");
        return kExitNotFound;
    }
    if (!ctx.all && host::IsMacFiltered(mac)) {
        ctx.console.error("device " + mac + " is hidden by the MAC filter file (--all shows it)");
        return kExitNotFound;
    }
    device = devices[static_cast<size_t>(i)];
    return kExitOk;
}

// Asked before any search: --user signs setups with the password.
int SetupKeyAllowed(Context &ctx, const CommandLine &cl) {
    return cl.isSet("user") ? PasswordAllowed(ctx, "a setup signed with your password") : kExitOk;
}

// Sets the setup key when the device signs setups with it.
int PrepareSetupKey(Context &ctx, const qvudps_module &device, const CommandLine &cl) {
    if (!device.setup_auth_required)
        return kExitOk;
    if (!cl.isSet("user")) {
        ctx.console.error("device " + FieldText(device.mac) +
                          " requires authorised setup: give --user and --password");
        return kExitAuth;
    }
    qvudps_tea_key key{};
    if (!qvudps::setup_key_from_login(cl.value("user"), cl.setupPassword.view(), key)) {
        ctx.console.error("cannot compute the setup key");
        return kExitFailed;
    }
    qvudps_set_setup_tea_keys(key.k0, key.k1, key.k2, key.k3);
    return kExitOk;
}

// A device that requires authorised setup ignores a setup signed with the
// wrong key, and nothing else tells so.
int WithKeyHint(Context &ctx, const qvudps_module &device, int rc) {
    if (rc == kExitNotConfirmed && device.setup_auth_required)
        ctx.console.note("this device ignores setups signed with a wrong key: check --user and "
                         "--password");
    return rc;
}

// "MAC" (searched for) or "IP" / "IP:PORT" (port 80 unless given).
int ResolveEndpoint(Context &ctx, const std::string &target, Endpoint &endpoint,
                    qvudps_module *device, bool *found) {
    *found = false;
    if (ParseMac(target, nullptr)) {
        const int rc = FindDevice(ctx, target, ctx.names, *device);
        if (rc != kExitOk)
            return rc;
        endpoint.host = FieldText(device->ip);
        endpoint.port = device->port;
        *found = true;
        return kExitOk;
    }
    std::string ip = target;
    int port = 80;
    const auto colon = target.rfind(':');
    if (colon != std::string::npos) {
        ip = target.substr(0, colon);
        if (!ParseNumber(target.substr(colon + 1), 1, 65535, &port)) {
            ctx.console.error("port must be 1 to 65535: " + target);
            return kExitUsage;
        }
    }
    if (!IsDottedIPv4(ip)) {
        ctx.console.error("not a MAC address or IPv4 address: " + target);
        return kExitUsage;
    }
    endpoint.host = ip;
    endpoint.port = port;
    return kExitOk;
}

// ---- search ----

int CmdSearch(const QStringList &args, Context &ctx) {
    CommandLine cl("search", "List every device that answers one search.", "");
    cl.add({"format"}, "Output format: table (default), csv or json.", "FORMAT");
    cl.addRoute(true);
    if (!cl.parse(args, "search", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    Format format = Format::Table;
    if (cl.isSet("format") && !ParseFormat(cl.value("format"), &format)) {
        ctx.console.error("--format must be table, csv or json");
        return kExitUsage;
    }
    if (!cl.positional().isEmpty()) {
        ctx.console.error("search takes no arguments");
        return kExitUsage;
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    std::vector<qvudps_module> devices;
    const int rc = SearchDevices(ctx, ctx.names, devices);
    if (rc != kExitOk)
        return rc;
    ctx.console.out << FormatDevices(SortedByMac(devices), format);
    return ctx.dropped > 0 ? kExitDropped : kExitOk;
}

// ---- set ----

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

// Searches again and compares; kExitOk when the device shows `changes`.
int Confirm(Context &ctx, const std::string &mac, const SetupChanges *changes, bool names,
            qvudps_module *reported = nullptr) {
    std::vector<qvudps_module> devices;
    const bool all = ctx.all;
    ctx.all = true;
    const int rc = SearchDevices(ctx, names, devices);
    ctx.all = all;
    if (rc != kExitOk)
        return rc;
    const int i = FindByMac(devices, mac);
    if (i < 0) {
        ctx.console.error("device " + mac + " did not answer the new search");
        return kExitNotConfirmed;
    }
    const qvudps_module &now = devices[static_cast<size_t>(i)];
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
    if (rc == -2) {
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

int SetOne(Context &ctx, const CommandLine &cl, const std::string &macText,
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
int SetMany(Context &ctx, const CommandLine &cl, const std::vector<PlannedSetup> &plan) {
    const bool names = ctx.names || std::any_of(plan.begin(), plan.end(), [](const auto &p) {
                           return p.changes.name.has_value();
                       });
    std::vector<qvudps_module> found;
    const bool all = ctx.all;
    ctx.all = true;
    int rc = SearchDevices(ctx, names, found);
    ctx.all = all;
    if (rc != kExitOk)
        return rc;
    ConsolePrompts prompts(ctx.console, cl.isSet("yes"));
    std::vector<qvudps_module> settings, stored;
    std::vector<SetupChanges> sentChanges;
    std::vector<std::vector<std::string>> results;
    std::set<std::string> newAddresses;
    int faults = 0, firstFault = kExitOk;
    auto fault = [&](int code, const PlannedSetup &row, const std::string &text) {
        ctx.console.error((row.line ? "line " + std::to_string(row.line) + ": " : std::string()) +
                          row.mac + ": " + text);
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
    if (cl.isSet("user") &&
        !qvudps::setup_key_from_login(cl.value("user"), cl.setupPassword.view(), key)) {
        ctx.console.error("cannot compute the setup key");
        return kExitFailed;
    }
    std::vector<std::string> unsent;
    if (!settings.empty())
        SetupMany(ctx.route, settings, stored, key, ctx.console, unsent);
    std::vector<qvudps_module> now;
    if (!settings.empty()) {
        ctx.all = true;
        rc = SearchDevices(ctx, names, now);
        ctx.all = all;
        if (rc != kExitOk)
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
bool PlanOf(Context &ctx, const CommandLine &cl, const SetupChanges &common,
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
            ctx.console.error(
                (row.line ? "line " + std::to_string(row.line) + ": " : std::string()) + row.mac +
                ": nothing to change");
            return false;
        }
    return true;
}

int CmdSet(const QStringList &args, Context &ctx) {
    CommandLine cl("set",
                   "Change the given settings of devices with one setup message each, then "
                   "search again and confirm that each device reports them. With several "
                   "devices (several MAC addresses, or --from) every device is searched for and "
                   "checked first and nothing is sent when one of them fails; then all setups "
                   "go out at once, followed by one confirming search and a result line per "
                   "device.",
                   "MAC... | --from FILE");
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
    cl.add({"user"}, "User name for a device that requires authorised setup.", "U");
    cl.addPassword(kSetupPassword);
    cl.add({"check"}, "Check the new address against this PC's network and by ping first; "
                      "refuse instead of asking.");
    cl.add({"interface"},
           "With --check: this PC's adapter to check against (default, for each device: the "
           "one whose subnet will hold its new address, else the one that holds it now, else "
           "the one with the default route).",
           "NAME");
    cl.add({"yes"}, "Answer Yes to the questions of the checks (port 99, address conflicts).");
    cl.addRoute(true);
    if (!cl.parse(args, "set", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
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
    SetupChanges changes;
    if (!ReadChanges(cl, changes, ctx.console) || !cl.readSetupLogin(ctx.console) ||
        !ReadRoute(cl, ctx))
        return kExitUsage;
    if (const int rc = SetupKeyAllowed(ctx, cl); rc != kExitOk)
        return rc;
    if (!fromFile && cl.positional().size() == 1 && !cl.isSet("ip-range")) {
        if (changes.empty()) {
            ctx.console.error("nothing to change: give at least one of --ip, --mask, --gateway, "
                              "--port, --name, --dhcp, --tcp-setup, --tea, --nvt, --filter, "
                              "--no-filter");
            return kExitUsage;
        }
        return SetOne(ctx, cl, S(cl.positional()[0]), changes);
    }
    std::vector<PlannedSetup> plan;
    if (!PlanOf(ctx, cl, changes, plan))
        return kExitUsage;
    return SetMany(ctx, cl, plan);
}

// ---- defaults ----

// The settings a setup can change, equal in both records.
bool SameSettings(const qvudps_module &a, const qvudps_module &b) {
    return FieldText(a.ip) == FieldText(b.ip) && FieldText(a.mask) == FieldText(b.mask) &&
           FieldText(a.gateway) == FieldText(b.gateway) &&
           FieldText(a.filter_ip) == FieldText(b.filter_ip) &&
           FieldText(a.filter_mask) == FieldText(b.filter_mask) && a.port == b.port &&
           FieldText(a.name) == FieldText(b.name) && (a.raw_flags & 0x37) == (b.raw_flags & 0x37);
}

int CmdDefaults(const QStringList &args, Context &ctx) {
    CommandLine cl("defaults",
                   "Ask one device to restore its default settings, then confirm by a new "
                   "search that it answers.",
                   "MAC");
    cl.add({"user"}, "User name for a device that requires authorised setup.", "U");
    cl.addPassword(kSetupPassword);
    cl.addRoute(true);
    if (!cl.parse(args, "defaults", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 1) {
        ctx.console.error("defaults needs exactly one MAC address");
        return kExitUsage;
    }
    if (!cl.readSetupLogin(ctx.console))
        return kExitUsage;
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    if (const int rc = SetupKeyAllowed(ctx, cl); rc != kExitOk)
        return rc;
    qvudps_module device{};
    int rc = FindDevice(ctx, S(cl.positional()[0]), ctx.names, device);
    if (rc != kExitOk)
        return rc;
    const std::string mac = FieldText(device.mac);
    if (!device.defaults_supported) {
        ctx.console.error(mac + ": this device cannot restore its default settings");
        return kExitUsage;
    }
    if ((rc = PrepareSetupKey(ctx, device, cl)) != kExitOk || (rc = RelayAnswers(ctx)) != kExitOk)
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

// ---- download, upload, backup, values ----

// The web server login of a transfer: --http-user with the password from any
// of its sources; kExitOk or the exit code of a bad command line.
int ReadHttpLogin(const CommandLine &cl, Context &ctx, HttpLogin &login) {
    login.user = cl.value("http-user");
    bool found = false;
    std::string error;
    if (!ReadPassword(cl.parser, kHttpPassword, !login.user.empty(), &login.password, &found,
                      &error)) {
        ctx.console.error(error);
        return kExitUsage;
    }
    if (login.user.size() > kCredentialMax) {
        ctx.console.error("--http-user is longer than " + std::to_string(kCredentialMax) +
                          " bytes, more than a device keeps");
        return kExitUsage;
    }
    if (login.user.empty() && (cl.isSet("http-password") || cl.isSet("http-password-file"))) {
        ctx.console.error("a web server password needs --http-user");
        return kExitUsage;
    }
    if (login.user.empty())
        login.password.clear(); // KELVO_HTTP_PASSWORD alone sends nothing
    return kExitOk;
}

// The command line of a transfer: `positionals` arguments (`need` says which
// when their count is wrong), the web server login and the route. -1 to go
// on, else the exit code to return.
int ParseTransfer(CommandLine &cl, const QStringList &args, const char *command,
                  qsizetype positionals, const char *need, Context &ctx, HttpLogin &login) {
    cl.addHttpLogin();
    cl.addRoute(true);
    if (!cl.parse(args, command, ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != positionals) {
        ctx.console.error(need);
        return kExitUsage;
    }
    if (const int rc = ReadHttpLogin(cl, ctx, login); rc != kExitOk)
        return rc;
    return ReadRoute(cl, ctx) ? -1 : kExitUsage;
}

// The device a transfer goes to, by MAC (searched for; it must keep a
// configuration document, or have a web interface for `values`) or by
// IP[:PORT]. `name` is the device's name when it was searched for.
int TransferTarget(Context &ctx, const std::string &target, bool values, const HttpLogin &login,
                   Endpoint &endpoint, std::string *name) {
    qvudps_module device{};
    bool found = false;
    if (!login.user.empty() && ParseMac(target, nullptr))
        if (const int rc = PasswordAllowed(ctx, "the web server password"); rc != kExitOk)
            return rc;
    if (const int rc = ResolveEndpoint(ctx, target, endpoint, &device, &found); rc != kExitOk)
        return rc;
    if (!found)
        return kExitOk;
    if (name)
        *name = FieldText(device.name);
    if (values && !device.web_supported) {
        ctx.console.error(FieldText(device.mac) + ": this device has no web interface");
        return kExitUsage;
    }
    if (!values && !SupportsConfigFiles(device.type)) {
        ctx.console.error(FieldText(device.mac) + ": device type " + std::to_string(device.type) +
                          " keeps no configuration document");
        return kExitUsage;
    }
    return kExitOk;
}

int CmdDownload(const QStringList &args, Context &ctx) {
    CommandLine cl("download",
                   "Save a device's configuration document (setup.xml) to a file, byte for byte "
                   "as the device sends it, once it arrived complete and well-formed. Without "
                   "-o the file is named as the main window suggests (the device name, or "
                   "IP_with_underscores_PORT, with \".xml\") and an existing file of that name "
                   "is kept unless --force. The file is readable by its owner only: it holds "
                   "the device's passwords.",
                   "MAC|IP[:PORT]");
    cl.add({"o", "output"}, "Write to FILE (replacing it).", "FILE");
    cl.add({"force"}, "Without -o: replace an existing file of the suggested name.");
    HttpLogin login;
    if (const int rc = ParseTransfer(cl, args, "download", 1,
                                     "download needs one MAC or IP address", ctx, login);
        rc >= 0)
        return rc;
    Endpoint endpoint;
    std::string name;
    if (const int rc = TransferTarget(ctx, S(cl.positional()[0]), false, login, endpoint, &name);
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

int CmdUpload(const QStringList &args, Context &ctx) {
    CommandLine cl("upload",
                   "Send a configuration document to a device. The device's own document is "
                   "read first, and sensor entries whose ID the device does not have are "
                   "left out of the upload; the library's upload filter applies as well. A "
                   "file that is not well-formed XML, or larger than 16 MiB, is refused before "
                   "anything is sent.",
                   "MAC|IP[:PORT] FILE");
    cl.add({"no-sensor-filter"}, "Send the sensor entries unchanged.");
    HttpLogin login;
    if (const int rc = ParseTransfer(cl, args, "upload", 2,
                                     "upload needs a MAC or IP address and a file", ctx, login);
        rc >= 0)
        return rc;
    const std::string path = S(cl.positional()[1]);
    std::string error;
    if (!CheckUploadFile(path, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    Endpoint endpoint;
    if (const int rc = TransferTarget(ctx, S(cl.positional()[0]), false, login, endpoint, nullptr);
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

// The names of the entries of `folder`.
std::vector<std::string> FolderEntries(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

int CmdBackup(const QStringList &args, Context &ctx) {
    CommandLine cl("backup",
                   "Search, then download the configuration document of every device that "
                   "keeps one into DIR, several devices at a time, so a device that does not "
                   "answer holds up only itself. Files are named as the main window suggests; "
                   "a name already chosen or already in DIR gets the MAC address added, so no "
                   "file is replaced. Only complete, well-formed documents are saved, readable "
                   "by their owner only. One summary line per device.",
                   "DIR");
    cl.add({"parallel"}, "Serve N devices at a time (1 to 64, default 32).", "N");
    cl.add({"history"}, "Keep DIR as a git repository with one file per device, named by its "
                        "MAC address, and commit what changed, once per run.");
    cl.add({"brief"}, "With --history: print the summary line only.");
    HttpLogin login;
    if (const int rc = ParseTransfer(cl, args, "backup", 1, "backup needs one folder", ctx, login);
        rc >= 0)
        return rc;
    if (!login.user.empty())
        if (const int rc = PasswordAllowed(ctx, "the web server password"); rc != kExitOk)
            return rc;
    SaveOptions options;
    options.login = login;
    options.showCount = true;
    if (cl.isSet("parallel") && !ParseNumber(cl.value("parallel"), 1, 64, &options.parallel)) {
        ctx.console.error("--parallel must be 1 to 64");
        return kExitUsage;
    }
    const std::string folder = S(cl.positional()[0]);
    if (std::string error; !CreateBackupFolder(folder, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    GitStore store;
    if (std::string error; cl.isSet("history") && !store.open(folder, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    std::vector<qvudps_module> devices;
    if (const int rc = SearchDevices(ctx, ctx.names, devices); rc != kExitOk)
        return rc;
    devices = SortedByMac(devices);
    std::vector<qvudps_module> keeping;
    std::vector<std::vector<std::string>> rows;
    for (const auto &m : devices) {
        if (SupportsConfigFiles(m.type))
            keeping.push_back(m);
        else
            rows.push_back({FieldText(m.mac), FieldText(m.ip) + ":" + std::to_string(m.port),
                            "skipped", "keeps no configuration document"});
    }
    if (cl.isSet("history"))
        return BackupWithHistory(store, keeping, rows, options, cl.isSet("brief"), ctx.console);
    const auto names = BackupFileNames(keeping, FolderEntries(folder));
    std::vector<SaveItem> items;
    for (size_t i = 0; i < keeping.size(); ++i) {
        SaveItem item;
        item.mac = FieldText(keeping[i].mac);
        item.device = {FieldText(keeping[i].ip), keeping[i].port};
        item.path = (std::filesystem::path(folder) / names[i]).string();
        item.nameBase = SafeXmlFileName(SuggestedFileName(
            FieldText(keeping[i].name), FieldText(keeping[i].ip), keeping[i].port));
        items.push_back(item);
    }
    options.overwrite = false;
    SaveSetupDocuments(items, options, ctx.console);
    size_t failed = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const SaveItem &item = items[i];
        const std::string address = item.device.host + ":" + std::to_string(item.device.port);
        if (item.saved) {
            rows.push_back({item.mac, address, "saved",
                            std::filesystem::path(item.path).filename().string() + " (" +
                                std::to_string(item.bytes) + " bytes)"});
        } else {
            ++failed;
            rows.push_back({item.mac, address, "failed", item.error});
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a[0] < b[0]; });
    ctx.console.out << FormatTable({"MAC", "Address", "Result", "File"}, rows);
    ctx.console.out << items.size() - failed << " of " << items.size()
                    << " configuration document(s) saved in " << folder << "\n";
    return failed ? kExitPartial : kExitOk;
}

int CmdValues(const QStringList &args, Context &ctx) {
    CommandLine cl("values", "Show the sensors, inputs and outputs of a device's values.xml.",
                   "MAC|IP[:PORT]");
    cl.add({"format"}, "Output format: table (default), csv or json.", "FORMAT");
    HttpLogin login;
    if (const int rc =
            ParseTransfer(cl, args, "values", 1, "values needs one MAC or IP address", ctx, login);
        rc >= 0)
        return rc;
    Format format = Format::Table;
    if (cl.isSet("format") && !ParseFormat(cl.value("format"), &format)) {
        ctx.console.error("--format must be table, csv or json");
        return kExitUsage;
    }
    Endpoint endpoint;
    if (const int rc = TransferTarget(ctx, S(cl.positional()[0]), true, login, endpoint, nullptr);
        rc != kExitOk)
        return rc;
    ValuesResult result;
    std::string error;
    if (const int rc = FetchValues(endpoint, login, ctx.console, result, &error); rc != kExitOk) {
        ctx.console.error(error);
        return rc;
    }
    ctx.console.out << FormatValues(*result.values, *result.counts, format);
    return kExitOk;
}

int CmdDiff(const QStringList &args, Context &ctx) {
    CommandLine cl("diff",
                   "Compare two configuration documents setting by setting: one line per "
                   "setting that differs, by element path, entries matched by Idx; layout, "
                   "line ends, element order and readings (clock, sensor values) are not "
                   "settings. A and B are files, or devices by MAC or IP[:PORT] whose document "
                   "is downloaded. Exit code 0 when equal, 1 when they differ, 2 on error.",
                   "A B");
    cl.add({"format"}, "Output format: text (default) or json.", "FORMAT");
    cl.add({"show-secrets"}, "Show passwords and SNMP communities instead of ***.");
    HttpLogin login;
    if (const int rc =
            ParseTransfer(cl, args, "diff", 2, "diff needs two files or devices", ctx, login);
        rc >= 0)
        return rc == kExitOk ? kDiffEqual : kDiffError;
    if (cl.isSet("format") && cl.value("format") != "text" && cl.value("format") != "json") {
        ctx.console.error("--format must be text or json");
        return kDiffError;
    }
    const auto fetch = [&](const std::string &target, std::string &document) {
        Endpoint endpoint;
        if (const int rc = TransferTarget(ctx, target, false, login, endpoint, nullptr);
            rc != kExitOk)
            return rc;
        std::vector<SaveItem> items(1);
        items[0].device = endpoint;
        items[0].inMemory = true;
        SaveOptions options;
        options.login = login;
        SaveSetupDocuments(items, options, ctx.console);
        if (!items[0].saved)
            ctx.console.error("Downloading configuration... " + items[0].error);
        document = std::move(items[0].document);
        return items[0].saved ? kExitOk : items[0].code;
    };
    return RunDiff(S(cl.positional()[0]), S(cl.positional()[1]), cl.value("format") == "json",
                   cl.isSet("show-secrets"), fetch, ctx.console);
}

int CmdHistory(const QStringList &args, Context &ctx) {
    CommandLine cl("history",
                   "Show the commits of a backup history (backup --history) that changed one "
                   "device, newest first, each with the settings it changed.",
                   "MAC|NAME");
    cl.add({"repo"}, "The history's folder (default: the current folder).", "DIR");
    cl.add({"show-secrets"}, "Show passwords and SNMP communities instead of ***.");
    if (!cl.parse(args, "history", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 1) {
        ctx.console.error("history needs one MAC address or device name");
        return kExitUsage;
    }
    return ShowHistory(cl.isSet("repo") ? cl.value("repo") : std::string("."),
                       S(cl.positional()[0]), cl.isSet("show-secrets"), ctx.console);
}

} // namespace

int RunCli(const QStringList &args, std::ostream &out, std::ostream &err, const Environment &env) {
    const bool quiet = args.contains("-q") || args.contains("--quiet");
    Console console(out, err, env.terminal, quiet);
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() >= 2 && args[0] == "help")
            return RunCli({args[1], "--help"}, out, err, env);
        out << kOverviewText << PasswordHelpText({&kHttpPassword, &kSetupPassword}) << "\n"
            << kExitCodesText;
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    using Command = int (*)(const QStringList &, Context &);
    static const std::map<QString, Command> commands = {
        {"search", CmdSearch},     {"set", CmdSet},       {"defaults", CmdDefaults},
        {"download", CmdDownload}, {"upload", CmdUpload}, {"backup", CmdBackup},
        {"values", CmdValues},     {"diff", CmdDiff},     {"history", CmdHistory}};
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        console.error("unknown command \"" + S(args[0]) + "\" (see kelvo-cli --help)");
        return kExitUsage;
    }
    Context ctx{console, env, Route{}, true, false, 0, {}};
    return it->second(args.mid(1), ctx);
}

} // namespace kelvo::cli
