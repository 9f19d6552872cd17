// The platform-free half of holding secrets; the zeroing that the compiler
// keeps is per platform.
#include "hostplatform.h"
#include "hostsecrets.h"

#include <cstring>

namespace kelvo::host {

void WipeMemory(void *p, std::size_t n) {
    if (p && n)
        platform::ZeroSecretBytes(p, n);
}

void WipeString(std::string &s) {
    WipeMemory(s.data(), s.size());
    s.clear();
}

bool Secret::assign(std::string_view text) {
    clear();
    if (text.size() >= kCapacity)
        return false;
    std::memcpy(buffer, text.data(), text.size());
    length = text.size();
    buffer[length] = '\0';
    return true;
}

bool Secret::append(char c) {
    if (length + 1 >= kCapacity)
        return false;
    buffer[length++] = c;
    buffer[length] = '\0';
    return true;
}

void Secret::clear() {
    WipeMemory(buffer, sizeof buffer);
    length = 0;
}

} // namespace kelvo::host
