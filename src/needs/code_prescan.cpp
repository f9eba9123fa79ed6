#include "needs/code_prescan.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "image/vector_width.hpp"

namespace tagwright {

namespace {

// Whether any 16-bit (32-bit) lane of v is zero.
bool anyZero16(std::uint64_t v) { return ((v - 0x0001000100010001) & ~v & 0x8000800080008000) != 0; }
bool anyZero32(std::uint64_t v) { return ((v - 0x0000000100000001) & ~v & 0x8000000080000000) != 0; }

constexpr std::uint64_t kThumbTop = 0xF800F800F800F800;

constexpr std::size_t kBlock = std::size_t{1} << CodePrescan::kBlockShift;

// What one block holds: a save literal, a candidate for building a save address, a "_V".
struct BlockMarks {
    bool literal = false;
    bool build = false;
    bool string = false;
};

// Big-endian processors have no fast form: their blocks are taken lane by lane below.
#define VECTOR_BODY "needs/code_prescan_block.inc"
#include "image/each_vector_width.inc"

BlockMarks blockMarks(const std::uint8_t* block) {
    if constexpr (std::endian::native != std::endian::little) {
        return {true, true, true};  // every block looked at word by word
    }
    return TAGWRIGHT_BY_VECTOR_WIDTH(blockMarks, block);
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
    findStrings(rom, stringAt_, rom.size());
    stringAt_ = rom.size();
    finished_ = true;
}

void CodePrescan::findStrings(std::span<const std::uint8_t> rom, std::size_t from, std::size_t to) {
    // Every prefix ends in "_V": each place of "_V" is checked against all six.
    const std::string_view text(reinterpret_cast<const char*>(rom.data()), std::min(rom.size(), to + 1));
    for (std::size_t at = text.find("_V", from); at != std::string_view::npos; at = text.find("_V", at + 1)) {
        for (std::size_t k = 0; k < library::kPrefixes.size(); ++k) {
            const std::string_view prefix = library::kPrefixes[k].text;
            const std::size_t after = at + 2;
            if (!firstStrings_[k] && after >= prefix.size() &&
                text.substr(after - prefix.size(), prefix.size()) == prefix) {
                firstStrings_[k] = after - prefix.size();
            }
        }
    }
}

void CodePrescan::scanBlock(std::span<const std::uint8_t> rom, std::size_t from) {
    const BlockMarks marks = blockMarks(rom.data() + from);
    if (marks.literal) {
        for (std::size_t at = from; at < from + kBlock; at += 4) {
            if (saveLiteral(read32(rom, at))) {
                literalBlocks_.resize(std::max(literalBlocks_.size(), (from >> kBlockShift) + 1), false);
                literalBlocks_[from >> kBlockShift] = true;
                break;
            }
        }
    }
    if (marks.build) {  // rare: the chunks that may build one, as the sweep tests them
        for (std::size_t at = std::max(chunkAt_, from); at < from + kBlock; at += 8) {
            if (mayBuildSaveAddress(read64(rom, at), read64(rom, at + 2))) {
                builtAddresses_.push_back(static_cast<std::uint32_t>(at));
            }
        }
    }
    if (marks.string) {
        findStrings(rom, from, from + kBlock);
    }
}

void CodePrescan::scan(std::span<const std::uint8_t> rom) {
    // Whole blocks, with the few bytes past them a test reads; the rest waits for more
    // of the ROM, or for finish().
    while (wordAt_ + kBlock + kMargin <= rom.size()) {
        scanBlock(rom, wordAt_);
        wordAt_ += kBlock;
        chunkAt_ = std::max(chunkAt_, wordAt_);
        stringAt_ = wordAt_;
    }
}

}  // namespace tagwright
