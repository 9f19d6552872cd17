#include "passwords.h"

#include <io.h>
#include <windows.h>

namespace kelvo::cli {

bool StdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool ReadHiddenLine(int fd, const std::string &prompt, std::string *line) {
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
    bool ended = false;
    // Read as UTF-16 so that any character of the password survives; bounded,
    // a longer line is refused by the caller.
    std::wstring wide;
    for (wchar_t c; wide.size() <= 4096;) {
        DWORD n = 0;
        if (!ReadConsoleW(in, &c, 1, &n, nullptr) || n == 0) {
            ended = !wide.empty();
            break;
        }
        if (c == L'\n') {
            ended = true;
            break;
        }
        if (c != L'\r')
            wide.push_back(c);
    }
    SetConsoleMode(in, saved);
    WriteConsoleA(err, "\n", 1, &shown, nullptr);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    line->assign(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), line->data(), bytes,
                        nullptr, nullptr);
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
    return ended;
}

} // namespace kelvo::cli
