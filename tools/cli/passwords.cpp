#include "passwords.h"

#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace kelvo::cli {

const PasswordSource kSetupPassword = {"password", "password-file", "KELVO_PASSWORD",
                                       "setup password"};
const PasswordSource kHttpPassword = {"http-password", "http-password-file", "KELVO_HTTP_PASSWORD",
                                      "web server password"};

void AddPasswordOptions(QCommandLineParser &parser, const PasswordSource &source) {
    const QString what = QString::fromLatin1(source.what);
    QCommandLineOption value(source.option,
                             "The " + what + " (visible to other local users; prefer " +
                                 QString::fromLatin1(source.environment) + " or --" +
                                 source.fileOption + ").",
                             "P");
    QCommandLineOption file(source.fileOption, "Read the " + what + " from the first line of FILE.",
                            "FILE");
    parser.addOption(value);
    parser.addOption(file);
}

std::string PasswordHelpText(const std::vector<const PasswordSource *> &sources) {
    std::string text = "Passwords:\n";
    for (const PasswordSource *p : sources)
        text += "  --" + p->option.toStdString() + " is visible to every local user; " +
                p->environment + "\n  or --" + p->fileOption.toStdString() +
                " FILE (its first line) is not.\n";
    return text + "  On a terminal, a password that is needed and not given is asked for\n"
                  "  without echo.\n";
}

namespace {

bool ReadFirstLine(const QString &path, host::Secret *line, bool *tooLong, std::string *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    // A password file holds one short line; more is not read.
    QByteArray text = file.read(4096);
    const auto eol = text.indexOf('\n');
    if (eol >= 0)
        text.truncate(eol);
    if (text.endsWith('\r'))
        text.chop(1);
    *tooLong = !line->assign(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    text.fill('\0');
    return true;
}

} // namespace

bool ReadPassword(const QCommandLineParser &parser, const PasswordSource &source, bool prompt,
                  host::Secret *password, bool *found, std::string *error) {
    *found = false;
    password->clear();
    const bool hasValue = parser.isSet(source.option);
    const bool hasFile = parser.isSet(source.fileOption);
    const char *env = std::getenv(source.environment);
    if (hasValue || hasFile || env || (prompt && StdinIsTerminal()))
        host::KeepSecretsOutOfDumps();
    bool tooLong = false;
    if (hasValue && hasFile) {
        *error = "--" + source.option.toStdString() + " and --" + source.fileOption.toStdString() +
                 " exclude each other";
        return false;
    }
    if (hasValue) {
        QByteArray value = parser.value(source.option).toUtf8();
        tooLong = !password->assign(
            std::string_view(value.constData(), static_cast<size_t>(value.size())));
        value.fill('\0');
        *found = true;
    } else if (hasFile) {
        if (!ReadFirstLine(parser.value(source.fileOption), password, &tooLong, error))
            return false;
        *found = true;
    } else if (env) {
        tooLong = !password->assign(env);
        *found = true;
    } else if (prompt && StdinIsTerminal()) {
        *found = ReadHiddenLine(STDIN_FILENO, std::string(source.what) + ": ", password, &tooLong);
    }
    if (tooLong || password->size() > kCredentialMax) {
        password->clear();
        *error = std::string("the ") + source.what + " is longer than " +
                 std::to_string(kCredentialMax) + " bytes, more than a device keeps";
        return false;
    }
    return true;
}

} // namespace kelvo::cli
