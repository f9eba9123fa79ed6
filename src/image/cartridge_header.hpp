// The 192-byte Game Boy Advance cartridge header, kept as a byte-exact record.
//
// Layout (all offsets and widths in bytes; the record is read from and written
// to files as these 192 raw bytes, with no gaps):
//
//   offset  width  field            default
//   0x00    4      entryBranch      2E 00 00 EA  (ARM "b 0xC0", little-endian word 0xEA00002E)
//   0x04    156    logo             the logo bitmap every cartridge must carry
//   0xA0    12     title            12 zero bytes (ASCII, zero-filled on the right)
//   0xAC    4      gameCode         4 zero bytes
//   0xB0    2      makerCode        "01"  (30 31)
//   0xB2    1      fixedValue       0x96
//   0xB3    1      mainUnitCode     0x00
//   0xB4    1      deviceType       0x80
//   0xB5    7      reservedArea1    7 zero bytes
//   0xBC    1      version          0
//   0xBD    1      complementCheck  0   (a default record is not finalised yet)
//   0xBE    2      reservedArea2    2 zero bytes
//
// The complement check is (0xE7 - sum of bytes 0xA0..0xBC) mod 256, which equals
// -(sum + 0x19) mod 256. Only finalizeFrom() recomputes it; the setters leave it
// alone, so callers finalise after their last edit and before writing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tagwright {

struct CartridgeHeader {
    static constexpr std::size_t kSize = 192;
    static constexpr std::size_t kLogoSize = 156;
    static constexpr std::size_t kTitleSize = 12;
    static constexpr std::size_t kGameCodeSize = 4;
    static constexpr std::size_t kMakerCodeSize = 2;
    // The complement check covers offsets 0xA0 to 0xBC inclusive.
    static constexpr std::size_t kChecksumFirst = 0xA0;
    static constexpr std::size_t kChecksumLast = 0xBC;

    // The logo bitmap the cartridge format prescribes.
    static const std::array<std::uint8_t, kLogoSize> kLogo;

    std::array<std::uint8_t, 4> entryBranch;
    std::array<std::uint8_t, kLogoSize> logo;
    std::array<std::uint8_t, kTitleSize> title;
    std::array<std::uint8_t, kGameCodeSize> gameCode;
    std::array<std::uint8_t, kMakerCodeSize> makerCode;
    std::uint8_t fixedValue;
    std::uint8_t mainUnitCode;
    std::uint8_t deviceType;
    std::array<std::uint8_t, 7> reservedArea1;
    std::uint8_t version;
    std::uint8_t complementCheck;
    std::array<std::uint8_t, 2> reservedArea2;

    // All 192 bytes at their defaults (see the table above).
    CartridgeHeader();

    // Stores the text up to its first zero byte, at most 12 bytes, zero-filled on the right.
    void setTitle(std::string_view text);
    // Store the first 4 (game code) or 2 (maker code) bytes of the text unchanged; a shorter
    // text leaves the remaining bytes of the field zero.
    void setGameCode(std::string_view text);
    void setMakerCode(std::string_view text);
    // Stores the low 8 bits of the number's two's-complement form.
    void setVersion(std::int32_t number);

    // Copies the logo, fixedValue and deviceType from `source`, zeroes reservedArea2 and
    // recomputes complementCheck. Idempotent.
    void finalizeFrom(const CartridgeHeader& source);

    // The complement check the current bytes 0xA0..0xBC call for.
    std::uint8_t computeComplementCheck() const;

    // Replaces the leading min(bytes.size(), 192) bytes of the record; the rest stay.
    void overlay(std::span<const std::uint8_t> bytes);
    // The record as the 192 bytes that go into a file.
    std::array<std::uint8_t, kSize> toBytes() const;
};

}  // namespace tagwright
