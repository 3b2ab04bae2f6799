#include <cstring>
#include <random>
#include <sys/random.h>

#include "platform/Guid.h"

ZrGuid NewGuid() {
    unsigned char bytes[16] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof bytes) {
        std::random_device device;
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(device());
        }
    }
    ZrGuid g;
    std::memcpy(&g.Data1, bytes, 4);
    std::memcpy(&g.Data2, bytes + 4, 2);
    std::memcpy(&g.Data3, bytes + 6, 2);
    std::memcpy(g.Data4, bytes + 8, 8);
    g.Data3 = static_cast<std::uint16_t>((g.Data3 & 0x0FFF) | 0x4000);  // version 4
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80); // RFC 4122 variant
    return g;
}
