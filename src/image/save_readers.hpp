// How emulators read a file's save type from the strings inside it.
//
// The scan finds, in one pass, every place where one of these prefixes starts
// (the whole prefix inside the file), with its offset:
//
//   EEPROM_  EEPROM_V  SRAM_  SRAM_V  SRAM_F_V  FLASH1M_  FLASH1M_V  FLASH512_
//   FLASH512_V  FLASH_  FLASH_V  "plain FLASH" (FLASH not followed by 1M_ or 512_)
//   Shantae
//
// Each reader below is a pure function of the scan (and, for SkyEmu, the file's name).
// Outcomes: EEPROM, SRAM (32 KiB), Flash 64 KiB, Flash 128 KiB, none (the game gets no
// save memory), refused (the emulator will not load the file), NanoBoyAdvance's SRAM
// by default, mGBA's decided at run time. Retail game-code tables, which some of
// them apply first, are not modelled.
//
//   VBA-M        offsets that are multiples of 4. At each: EEPROM_, SRAM_, FLASH1M_,
//                FLASH512_, else plain FLASH. A state machine from "nothing":
//                EEPROM_ -> EEPROM from nothing or plain FLASH; SRAM_ -> SRAM from
//                nothing, EEPROM or plain FLASH; FLASH1M_ -> 128 KiB and FLASH512_ ->
//                64 KiB, final, from nothing only; plain FLASH -> plain FLASH from
//                nothing. At the end nothing is none, plain FLASH is 64 KiB.
//   VBA-M        every offset, by type: "Shantae" anywhere -> SRAM; else FLASH1M_ ->
//   libretro     128 KiB; else FLASH_ or FLASH512_ -> 64 KiB; else EEPROM_ -> EEPROM;
//                else SRAM_ -> SRAM; else none.
//   NanoBoy-     refuses files under 228 bytes or over 32 MiB. Offsets that are
//   Advance      multiples of 4; the first with EEPROM_V, SRAM_V, SRAM_F_V, FLASH_V,
//                FLASH512_V or FLASH1M_V decides; none found -> SRAM by default.
//   SkyEmu       refuses names not ending in ".gba" and files over 32 MiB. Every
//                offset: EEPROM_, SRAM_, FLASH_, FLASH512_ (64 KiB), FLASH1M_ (128
//                KiB); strings of two types anywhere -> none; none found -> none.
//   ares         offsets n with n + 16 < size (never the last 16 bytes). SRAM_V or
//                SRAM_F_V beats EEPROM_V beats FLASH_V/FLASH512_V (64 KiB) beats
//                FLASH1M_V (128 KiB); none found -> none.
//   mGBA         reads no strings: decided at run time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/save_type.hpp"

namespace tagwright {

// NanoBoyAdvance and SkyEmu refuse files larger than this (the largest GBA ROM).
inline constexpr std::uint64_t kThirtyTwoMiB = std::uint64_t{32} << 20;

enum class SavePrefix : std::uint8_t {
    Eeprom,           // EEPROM_
    EepromV,          // EEPROM_V
    Sram,             // SRAM_ (SRAM_F_ included)
    SramV,            // SRAM_V
    SramFV,           // SRAM_F_V
    Flash1M,          // FLASH1M_
    Flash1MV,         // FLASH1M_V
    Flash512,         // FLASH512_
    Flash512V,        // FLASH512_V
    FlashUnderscore,  // FLASH_
    FlashV,           // FLASH_V
    FlashPlain,       // FLASH, not followed by 1M_ or 512_
    Shantae,          // Shantae
};
inline constexpr std::size_t kSavePrefixCount = 13;

// One place where at least one prefix starts.
struct SaveStringHit {
    std::uint64_t offset = 0;
    std::uint16_t prefixes = 0;  // bit n: SavePrefix n starts here
    std::string text;            // the letters, digits and "_" from here, at most 16

    bool has(SavePrefix prefix) const {
        return (prefixes >> static_cast<unsigned>(prefix) & 1u) != 0;
    }
    bool aligned() const { return offset % 4 == 0; }
};

// Where one prefix was seen.
struct PrefixSeen {
    std::optional<std::uint64_t> first;
    std::optional<std::uint64_t> firstAligned;
    std::uint64_t count = 0;
};

struct SaveStringScan {
    static constexpr std::size_t kListedHits = 16;

