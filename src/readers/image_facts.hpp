// Everything the readers need about one file, gathered in one pass over its bytes.
//
// A "place" is an offset where one of the marks below starts, its text wholly inside
// the file:
//
//   EEPR EEPROM EEPROM_ EEPROM_V  SRAM SRAM_ SRAM_V SRAM_F_V  FLAS FLASH FLASH_ FLASH_V
//   FLASH512_ FLASH512_V FLASH1M_ FLASH1M_V  SIIR  Shantae
//
// For each place the scan also records which of the save library's 25 full strings
// (data/reader-tables/sdk-strings.tsv, digits included) starts there, how many zero
// bytes follow that string (at most 4; inside the file, and as the DS loaders' read
// buffers of 1 MiB and 64 KiB see them past its end: the file's bytes one buffer
// length earlier, or zero where the buffer was never filled), and the run of letters,
// digits and "_" that leads into the place (at most 16 bytes).
//
// Places that repeat one already listed in every recorded respect, within the same
// 1 MiB block and from offset 0x100 on, are counted but not listed again: every reader
// asks for the first place of a kind, or whether one lies below some bound, and the
// first of equal places answers both. The list is capped at kMaxPlaces.
//
// Besides: the size, the name, the first 0x200 bytes (the header and what follows it),
// and the CRC-32 of the whole file and of its first 32 MiB when some reader needs it
// for this header (checksumNeeded() in judgement.hpp, decided once the first 0x200
// bytes are in): the checksum costs more than the rest of the scan.
#pragma once

#include <array>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/crc32.hpp"

namespace tagwright {

inline constexpr std::uint64_t kOneMiB = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kMaxRomSize = std::uint64_t{32} << 20;

enum class Mark : std::uint8_t {
    EeprWord, Eeprom, EepromUnderscore, EepromV,
    SramWord, SramUnderscore, SramV, SramFV,
    FlasWord, Flash, FlashUnderscore, FlashV, Flash512Underscore, Flash512V,
    Flash1MUnderscore, Flash1MV,
    SiirWord, Shantae,
};
inline constexpr std::size_t kMarkCount = 18;
// The length of each mark's text, in the order above.
std::size_t markLength(Mark mark);

struct StringPlace {
    std::uint64_t offset = 0;
    std::uint32_t marks = 0;
    int libraryString = -1;          // index in the 25-string list, or -1
    std::uint8_t zerosInFile = 0;    // zero bytes right after it, before the file ends (<= 4)
    std::uint8_t roomAfter = 0;      // bytes of the file after it (<= 4)
    std::uint8_t zerosOneMiBBuffer = 0;   // zeros after it through a 1 MiB read buffer
    std::uint8_t zerosSixtyFourKiBBuffer = 0;  // the same through a 64 KiB buffer
    std::string lead;   // the letters, digits and "_" right before it (at most 16)
    std::string text;   // the letters, digits and "_" from it (at most 16)

    bool has(Mark mark) const { return (marks >> static_cast<unsigned>(mark) & 1u) != 0; }
    bool aligned() const { return offset % 4 == 0; }
    // Where the mark's text ends (one past its last byte).
    std::uint64_t endOf(Mark mark) const { return offset + markLength(mark); }
};

struct ImageFacts {
    static constexpr std::size_t kHeadSize = 0x200;
    static constexpr std::size_t kMaxPlaces = 1u << 16;

    std::string name;
    std::uint64_t size = 0;
    std::vector<std::uint8_t> head;     // the first kHeadSize bytes (fewer in a small file)
    std::vector<StringPlace> places;  // in file order
    std::uint64_t placeCount = 0;       // every place, repeats included
    // How many places (from 0x100 on) there are of each kind (place_rules.hpp's
    // placeKind()), the one listed included.
    std::map<std::string, std::uint64_t> placeKinds;
    // Where every library string (image/save_library.hpp) from offset 192 on starts,
    // repeats included, in file order; at most kMaxPlaces (a full list may be cut).
    std::vector<std::uint64_t> libraryStrings;
    std::optional<std::uint32_t> crc32;  // of the whole file, when needed
    std::optional<std::uint32_t> crc32FirstThirtyTwoMiB;
    // The CRC-32 of the whole file when only the header a save writes needs it
    // (ImageScanner's repairedToo): for the facts of a saved copy, not for the readers.
    std::optional<std::uint32_t> crc32ForCopies;

    // Byte `offset` of the file if it lies in `head`.
    std::optional<std::uint8_t> byteAt(std::size_t offset) const;
    // `length` bytes from `offset` as text, cut where the file or `head` ends.
    std::string_view textAt(std::size_t offset, std::size_t length) const;
    std::string_view gameCode() const { return textAt(0xAC, 4); }
    std::string_view title() const { return textAt(0xA0, 12); }
};

// Gathers ImageFacts from the file's bytes, fed in order in pieces of any length.
// Given the size the file will have, the scan keeps only the bytes the DS loaders'
// buffers would show past its end; without it, it keeps the last 2 MiB fed.
class ImageScanner {
  public:
    // With `repairedToo`, the CRC-32 is also computed when a reader needs it for the
    // header a save writes over this one (repaired: logo, fixed value, complement), so
    // that the facts of a saved copy follow without a second pass.
    explicit ImageScanner(std::string fileName, std::optional<std::uint64_t> expectedSize = {},
                          bool repairedToo = false);
    ~ImageScanner();
    ImageScanner(ImageScanner&&) = default;
    ImageScanner& operator=(ImageScanner&&) = default;
    void feed(std::span<const std::uint8_t> bytes);
    // `count` bytes of value 0xFF (padding).
    void feedFill(std::uint64_t count);
    ImageFacts finish();

  private:
    static constexpr std::size_t kWindow = 32;  // bytes a place needs behind it
    static constexpr std::size_t kRecent = 128;
    static constexpr std::uint64_t kRing = std::uint64_t{1} << 21;

    void scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                   std::size_t available, std::uint64_t base);
    void testAt(const std::uint8_t* at, std::size_t available, std::uint64_t offset);
    void record(StringPlace place);
    std::uint8_t recentByte(std::uint64_t offset) const;
    void keepRecent(std::span<const std::uint8_t> bytes);
    void keepRing(std::span<const std::uint8_t> bytes);
    std::uint8_t zerosThroughBuffer(const StringPlace& place, std::uint64_t buffer) const;
    void flushCarry();
    void checksum(std::span<const std::uint8_t> bytes);

    ImageFacts facts_;
    Crc32 crc_;
    bool neededFor(const ImageFacts& facts) const;

    bool repairedToo_ = false;
    std::optional<bool> crcNeeded_;          // decided once the head is in
    std::uint64_t crcFed_ = 0;               // bytes checksummed
    std::vector<std::uint8_t> carry_;
    std::uint64_t carryOffset_ = 0;
    std::uint64_t fed_ = 0;                  // bytes fed so far
    const std::uint8_t* chunk_ = nullptr;    // the piece being fed, from offset chunkBase_
    std::uint64_t chunkBase_ = 0;
    std::array<std::uint8_t, kRecent> recent_{};  // the bytes before chunkBase_, by offset
    std::optional<std::uint64_t> expectedSize_;
    std::unique_ptr<std::uint8_t[]> ring_;   // the last kRing bytes, by offset mod kRing
    // With an expected size S: the bytes from S - 1 MiB and from S - 64 KiB.
    std::array<std::array<std::uint8_t, 16>, 2> window_{};
    std::vector<std::size_t> candidates_;    // places scanRange() tests
};

ImageFacts factsOfBytes(std::span<const std::uint8_t> bytes, std::string fileName);

}  // namespace tagwright
