#pragma once
// The standard CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, as zlib computes it): start
// with 0xFFFFFFFF, feed the bytes, complement the result.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kova {

namespace crc32_detalhe {
constexpr std::array<uint32_t, 256> Tabela() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}
inline constexpr std::array<uint32_t, 256> kTabela = Tabela();
}  // namespace crc32_detalhe

inline uint32_t Crc32(uint32_t crc, const void* dados, size_t tamanho) {
    const auto* p = static_cast<const unsigned char*>(dados);
    for (size_t i = 0; i < tamanho; ++i)
        crc = crc32_detalhe::kTabela[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace kova
