#include "passwords.h"

#include <io.h>
#include <windows.h>

namespace kelvo::cli {

bool StdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool ReadHiddenLine(int fd, const std::string &prompt, host::Secret *line, bool *tooLong) {
    HANDLE in = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD saved = 0;
    if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &saved))
        return false;
    if (!SetConsoleMode(in, (saved | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)))
        return false;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD shown = 0;
    WriteConsoleA(err, prompt.data(), static_cast<DWORD>(prompt.size()), &shown, nullptr);
    line->clear();
    *tooLong = false;
    bool ended = false;
    // Read as UTF-16 so that any character of the password survives, and
    // turned into UTF-8 one character at a time straight into the secret, so
    // no second copy of the whole password is left behind. Bounded: the rest
    // of a longer line is read away so it does not reach the next reader.
    wchar_t pair[2] = {};
    DWORD held = 0;
    for (std::size_t taken = 0; taken <= 4096; ++taken) {
        DWORD n = 0;
        if (!ReadConsoleW(in, &pair[held], 1, &n, nullptr) || n == 0 || pair[held] == L'\n') {
            ended = n > 0 || !line->empty() || *tooLong;
            break;
        }
        if (pair[held] == L'\r')
            continue;
        if (held == 0 && pair[0] >= 0xD800 && pair[0] <= 0xDBFF) {
            held = 1; // the second half of the character follows
            continue;
        }
        char bytes[8];
        const int count = WideCharToMultiByte(CP_UTF8, 0, pair, static_cast<int>(held + 1), bytes,
                                              sizeof bytes, nullptr, nullptr);
        for (int i = 0; i < count && !*tooLong; ++i)
            if (!line->append(bytes[i]))
                *tooLong = true;
        SecureZeroMemory(bytes, sizeof bytes);
        SecureZeroMemory(pair, sizeof pair);
        held = 0;
    }
    SecureZeroMemory(pair, sizeof pair);
    SetConsoleMode(in, saved);
    WriteConsoleA(err, "\n", 1, &shown, nullptr);
    if (*tooLong)
        line->clear();
    return ended;
}

} // namespace kelvo::cli
