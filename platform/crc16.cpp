#include "qvplatform.h"

extern "C" uint16_t qv_crc16(uint16_t initial, const void *data, size_t length) {
    auto *p = static_cast<const unsigned char *>(data);
    uint16_t crc = initial;
    for (size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>(crc ^ (p[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}
