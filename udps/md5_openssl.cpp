#include "md5.h"

#include <openssl/evp.h>

#include <memory>

namespace qvudps {

bool md5_of_pair(std::string_view first, std::string_view second, uint8_t out[16]) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), first.data(), first.size()) != 1 ||
        EVP_DigestUpdate(ctx.get(), second.data(), second.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), d, &len) != 1 || len != 16)
        return false;
    for (unsigned i = 0; i < 16; ++i)
        out[i] = d[i];
    return true;
}

} // namespace qvudps
