// kelvo-cli: the device search, setup and configuration transfers of the
// main window from a shell. See "kelvo-cli --help".
#include "commands.h"
#include "kelvo_version.h"

#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kelvo-cli");
    QCoreApplication::setApplicationVersion(KELVO_VERSION);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args == QStringList{"--version"}) {
        std::cout << "kelvo-cli " KELVO_VERSION "\n";
        return 0;
    }
    kelvo::cli::Environment env;
    env.terminal = isatty(STDERR_FILENO) != 0;
    const int rc = kelvo::cli::RunCli(args, std::cout, std::cerr, env);
    std::cout.flush();
    return rc;
}
