// kelvo-relay on a POSIX system: serves until SIGINT or SIGTERM, on the
// socket a service manager hands over when it does.
#include "program.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace kelvo::relay {

namespace {

int stop_pipe[2] = {-1, -1};

void on_signal(int) {
    const char b = 1;
    [[maybe_unused]] auto r = write(stop_pipe[1], &b, 1);
}

} // namespace

QList<QCommandLineOption> platform_options() {
    return {};
}

int serve(const Options &options, const QStringList &, const QStringList &) {
    if (pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "kelvo-relay: cannot create a pipe\n");
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::string error;
    const int inherited = inherited_socket(&error);
    if (inherited == -2) {
        std::fprintf(stderr, "kelvo-relay: %s\n", error.c_str());
        return 1;
    }
    return run_relay(options, stop_pipe[0], inherited, stdout);
}

} // namespace kelvo::relay
