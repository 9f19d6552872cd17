// Stop requests on POSIX systems: the handler writes a byte to a pipe the
// command polls, the only work a signal handler may safely do.
#include "stopsignal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace kelvo::cli {

namespace {

int stopPipe[2] = {-1, -1};
struct sigaction earlierInt {};
struct sigaction earlierTerm {};

void OnSignal(int) {
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] const auto r = ::write(stopPipe[1], &b, 1);
    errno = saved;
}

} // namespace

bool StopSignal::Start(std::string *error) {
    if (started)
        return true;
    if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, &earlierInt);
    ::sigaction(SIGTERM, &sa, &earlierTerm);
    started = true;
    return true;
}

StopSignal::~StopSignal() {
    if (!started)
        return;
    ::sigaction(SIGINT, &earlierInt, nullptr);
    ::sigaction(SIGTERM, &earlierTerm, nullptr);
}

bool StopSignal::Wait(int ms) {
    if (!started)
        return false;
    pollfd p{stopPipe[0], POLLIN, 0};
    const int n = ::poll(&p, 1, ms < 0 ? 0 : ms);
    return n > 0 && (p.revents & POLLIN) != 0;
}

} // namespace kelvo::cli
