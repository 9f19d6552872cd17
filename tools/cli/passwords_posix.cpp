#include "passwords.h"

#include <termios.h>
#include <unistd.h>

namespace kelvo::cli {

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool ReadHiddenLine(int fd, const std::string &prompt, host::Secret *line, bool *tooLong) {
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
    *tooLong = false;
    bool ended = false;
    // Bounded: a password is short; the rest of a longer line is read away
    // so it does not reach the next reader.
    for (std::size_t taken = 0; taken <= 4096; ++taken) {
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0 || c == '\n') {
            ended = n > 0 || !line->empty() || *tooLong;
            break;
        }
        if (c != '\r' && !line->append(c))
            *tooLong = true;
        c = 0;
    }
    tcsetattr(fd, TCSANOW, &saved);
    if (*tooLong)
        line->clear();
    return ended;
}

} // namespace kelvo::cli
