#include "needs/code_prescan.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace tagwright {

namespace {

// Whether any 16-bit (32-bit) lane of v is zero.
bool anyZero16(std::uint64_t v) { return ((v - 0x0001000100010001) & ~v & 0x8000800080008000) != 0; }
bool anyZero32(std::uint64_t v) { return ((v - 0x0000000100000001) & ~v & 0x8000000080000000) != 0; }

constexpr std::uint64_t kThumbTop = 0xF800F800F800F800;

// Four words at once (GCC's and Clang's vector extension, the width every x86-64 and
// ARM64 processor and WebAssembly's SIMD have; where the target has no vector unit the
// compiler does it lane by lane). A comparison gives each lane all ones or zero.
constexpr int kLanes = 4;
typedef std::uint32_t Words __attribute__((vector_size(kLanes * 4)));
constexpr std::size_t kWordsBytes = sizeof(Words);

Words loadWords(const std::uint8_t* at) {
    Words w;
    std::memcpy(&w, at, sizeof w);
    if constexpr (std::endian::native != std::endian::little) {
        for (int i = 0; i < kLanes; ++i) {
            const std::uint8_t* b = at + static_cast<std::ptrdiff_t>(4) * i;
            w[i] = static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) | static_cast<std::uint32_t>(b[3]) << 24;
        }
    }
    return w;
}

bool anyLane(Words w) {
    std::uint32_t any = 0;
    for (int i = 0; i < kLanes; ++i) {
        any |= w[i];
    }
    return any != 0;
}

// Lanes that are save literals.
Words literalLanes(Words w) {
    return (Words)((w & 0xFFFF0000u) == 0x0E000000u) | (Words)(w == 0x0D000000u) |
           (Words)(w == 0x0DFFFF00u);
}

// Lanes that may be an ARM MOV Rd, #imm (any condition, S, Rd) of 0x0E000000 or
// 0x0D000000: those rotate their byte by 8, 10 or 12 (rotation field 4 to 7); the
// block's chunks are then tested as the sweep tests them.
Words armMovLanes(Words w) { return (Words)((w & 0x0FEF0C00u) == 0x03A00400u); }

// Eight halfwords at once.
typedef std::uint16_t Halves __attribute__((vector_size(kLanes * 4)));

Halves loadHalves(const std::uint8_t* at) {
    Halves h;
    std::memcpy(&h, at, sizeof h);
    if constexpr (std::endian::native != std::endian::little) {
        for (int i = 0; i < 2 * kLanes; ++i) {
            const std::uint8_t* b = at + static_cast<std::ptrdiff_t>(2) * i;
            h[i] = static_cast<std::uint16_t>(b[0] | b[1] << 8);
        }
    }
    return h;
}

// Lanes of h that are a Thumb MOVS Rd, #imm8 whose next halfword (the same lane of n)
// is a shift by immediate of 20 to 25 (0x0500-0x067F): the only shifts that make
// 0x0E000000 or 0x0D000000 of a byte.
Halves thumbPairLanes(Halves h, Halves n) {
    return (Halves)((h & 0xF800) == 0x2000) & (Halves)((Halves)(n - 0x0500) < 0x0180);
}

bool anyLane(Halves h) {
    Words w;
    std::memcpy(&w, &h, sizeof w);
    return anyLane(w);
}

std::uint32_t read32(std::span<const std::uint8_t> rom, std::size_t offset) {
    return static_cast<std::uint32_t>(rom[offset] | rom[offset + 1] << 8 | rom[offset + 2] << 16) |
           static_cast<std::uint32_t>(rom[offset + 3]) << 24;
}

}  // namespace

std::uint64_t CodePrescan::read64(std::span<const std::uint8_t> rom, std::size_t offset) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t value = 0;
        std::memcpy(&value, rom.data() + offset, sizeof value);
        return value;
    } else {
        return std::uint64_t{read32(rom, offset)} | std::uint64_t{read32(rom, offset + 4)} << 32;
    }
}

bool CodePrescan::mayBuildSaveAddress(std::uint64_t x, std::uint64_t y) {
    return anyZero16(((x & kThumbTop) ^ 0x2000200020002000) | (y & kThumbTop)) ||  // MOVS, then LSLS
           anyZero32((x & 0x0FEF00000FEF0000) ^ 0x03A0000003A00000);                // MOV Rd, #imm
}

