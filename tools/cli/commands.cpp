#include "commands.h"

#include "console.h"
#include "deviceoutput.h"
#include "devicetext.h"
#include "discovery.h"
#include "kelvohost.h"
#include "setupplan.h"
#include "tea.h"
#include "textutil.h"
#include "transfer.h"
#include "valuesoutput.h"

#include <QCommandLineParser>

#include <algorithm>
#include <filesystem>
#include <map>

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
                                   "  7  backup: some devices could not be saved\n"
                                   "  8  no relay listens on the relay address (start kelvo-relay "
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
        add({"direct"}, "Broadcast searches and setups ourselves instead of using a relay.");
        add({"no-names"}, "Do not fetch device names over HTTP after the search.");
        if (withFilter) {
            add({"all"}, "Ignore the MAC filter file.");
            add({"filter-file"},
                "Read the MAC filter from FILE instead of the user's and the "
                "program's filter files.",
                "FILE");
        }
    }

    void addHttpLogin() {
        add({"http-user"}, "User name for the device's web server.", "USER");
        add({"http-password"}, "Password for the device's web server.", "PASSWORD");
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
               "\n" + kExitCodesText;
    }

    bool isSet(const char *name) const { return parser.isSet(QString(name)); }
    std::string value(const char *name) const { return S(parser.value(QString(name))); }
    QStringList positional() const { return parser.positionalArguments(); }

    QCommandLineParser parser;
    std::string usage;
};

// Everything a command needs to reach devices.
struct Context {
    Console &console;
    const Environment &env;
    Route route;
    bool names = true;
    bool all = false;
};

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
        if (file.empty())
            host::LoadDefaultMacFilters();
        else
            host::LoadMacFilterFile(file);
    }
    return true;
}

