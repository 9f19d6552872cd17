#include "command.h"

namespace kelvo::cli {

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

const OptionSpec kShowSecrets{{"show-secrets"},
                              "Show passwords and SNMP communities instead of ***."};

std::string S(const QString &q) {
    return q.toStdString();
}

CommandLine::CommandLine(const char *command, const char *description, const char *arguments) {
    parser.setApplicationDescription(QString(description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    usage = std::string("Usage: kelvo-cli ") + command + " [options]" +
            (arguments[0] ? std::string(" ") + arguments : std::string());
    add({"quiet", "q"}, "No progress on standard error.");
    add({"help", "h"}, "Show this help.");
}

void CommandLine::add(const QStringList &names, const char *help, const char *value) {
    QCommandLineOption o(names, QString(help));
    if (value)
        o.setValueName(QString(value));
    parser.addOption(o);
}

void CommandLine::addRoute() {
    add({"relay"},
        "Send searches and setups through the relay at ADDR:PORT "
        "(default 127.0.0.1:9999).",
        "ADDR:PORT");
    add({"direct"}, "Broadcast searches and setups ourselves, on every up IPv4 adapter, "
                    "instead of using a relay.");
    add({"no-names"}, "Do not fetch device names over HTTP after the search.");
    add({"all"}, "Ignore the MAC filter file.");
    add({"filter-file"},
        "Read the MAC filter from FILE instead of the user's and the "
        "program's filter files.",
        "FILE");
}

void CommandLine::addPassword(const PasswordSource &source) {
    AddPasswordOptions(parser, source);
    passwords.push_back(&source);
}

void CommandLine::addSetupLogin() {
    add({"user"}, "User name for a device that requires authorised setup.", "U");
    addPassword(kSetupPassword);
}

void CommandLine::addHttpLogin() {
    add({"http-user"}, "User name for the device's web server.", "USER");
    addPassword(kHttpPassword);
}

void CommandLine::addFormat() {
    add({"format"}, "Output format: table (default), csv or json.", "FORMAT");
}

bool CommandLine::readSetupLogin(Console &console) {
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

bool CommandLine::parse(const QStringList &args, const char *command, Console &console) {
    QStringList all = args;
    all.prepend(QString("kelvo-cli ") + command);
    if (!parser.parse(all)) {
        console.error(S(parser.errorText()) + " (see kelvo-cli " + command + " --help)");
        return false;
    }
    return true;
}

std::string CommandLine::help() const {
    std::string text = S(parser.helpText());
    // Qt's first line names the program only; ours names the arguments.
    const auto eol = text.find('\n');
    return usage + "\n" + (eol == std::string::npos ? std::string("\n") : text.substr(eol)) + "\n" +
           (passwords.empty() ? std::string() : PasswordHelpText(passwords) + "\n") +
           kExitCodesText;
}

int Command::Run(const QStringList &args, Context &ctx) {
    CommandLine cl(spec.name, spec.description, spec.arguments);
    for (const auto &option : spec.options)
        cl.add(option.names, option.help, option.value);
    Declare(cl);
    DeclareShared(cl);
    if (!cl.parse(args, spec.name, ctx.console))
        return kExitUsage;
    if (cl.wantsHelp()) {
        ctx.console.out << cl.help();
        return kExitOk;
    }
    if (spec.argumentCount != kAnyArguments && cl.positional().size() != spec.argumentCount) {
        ctx.console.error(spec.wrongArguments);
        return kExitUsage;
    }
    if (const int rc = ReadOptions(cl, ctx); rc != kExitOk)
        return rc;
    if (const int rc = ReadShared(cl, ctx); rc != kExitOk)
        return rc;
    return Execute(cl, ctx);
}

bool ReadFormat(const CommandLine &cl, Console &console, Format *format) {
    *format = Format::Table;
    if (cl.isSet("format") && !ParseFormat(cl.value("format"), format)) {
        console.error("--format must be table, csv or json");
        return false;
    }
    return true;
}

} // namespace kelvo::cli
