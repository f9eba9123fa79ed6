// What the judgement of a game's code needs from one pass over the whole ROM, gathered
// while the ROM is read, each part while it is still in the processor's cache: the
// judgement then reads only the code it follows and the few places found here.
//
//   literal blocks   which 4 KiB blocks hold a save literal: a word at a multiple of 4
//                    that is 0x0E000000-0x0E00FFFF, 0x0D000000 or 0x0DFFFF00 (the
//                    PC-relative loads of save addresses need looking at only near one)
//   built addresses  the 8-byte chunks (at multiples of 8 from 0xC0) that may build a
//                    save address without a literal (mayBuildSaveAddress), in the blocks
//                    that hold an ARM MOV Rd, #imm with a rotated immediate, or a Thumb
//                    MOVS Rd, #imm8 followed by a shift by 20 to 25: no other shift
//                    makes 0x0E000000 or 0x0D000000 of a byte
//   save strings     where each save library prefix (image/save_library.hpp) first
//                    ends in "_V", anywhere in the ROM
//
// Blocks are tested a vector at a time (image/vector_width.hpp), the three at once;
// only a block that holds a candidate is looked at word by word, chunk by chunk or
// place by place.
//
// advance() takes the ROM as far as it has been read, so a test that needs bytes past a
// part's end waits for the next; finish() takes the whole ROM.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/save_library.hpp"

namespace tagwright {

class CodePrescan {
  public:
    static constexpr std::size_t kBlockShift = 12;  // literal blocks of 4 KiB
    static constexpr std::size_t kFirstChunk = 0xC0;

    // `rom` is the ROM's first rom.size() bytes, every earlier call's included.
    void advance(std::span<const std::uint8_t> rom);
    // `rom` is the whole ROM.
    void finish(std::span<const std::uint8_t> rom);

    bool finished() const { return finished_; }
    const std::vector<bool>& literalBlocks() const { return literalBlocks_; }
    // Chunk offsets, ascending; every chunk at or past chunkEnd() is examined as it is.
    const std::vector<std::uint32_t>& builtAddresses() const { return builtAddresses_; }
    std::size_t chunkEnd() const { return chunkAt_; }
    // Where library::kPrefixes[k] first starts, if anywhere.
    const std::array<std::optional<std::size_t>, library::kPrefixes.size()>& firstStrings() const {
        return firstStrings_;
    }

    // Eight bytes at `offset` as a little-endian number.
    static std::uint64_t read64(std::span<const std::uint8_t> rom, std::size_t offset);
    // Whether any halfword of x is a Thumb MOVS Rd, #imm8 whose next halfword (in y, the
    // same bytes 2 further on) is a shift by immediate, or any word an ARM MOV Rd, #imm.
    static bool mayBuildSaveAddress(std::uint64_t x, std::uint64_t y);
    // Whether any halfword is a Thumb LDR Rd, [PC, #imm8*4] or any word an ARM
    // LDR Rd, [PC, #+-imm12].
    static bool mayLoadLiteral(std::uint64_t x);
    static bool saveLiteral(std::uint32_t word) {
        return (word >> 16) == 0x0E00 || word == 0x0D000000 || word == 0x0DFFFF00;
    }

  private:
    void scan(std::span<const std::uint8_t> rom);
    void scanBlock(std::span<const std::uint8_t> rom, std::size_t from);
    // Checks each "_V" starting in [from, to) against the prefixes not yet found.
    void findStrings(std::span<const std::uint8_t> rom, std::size_t from, std::size_t to);

    static constexpr std::size_t kMargin = 16;  // bytes past a block its tests read (at most 8)

    std::vector<bool> literalBlocks_;
    std::vector<std::uint32_t> builtAddresses_;
    std::array<std::optional<std::size_t>, library::kPrefixes.size()> firstStrings_;
    std::size_t wordAt_ = 0;             // the next block, or word at the end, looked at
    std::size_t chunkAt_ = kFirstChunk;  // the next chunk
    std::size_t stringAt_ = 0;           // the next place looked at for "_V"
    bool finished_ = false;
};

}  // namespace tagwright
