// Where kelvo-cli takes a password from, so that none has to stand on the
// command line, where every local user can read it.
//
// Threading: the thread that runs the command.
#ifndef KELVO_CLI_PASSWORDS_H
#define KELVO_CLI_PASSWORDS_H

#include "hostsecrets.h"

#include <QCommandLineParser>
#include <QString>

#include <string>
#include <vector>

namespace kelvo::cli {

// Longest user name or password the libraries keep (their fields hold 100
// bytes with the NUL); a longer one is refused, never cut.
constexpr std::size_t kCredentialMax = 99;

// One password a command may need.
struct PasswordSource {
    QString option;          // "password": --password P
    QString fileOption;      // "password-file": --password-file FILE, first line
    const char *environment; // "KELVO_PASSWORD"
    const char *what;        // "setup password", for help, prompt and errors
};

extern const PasswordSource kSetupPassword; // --password, KELVO_PASSWORD
extern const PasswordSource kHttpPassword;  // --http-password, KELVO_HTTP_PASSWORD

// Adds the option and the file option of `source` to `parser`.
void AddPasswordOptions(QCommandLineParser &parser, const PasswordSource &source);

// The help text's paragraph on where the passwords of `sources` come from.
std::string PasswordHelpText(const std::vector<const PasswordSource *> &sources);

// Reads the password of `source`, trying in this order the option, the file
// option, the environment variable and, when `prompt` is set and standard
// input is a terminal, a prompt without echo. `found` tells whether any of
// them gave one. False with `error` when both options are given, the file
// cannot be read or the password is longer than kCredentialMax. Whenever a
// password may come, the process stops leaving core dumps first.
bool ReadPassword(const QCommandLineParser &parser, const PasswordSource &source, bool prompt,
                  host::Secret *password, bool *found, std::string *error);

// Platform part. True when standard input is a terminal.
bool StdinIsTerminal();
// Shows `prompt` on the terminal `fd` and reads one line from it with echo
// switched off (restored afterwards); false when `fd` is no terminal or
// nothing could be read. A line longer than the secret holds is read to its
// end and reported by `tooLong`, leaving `line` empty.
bool ReadHiddenLine(int fd, const std::string &prompt, host::Secret *line, bool *tooLong);

} // namespace kelvo::cli

#endif
