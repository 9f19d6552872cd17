#include "hostplatform.h"

#include <windows.h>

#include <vector>

namespace kelvo::host::platform {

std::string ProgramPath() {
    // GetModuleFileName truncates without saying so but for the length: grow
    // until the path fits.
    for (DWORD size = 260; size <= 32768; size *= 4) {
        std::vector<wchar_t> wide(size);
        const DWORD n = GetModuleFileNameW(nullptr, wide.data(), size);
        if (n == 0)
            return {};
        if (n < size) {
            const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n),
                                                  nullptr, 0, nullptr, nullptr);
            std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(n), out.data(), bytes,
                                nullptr, nullptr);
            return out;
        }
    }
    return {};
}

} // namespace kelvo::host::platform
