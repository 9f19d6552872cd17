// The platform-free half of holding secrets; WipeMemory is per platform.
#include "hostsecrets.h"

#include <cstring>

namespace kelvo::host {

void WipeString(std::string &s) {
    WipeMemory(s.data(), s.size());
    s.clear();
}

bool Secret::assign(std::string_view text) {
    clear();
    if (text.size() >= kCapacity)
        return false;
    std::memcpy(data_, text.data(), text.size());
    size_ = text.size();
    data_[size_] = '\0';
    return true;
}

bool Secret::append(char c) {
    if (size_ + 1 >= kCapacity)
        return false;
    data_[size_++] = c;
    data_[size_] = '\0';
    return true;
}

void Secret::clear() {
    WipeMemory(data_, sizeof data_);
    size_ = 0;
}

} // namespace kelvo::host
