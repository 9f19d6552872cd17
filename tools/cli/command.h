// The frame of every kelvo-cli command: its options, the parsing, the help
// and the check of its arguments, written once here; the commands themselves
// live in commands/, one file each, and are listed in commands.cpp.
//
// Threading: the thread that owns the QCoreApplication, one command at a time.
#ifndef KELVO_CLI_COMMAND_H
#define KELVO_CLI_COMMAND_H

#include "commands.h"
#include "console.h"
#include "deviceoutput.h"
#include "discovery.h"
#include "passwords.h"

#include <QCommandLineParser>
#include <QStringList>

#include <string>
#include <vector>

namespace kelvo::cli {

// The exit codes as the help of every command lists them.
extern const char *const kExitCodesText;

std::string S(const QString &q);

// The parser of one command with the options every command shares.
class CommandLine {
public:
    CommandLine(const char *command, const char *description, const char *arguments);

    void add(const QStringList &names, const char *help, const char *value = nullptr);
    // --relay, --direct, --no-names, --all and --filter-file.
    void addRoute();
    // A password option, its file option, and their lines in the help.
    void addPassword(const PasswordSource &source);
    // --user and the setup password.
    void addSetupLogin();
    // --http-user and the web server password.
    void addHttpLogin();
    // --format FORMAT of a device list.
    void addFormat();

    // --user and the setup password from any of its sources, read once after
    // parse(); a password without --user (the environment alone excepted) is
    // refused, and so is --user without any password.
    bool readSetupLogin(Console &console);

    // False with the message on `console` for a bad command line.
    bool parse(const QStringList &args, const char *command, Console &console);
    bool wantsHelp() const { return parser.isSet("help"); }
    std::string help() const;

    bool isSet(const char *name) const { return parser.isSet(QString(name)); }
    std::string value(const char *name) const { return S(parser.value(QString(name))); }
    QStringList positional() const { return parser.positionalArguments(); }
    std::string argument(qsizetype i) const { return S(parser.positionalArguments().at(i)); }

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
    bool names = true;       // fetch device names over HTTP after a search
    bool all = false;        // --all: the MAC filter hides nothing
    int dropped = 0;         // devices the last search could not keep
    std::string relayStatus; // what the relay said of itself when last asked
};

// One option of a command as its help lists it: its names, the help line and
// the name of its value (none for a switch).
struct OptionSpec {
    QStringList names;
    const char *help;
    const char *value = nullptr;
};

// diff's and history's --show-secrets.
extern const OptionSpec kShowSecrets;

// What the overview and the help say of a command, and what it takes.
struct CommandSpec {
    const char *name;        // "search"
    const char *summary;     // its line in the overview
    const char *description; // the first paragraph of its help
    const char *arguments;   // in the usage line: "MAC|IP[:PORT]", "" for none
    // How many arguments it takes, and the error when their count differs;
    // kAnyArguments: the command checks them itself.
    int argumentCount;
    const char *wrongArguments;
    // Its own options, first in its help; Declare adds those made elsewhere.
    std::vector<OptionSpec> options = {};
};
inline constexpr int kAnyArguments = -1;

// A command runs in this order: parse, --help, the argument count, its own
// options (ReadOptions), the options its kind shares (ReadShared), then
// Execute. A step that returns other than kExitOk ends it with that code.
class Command {
public:
    explicit Command(const CommandSpec &spec_) : spec(spec_) {}
    virtual ~Command() = default;
    Command(const Command &) = delete;
    Command &operator=(const Command &) = delete;

    int Run(const QStringList &args, Context &ctx);

    const CommandSpec spec;

protected:
    // The command's options that CommandSpec::options does not list, after
    // those.
    virtual void Declare(CommandLine &) {}
    // The options a kind of command shares, listed after its own.
    virtual void DeclareShared(CommandLine &) {}
    virtual int ReadOptions(CommandLine &, Context &) { return kExitOk; }
    virtual int ReadShared(CommandLine &, Context &) { return kExitOk; }
    virtual int Execute(CommandLine &cl, Context &ctx) = 0;
};

// --format of a device list; false with the message on the console.
bool ReadFormat(const CommandLine &cl, Console &console, Format *format);

} // namespace kelvo::cli

#endif
