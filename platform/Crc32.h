#pragma once
// The standard CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, as zlib computes it): start
// with 0xFFFFFFFF, feed the bytes, complement the result. Eight bytes are taken at a time through
// eight tables (each byte's remainder moved on by 0 to 7 more bytes), the rest one by one: a
// table file's check at every load reads every byte of it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kova {

namespace crc32_detalhe {
using TTabelas = std::array<std::array<uint32_t, 256>, 8>;
constexpr TTabelas Tabelas() {
    TTabelas t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (size_t n = 1; n < 8; ++n) t[n][i] = (t[n - 1][i] >> 8) ^ t[0][t[n - 1][i] & 0xFF];
    }
    return t;
}
inline constexpr TTabelas kTabelas = Tabelas();
}  // namespace crc32_detalhe

inline uint32_t Crc32(uint32_t crc, const void* dados, size_t tamanho) {
    const auto& t = crc32_detalhe::kTabelas;
    const auto* p = static_cast<const unsigned char*>(dados);
    for (; tamanho >= 8; tamanho -= 8, p += 8) {
        // The bytes as the file holds them, whatever the machine's order.
        const uint32_t a = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                  uint32_t(p[3]) << 24);
        crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; tamanho > 0; --tamanho, ++p) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace kova