    std::uint64_t fileSize = 0;
    std::array<PrefixSeen, kSavePrefixCount> prefixes{};
    std::vector<SaveStringHit> hits;  // the first kListedHits places, in file order
    std::uint64_t hitCount = 0;       // all places

    const PrefixSeen& operator[](SavePrefix prefix) const {
        return prefixes[static_cast<std::size_t>(prefix)];
    }
};

// Scans a file given in pieces, in order and of any length, in one pass.
class SaveStringScanner {
  public:
    void feed(std::span<const std::uint8_t> bytes);
    // `count` bytes that hold no string (0xFF padding): they only lengthen the file.
    void feedFill(std::uint64_t count);
    SaveStringScan finish();

  private:
    static constexpr std::size_t kWindow = 16;  // longest prefix, and the listed text

    void scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                   std::size_t available, std::uint64_t base);
    void testAt(const std::uint8_t* at, std::size_t available, std::uint64_t offset);
    void flushCarry();

    SaveStringScan scan_;
    std::vector<std::uint8_t> carry_;  // bytes fed whose places are not tested yet
    std::uint64_t carryOffset_ = 0;    // file offset of carry_[0]
};

SaveStringScan scanSaveStrings(std::span<const std::uint8_t> bytes);

// --- the readers ---

enum class Reader : std::uint8_t { VbaM, VbaMLibretro, NanoBoyAdvance, SkyEmu, Ares, Mgba };
inline constexpr std::array<Reader, 6> kReaders = {Reader::VbaM,           Reader::VbaMLibretro,
                                                   Reader::NanoBoyAdvance, Reader::SkyEmu,
                                                   Reader::Ares,           Reader::Mgba};
// The five that read strings.
inline constexpr std::array<Reader, 5> kStringReaders = {
    Reader::VbaM, Reader::VbaMLibretro, Reader::NanoBoyAdvance, Reader::SkyEmu, Reader::Ares};

enum class ReaderOutcome : std::uint8_t {
    None,
    Eeprom,
    Sram,
    Flash64k,
    Flash128k,
    Refused,
    SramByDefault,
    DecidedAtRunTime,
};

// Why a reader gives what it gives, when that is not simply the one type in the file.
enum class ReaderReason : std::uint8_t {
    Plain,             // the file's strings are of one type and it reads them
    NoString,          // it found no string it reads
    Unaligned,         // its strings are not at a multiple of 4
    LastSixteenBytes,  // its strings start in the file's last 16 bytes
    MixedTypes,        // strings of more than one type
    Shantae,           // "Shantae" in the file
    TooSmall,          // under 228 bytes
    TooLarge,          // over 32 MiB
    NameNotGba,        // the name does not end in ".gba"
    ReadsNoStrings,    // mGBA
};

struct ReaderView {
    ReaderOutcome outcome = ReaderOutcome::None;
    ReaderReason reason = ReaderReason::Plain;
    bool operator==(const ReaderView&) const = default;
};

ReaderView readVbaM(const SaveStringScan& scan);
ReaderView readVbaMLibretro(const SaveStringScan& scan);
ReaderView readNanoBoyAdvance(const SaveStringScan& scan);
ReaderView readSkyEmu(const SaveStringScan& scan, std::string_view fileName);
ReaderView readAres(const SaveStringScan& scan);
ReaderView readMgba(const SaveStringScan& scan);
ReaderView readAs(Reader reader, const SaveStringScan& scan, std::string_view fileName);

// What a save tag of this type means to every reader.
ReaderOutcome outcomeOf(SaveType type);
// The type a hit stands for to a reader that takes every prefix (none for plain
// FLASH and Shantae, which only one reader each gives a type).
std::optional<ReaderOutcome> typeOfHit(const SaveStringHit& hit);

const char* readerName(Reader reader);
const char* outcomeText(ReaderOutcome outcome);  // "SRAM 32 KiB", "no save memory", ...
const char* reasonText(ReaderReason reason);     // "it skips a file's last 16 bytes", ...

}  // namespace tagwright