bool CodePrescan::mayLoadLiteral(std::uint64_t x) {
    return anyZero16((x & kThumbTop) ^ 0x4800480048004800) ||         // LDR Rd, [PC, #imm8*4]
           anyZero32((x & 0x0F7F00000F7F0000) ^ 0x051F0000051F0000);  // LDR Rd, [PC, #+-imm12]
}

void CodePrescan::advance(std::span<const std::uint8_t> rom) {
    if (!finished_) {
        scan(rom);
    }
}

void CodePrescan::finish(std::span<const std::uint8_t> rom) {
    if (finished_) {
        return;
    }
    scan(rom);
    literalBlocks_.resize((rom.size() >> kBlockShift) + 1, false);
    // The last part, shorter than a block with its margin, word by word and chunk by chunk.
    for (; wordAt_ + 4 <= rom.size(); wordAt_ += 4) {
        if (saveLiteral(read32(rom, wordAt_))) {
            literalBlocks_[wordAt_ >> kBlockShift] = true;
        }
    }
    for (; chunkAt_ + 16 <= rom.size(); chunkAt_ += 8) {
        if (mayBuildSaveAddress(read64(rom, chunkAt_), read64(rom, chunkAt_ + 2))) {
            builtAddresses_.push_back(static_cast<std::uint32_t>(chunkAt_));
        }
    }
    finished_ = true;
}

void CodePrescan::scanBlock(std::span<const std::uint8_t> rom, std::size_t from) {
    constexpr std::size_t kBlock = std::size_t{1} << kBlockShift;
    Words literals{};
    Words arm{};
    Halves thumb{};
    for (std::size_t at = from; at < from + kBlock; at += kWordsBytes) {
        const Words w = loadWords(rom.data() + at);
        literals |= literalLanes(w);
        arm |= armMovLanes(w);
        thumb |= thumbPairLanes(loadHalves(rom.data() + at), loadHalves(rom.data() + at + 2));
    }
    if (anyLane(literals)) {
        literalBlocks_.resize(std::max(literalBlocks_.size(), (from >> kBlockShift) + 1), false);
        literalBlocks_[from >> kBlockShift] = true;
    }
    if (anyLane(arm) || anyLane(thumb)) {  // rare: the chunks that may build one, as the sweep tests them
        for (std::size_t at = std::max(chunkAt_, from); at < from + kBlock; at += 8) {
            if (mayBuildSaveAddress(read64(rom, at), read64(rom, at + 2))) {
                builtAddresses_.push_back(static_cast<std::uint32_t>(at));
            }
        }
    }
}

void CodePrescan::scan(std::span<const std::uint8_t> rom) {
    const std::size_t end = rom.size();
    // Whole blocks, with the few bytes past them a test reads.
    constexpr std::size_t kBlock = std::size_t{1} << kBlockShift;
    while (wordAt_ + kBlock + kWordsBytes <= end) {
        scanBlock(rom, wordAt_);
        wordAt_ += kBlock;
        chunkAt_ = std::max(chunkAt_, wordAt_);
    }
    // Every prefix ends in "_V": each place of "_V" is checked against all six.
    const std::string_view text(reinterpret_cast<const char*>(rom.data()), end);
    const auto missing = [this] {
        return std::any_of(firstStrings_.begin(), firstStrings_.end(), [](const auto& at) { return !at; });
    };
    for (std::size_t at = text.find("_V", stringAt_); at != std::string_view::npos && missing();
         at = text.find("_V", at + 1)) {
        for (std::size_t k = 0; k < library::kPrefixes.size(); ++k) {
            const std::string_view prefix = library::kPrefixes[k].text;
            const std::size_t after = at + 2;
            if (!firstStrings_[k] && after >= prefix.size() &&
                text.substr(after - prefix.size(), prefix.size()) == prefix) {
                firstStrings_[k] = after - prefix.size();
            }
        }
    }
    stringAt_ = std::max(stringAt_, end == 0 ? 0 : end - 1);
}

}  // namespace tagwright
