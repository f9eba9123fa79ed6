#include "readers/crc32.hpp"

#include <array>
#include <cstddef>

namespace tagwright {

namespace {

// Slicing by 16: table[k][b] is the CRC of byte b followed by k zero bytes, so sixteen
// bytes are folded in with sixteen independent look-ups.
constexpr std::size_t kSlices = 16;
using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

constexpr Tables makeTables() {
    Tables tables{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        tables[0][b] = c;
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (std::uint32_t b = 0; b < 256; ++b) {
            const std::uint32_t previous = tables[k - 1][b];
            tables[k][b] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

constexpr Tables kTables = makeTables();

std::uint32_t word(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

void Crc32::update(std::span<const std::uint8_t> bytes) {
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    std::uint32_t c = state_;
    while (left >= kSlices) {
        const std::uint32_t a = word(at) ^ c;
        const std::uint32_t b = word(at + 4);
        const std::uint32_t d = word(at + 8);
        const std::uint32_t e = word(at + 12);
        c = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^ kTables[13][(a >> 16) & 0xFF] ^
            kTables[12][a >> 24] ^ kTables[11][b & 0xFF] ^ kTables[10][(b >> 8) & 0xFF] ^
            kTables[9][(b >> 16) & 0xFF] ^ kTables[8][b >> 24] ^ kTables[7][d & 0xFF] ^
            kTables[6][(d >> 8) & 0xFF] ^ kTables[5][(d >> 16) & 0xFF] ^ kTables[4][d >> 24] ^
            kTables[3][e & 0xFF] ^ kTables[2][(e >> 8) & 0xFF] ^ kTables[1][(e >> 16) & 0xFF] ^
            kTables[0][e >> 24];
        at += kSlices;
        left -= kSlices;
    }
    for (; left > 0; --left, ++at) {
        c = (c >> 8) ^ kTables[0][(c ^ *at) & 0xFFu];
    }
    state_ = c;
}

void Crc32::updateFill(std::uint64_t count) {
    std::array<std::uint8_t, 4096> fill;
    fill.fill(0xFF);
    while (count > 0) {
        const std::size_t take = count < fill.size() ? static_cast<std::size_t>(count) : fill.size();
        update({fill.data(), take});
        count -= take;
    }
}

}  // namespace tagwright
