#include "passwords.h"

#include <termios.h>
#include <unistd.h>

namespace kelvo::cli {

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool ReadHiddenLine(int fd, const std::string &prompt, std::string *line) {
    termios saved{};
    if (tcgetattr(fd, &saved) != 0)
        return false;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    if (tcsetattr(fd, TCSANOW, &quiet) != 0)
        return false;
    [[maybe_unused]] auto shown = write(fd, prompt.data(), prompt.size());
    line->clear();
    bool ended = false;
    // Bounded: a password is short, a longer line is refused by the caller.
    for (char c; line->size() <= 4096;) {
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0 || c == '\n') {
            ended = n > 0 || !line->empty();
            break;
        }
        if (c != '\r')
            line->push_back(c);
    }
    tcsetattr(fd, TCSANOW, &saved);
    return ended;
}

} // namespace kelvo::cli