// Searches and returns the devices the MAC filter keeps (all with --all).
int SearchDevices(Context &ctx, bool names, std::vector<qvudps_module> &devices) {
    const Route &r = ctx.route;
    if (!r.direct && host::ProbeRelay(r.relayAddress, r.relayPort) == host::RelayPresence::Absent) {
        ctx.console.error(host::NoRelayText(r.relayAddress, r.relayPort) +
                          "; or search without it: --direct");
        return kExitNoRelay;
    }
    std::string error;
    if (!StartDiscovery(ctx.route, &error)) {
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
    if (found.empty() && !r.direct)
        ctx.console.note(host::NothingFoundText(r.relayAddress, r.relayPort));
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
    if (!udps::setup_key_from_login(cl.value("user"), cl.value("password"), key)) {
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

HttpLogin LoginOf(const CommandLine &cl) {
    return {cl.value("http-user"), cl.value("http-password")};
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
    return kExitOk;
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
    if (cl.isSet("port")) {
        int port = 0;
        if (!ParseNumber(cl.value("port"), 0, 65535, &port)) {
            console.error("--port needs a number 0 to 65535");
            return false;
        }
        c.port = static_cast<std::uint16_t>(port);
    }
    if (cl.isSet("name"))
        c.name = cl.value("name");
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
    if (cl.isSet("user") != cl.isSet("password")) {
        console.error("--user and --password go together");
        return false;
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

int CmdSet(const QStringList &args, Context &ctx) {
    CommandLine cl("set",
                   "Change the given settings of one device with one setup message, then "
                   "search again and confirm that the device reports them.",
                   "MAC");
    cl.add({"ip"}, "New IP address.", "A");
    cl.add({"mask"}, "New subnet mask.", "A");
    cl.add({"gateway"}, "New default gateway.", "A");
    cl.add({"port"}, "New device port.", "N");
    cl.add({"name"}, "New device name (at most 33 bytes of UTF-8 are kept).", "TEXT");
    cl.add({"dhcp"}, "DHCP on or off.", "on|off");
    cl.add({"tcp-setup"}, "TCP setup on or off.", "on|off");
    cl.add({"tea"}, "TEA authorisation on or off.", "on|off");
    cl.add({"nvt"}, "NVT on or off.", "on|off");
    cl.add({"filter"}, "IP access filter value and mask.", "A/M");
    cl.add({"no-filter"}, "Switch the IP access filter off (0.0.0.0/0.0.0.0).");
    cl.add({"user"}, "User name for a device that requires authorised setup.", "U");
    cl.add({"password"}, "Password for a device that requires authorised setup.", "P");
    cl.add({"check"}, "Check the new address against this PC's network and by ping first; "
                      "refuse instead of asking.");
    cl.add({"interface"},
           "With --check: this PC's adapter to check against (default: the one whose subnet "
           "holds the device, else the one with the default route).",
           "NAME");
    cl.add({"yes"}, "Answer Yes to the questions of the checks (port 99, address conflicts).");
    cl.addRoute(true);
    if (!cl.parse(args, "set", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 1) {
        ctx.console.error("set needs exactly one MAC address");
        return kExitUsage;
    }
    SetupChanges changes;
    if (!ReadChanges(cl, changes, ctx.console) || !ReadRoute(cl, ctx))
        return kExitUsage;
    if (cl.isSet("interface") && !cl.isSet("check")) {
        ctx.console.error("--interface only goes with --check");
        return kExitUsage;
    }
    if (changes.empty()) {
        ctx.console.error("nothing to change: give at least one of --ip, --mask, --gateway, "
                          "--port, --name, --dhcp, --tcp-setup, --tea, --nvt, --filter, "
                          "--no-filter");
        return kExitUsage;
    }
    qvudps_module device{};
    const bool names = ctx.names || changes.name.has_value();
    int rc = FindDevice(ctx, S(cl.positional()[0]), names, device);
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
    if (cl.isSet("check")) {
        const std::string adapter = cl.isSet("interface") ? cl.value("interface") : "";
        const int arc = ctx.env.readAdapter ? ctx.env.readAdapter()
                                            : host::UseAdapterFor(FieldText(device.ip), adapter);
        if (arc == -2) {
            ctx.console.error("no up IPv4 adapter named " + adapter + " on this PC");
            return kExitUsage;
        }
        if (arc != 0)
            ctx.console.note("cannot read this PC's network settings; the checks use none");
    }
    ConsolePrompts prompts(ctx.console, cl.isSet("yes"));
    std::vector<std::string> notes;
    const host::PingFunction ping =
        ctx.env.ping ? ctx.env.ping : host::PingFunction(host::PingAddress);
    if (!AskBeforeSetup(settings, FieldText(device.ip), cl.isSet("check"), prompts, ping, &notes)) {
        ctx.console.error("new settings not sent");
        return kExitRefused;
    }
    for (const auto &n : notes)
        ctx.console.note(n);
    if ((rc = PrepareSetupKey(ctx, device, cl)) != kExitOk)
        return rc;
    std::string error;
    if (!Setup(settings, 1, ctx.console, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    return WithKeyHint(ctx, device, Confirm(ctx, mac, &changes, names));
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
    cl.add({"password"}, "Password for a device that requires authorised setup.", "P");
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
    if (cl.isSet("user") != cl.isSet("password")) {
        ctx.console.error("--user and --password go together");
        return kExitUsage;
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    qvudps_module device{};
    int rc = FindDevice(ctx, S(cl.positional()[0]), ctx.names, device);
    if (rc != kExitOk)
        return rc;
    const std::string mac = FieldText(device.mac);
    if (!device.defaults_supported) {
        ctx.console.error(mac + ": this device cannot restore its default settings");
        return kExitUsage;
    }
    if ((rc = PrepareSetupKey(ctx, device, cl)) != kExitOk)
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

// ---- download, upload ----

int CheckConfigDevice(Context &ctx, const qvudps_module &device) {
    if (SupportsConfigFiles(device.type))
        return kExitOk;
    ctx.console.error(FieldText(device.mac) + ": device type " + std::to_string(device.type) +
                      " keeps no configuration document");
    return kExitUsage;
}

int CmdDownload(const QStringList &args, Context &ctx) {
    CommandLine cl("download",
                   "Save a device's configuration document (setup.xml) to a file, byte for byte "
                   "as the device sends it. Without -o the file is named as the main window "
                   "suggests: the device name, or IP_with_underscores_PORT, with \".xml\".",
                   "MAC|IP[:PORT]");
    cl.add({"o", "output"}, "Write to FILE.", "FILE");
    cl.addHttpLogin();
    cl.addRoute(true);
    if (!cl.parse(args, "download", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 1) {
        ctx.console.error("download needs one MAC or IP address");
        return kExitUsage;
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    Endpoint endpoint;
    qvudps_module device{};
    bool found = false;
    int rc = ResolveEndpoint(ctx, S(cl.positional()[0]), endpoint, &device, &found);
    if (rc != kExitOk)
        return rc;
    if (found && (rc = CheckConfigDevice(ctx, device)) != kExitOk)
        return rc;
    std::string path = cl.value("o");
    if (path.empty())
        path =
            SafeXmlFileName(SuggestedFileName(found ? FieldText(device.name) : std::string(),
                                              endpoint.host, static_cast<unsigned>(endpoint.port)));
    std::string error;
    rc = DownloadConfig(endpoint, path, LoginOf(cl), ctx.console, &error);
    if (rc != kExitOk) {
        ctx.console.error(error);
        return rc;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    ctx.console.out << path << " (" << (ec ? 0 : size) << " bytes)\n";
    return kExitOk;
}

int CmdUpload(const QStringList &args, Context &ctx) {
    CommandLine cl("upload",
                   "Send a configuration document to a device. The device's own document is "
                   "read first, and sensor entries whose ID the device does not have are "
                   "left out of the upload; the library's upload filter applies as well.",
                   "MAC|IP[:PORT] FILE");
    cl.add({"no-sensor-filter"}, "Send the sensor entries unchanged.");
    cl.addHttpLogin();
    cl.addRoute(true);
    if (!cl.parse(args, "upload", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 2) {
        ctx.console.error("upload needs a MAC or IP address and a file");
        return kExitUsage;
    }
    const std::string path = S(cl.positional()[1]);
    {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec) ||
            std::filesystem::file_size(path, ec) == 0) {
            ctx.console.error("cannot read " + path + " (or it is empty)");
            return kExitFailed;
        }
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    Endpoint endpoint;
    qvudps_module device{};
    bool found = false;
    int rc = ResolveEndpoint(ctx, S(cl.positional()[0]), endpoint, &device, &found);
    if (rc != kExitOk)
        return rc;
    if (found && (rc = CheckConfigDevice(ctx, device)) != kExitOk)
        return rc;
    std::string error;
    rc = UploadConfig(endpoint, path, !cl.isSet("no-sensor-filter"), LoginOf(cl), ctx.console,
                      &error);
    if (rc != kExitOk) {
        ctx.console.error(error);
        return rc;
    }
    ctx.console.out << "uploaded " << path << " to " << endpoint.host << ":" << endpoint.port
                    << "\n";
    return kExitOk;
}

// ---- backup ----

int CmdBackup(const QStringList &args, Context &ctx) {
    CommandLine cl("backup",
                   "Search, then download the configuration document of every device that "
                   "keeps one, all through one multi-device handle, into DIR. Files are named "
                   "as the main window suggests; a name taken twice gets the MAC address "
                   "added. One summary line per device.",
                   "DIR");
    cl.addHttpLogin();
    cl.addRoute(true);
    if (!cl.parse(args, "backup", ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (cl.positional().size() != 1) {
        ctx.console.error("backup needs one folder");
        return kExitUsage;
    }
    const std::string folder = S(cl.positional()[0]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        ctx.console.error("cannot create the folder " + folder);
        return kExitFailed;
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    std::vector<qvudps_module> devices;
    int rc = SearchDevices(ctx, ctx.names, devices);
    if (rc != kExitOk)
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
    const auto names = BackupFileNames(keeping);
    std::vector<BackupItem> items;
    for (size_t i = 0; i < keeping.size(); ++i) {
        BackupItem item;
        item.mac = FieldText(keeping[i].mac);
        item.device = {FieldText(keeping[i].ip), keeping[i].port};
        item.fileName = names[i];
        items.push_back(item);
    }
    std::string error;
    if (!items.empty() && !BackupConfigs(items, folder, LoginOf(cl), ctx.console, &error)) {
        ctx.console.error(error);
        return kExitFailed;
    }
    int failed = 0;
    for (const auto &item : items) {
        const std::string address = item.device.host + ":" + std::to_string(item.device.port);
        if (item.saved)
            rows.push_back({item.mac, address, "saved",
                            item.fileName + " (" + std::to_string(item.bytes) + " bytes)"});
        else {
            ++failed;
            rows.push_back({item.mac, address, "failed", item.error});
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a[0] < b[0]; });
    ctx.console.out << FormatTable({"MAC", "Address", "Result", "File"}, rows);
    ctx.console.out << items.size() - static_cast<size_t>(failed) << " of " << items.size()
                    << " configuration document(s) saved in " << folder << "\n";
    return failed ? kExitPartial : kExitOk;
}

// ---- values ----

int CmdValues(const QStringList &args, Context &ctx) {
    CommandLine cl("values", "Show the sensors, inputs and outputs of a device's values.xml.",
                   "MAC|IP[:PORT]");
    cl.add({"format"}, "Output format: table (default), csv or json.", "FORMAT");
    cl.addHttpLogin();
    cl.addRoute(true);
    if (!cl.parse(args, "values", ctx.console))
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
    if (cl.positional().size() != 1) {
        ctx.console.error("values needs one MAC or IP address");
        return kExitUsage;
    }
    if (!ReadRoute(cl, ctx))
        return kExitUsage;
    Endpoint endpoint;
    qvudps_module device{};
    bool found = false;
    int rc = ResolveEndpoint(ctx, S(cl.positional()[0]), endpoint, &device, &found);
    if (rc != kExitOk)
        return rc;
    if (found && !device.web_supported) {
        ctx.console.error(FieldText(device.mac) + ": this device has no web interface");
        return kExitUsage;
    }
    ValuesResult result;
    std::string error;
    rc = FetchValues(endpoint, LoginOf(cl), ctx.console, result, &error);
    if (rc != kExitOk) {
        ctx.console.error(error);
        return rc;
    }
    ctx.console.out << FormatValues(*result.values, *result.counts, format);
    return kExitOk;
}

} // namespace

int RunCli(const QStringList &args, std::ostream &out, std::ostream &err, const Environment &env) {
    const bool quiet = args.contains("-q") || args.contains("--quiet");
    Console console(out, err, env.terminal, quiet);
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() >= 2 && args[0] == "help")
            return RunCli({args[1], "--help"}, out, err, env);
        out << kOverviewText << kExitCodesText;
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    using Command = int (*)(const QStringList &, Context &);
    static const std::map<QString, Command> commands = {
        {"search", CmdSearch},     {"set", CmdSet},       {"defaults", CmdDefaults},
        {"download", CmdDownload}, {"upload", CmdUpload}, {"backup", CmdBackup},
        {"values", CmdValues}};
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        console.error("unknown command \"" + S(args[0]) + "\" (see kelvo-cli --help)");
        return kExitUsage;
    }
    Context ctx{console, env, Route{}, true, false};
    return it->second(args.mid(1), ctx);
}

} // namespace kelvo::cli
