#include "md5.h"

#include <windows.h>

#include <bcrypt.h>

namespace qvudps {

namespace {

// Feeds a view in pieces that fit the API's ULONG length.
bool hash_all(BCRYPT_HASH_HANDLE hash, std::string_view data) {
    while (!data.empty()) {
        const ULONG piece =
            data.size() > 0x40000000u ? 0x40000000u : static_cast<ULONG>(data.size());
        auto *bytes = reinterpret_cast<PUCHAR>(const_cast<char *>(data.data()));
        if (!BCRYPT_SUCCESS(BCryptHashData(hash, bytes, piece, 0)))
            return false;
        data.remove_prefix(piece);
    }
    return true;
}

} // namespace

bool md5_of_pair(std::string_view first, std::string_view second, uint8_t out[16]) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0)))
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0));
    ok = ok && hash_all(hash, first) && hash_all(hash, second) &&
         BCRYPT_SUCCESS(BCryptFinishHash(hash, out, 16, 0));
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

} // namespace qvudps
