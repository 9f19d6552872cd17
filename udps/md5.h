// The MD5 digest under the setup key, from the platform's crypto library
// (md5_<library>.cpp), so the key derivation itself stays portable.
#ifndef UDPS_MD5_H
#define UDPS_MD5_H

#include <cstdint>
#include <string_view>

namespace qvudps {

// MD5 of `first` followed by `second` into out; false when the library fails.
bool md5_of_pair(std::string_view first, std::string_view second, uint8_t out[16]);

} // namespace qvudps

#endif
