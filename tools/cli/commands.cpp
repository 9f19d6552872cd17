#include "commands.h"

#include "command.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace kelvo::cli {

// Each command is one file in commands/ that defines its factory, named
// New<Name>Command, and one line in this list, in the order the overview
// shows them. See the README's command-line section.
#define KELVO_CLI_COMMANDS(X)                                                                      \
    X(Search)                                                                                      \
    X(Watch)                                                                                       \
    X(Set)                                                                                         \
    X(Defaults)                                                                                    \
    X(Download)                                                                                    \
    X(Upload)                                                                                      \
    X(Backup)                                                                                      \
    X(Values)                                                                                      \
    X(Diff)                                                                                        \
    X(History)

#define KELVO_CLI_DECLARE(Name) std::unique_ptr<Command> New##Name##Command();
KELVO_CLI_COMMANDS(KELVO_CLI_DECLARE)
#undef KELVO_CLI_DECLARE

namespace {

using Factory = std::unique_ptr<Command> (*)();

const std::vector<Factory> &Registry() {
#define KELVO_CLI_FACTORY(Name) &New##Name##Command,
    static const std::vector<Factory> factories = {KELVO_CLI_COMMANDS(KELVO_CLI_FACTORY)};
#undef KELVO_CLI_FACTORY
    return factories;
}

std::string Overview() {
    std::string text = "Usage: kelvo-cli COMMAND [options]\n"
                       "\n"
                       "Finds and configures Kelvo devices from a shell. Searches and setups go\n"
                       "through the relay on 127.0.0.1:9999 unless --relay or --direct says "
                       "otherwise.\n"
                       "\n"
                       "Commands:\n";
    for (const Factory make : Registry()) {
        const auto command = make();
        std::string name = command->spec.name;
        name.resize(std::max<size_t>(name.size() + 1, 11), ' ');
        text += "  " + name + command->spec.summary + "\n";
    }
    return text + "\n"
                  "Run \"kelvo-cli COMMAND --help\" for the options of a command.\n"
                  "Progress goes to standard error; --quiet keeps it silent.\n"
                  "The MAC filter files hide devices as in the main window: the one shared "
                  "with\n"
                  "it, $XDG_CONFIG_HOME/Marvane/Kelvo.filter (~/.config/Marvane/Kelvo.filter),\n"
                  "and kelvo-cli.filter beside the program; --all shows them.\n\n";
}

std::unique_ptr<Command> Find(const QString &name) {
    for (const Factory make : Registry())
        if (auto command = make(); name == command->spec.name)
            return command;
    return nullptr;
}

} // namespace

int RunCli(const QStringList &args, std::ostream &out, std::ostream &err, const Environment &env) {
    const bool quiet = args.contains("-q") || args.contains("--quiet");
    Console console(out, err, env.terminal, quiet);
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        if (args.size() >= 2 && args[0] == "help")
            return RunCli({args[1], "--help"}, out, err, env);
        out << Overview() << PasswordHelpText({&kHttpPassword, &kSetupPassword}) << "\n"
            << kExitCodesText;
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const auto command = Find(args[0]);
    if (!command) {
        console.error("unknown command \"" + S(args[0]) + "\" (see kelvo-cli --help)");
        return kExitUsage;
    }
    Context ctx{console, env, Route{}, true, false, 0, {}};
    return command->Run(args.mid(1), ctx);
}

} // namespace kelvo::cli
