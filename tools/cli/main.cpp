// kelvo-cli: the device search, setup and configuration transfers of the
// main window from a shell. See "kelvo-cli --help".
#include "commands.h"

#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kelvo-cli");
    kelvo::cli::Environment env;
    env.terminal = isatty(STDERR_FILENO) != 0;
    const int rc =
        kelvo::cli::RunCli(QCoreApplication::arguments().mid(1), std::cout, std::cerr, env);
    std::cout.flush();
    return rc;
}
