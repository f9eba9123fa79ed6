// The readers against the cases checked by running each emulator's own code, and
// the scan against a brute-force search written here.
#include "image/save_readers.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/save_string_reference.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;
using O = ReaderOutcome;

struct Placed {
    std::size_t offset;
    std::string text;
};

Bytes imageWith(std::size_t size, const std::vector<Placed>& strings) {
    Bytes bytes(size, 0);
    for (const auto& [offset, text] : strings) {
        std::memcpy(bytes.data() + offset, text.data(), text.size());
    }
    return bytes;
}

struct Case {
    const char* name;
    std::size_t size;
    std::vector<Placed> strings;
    O vbaM, libretro, nanoBoyAdvance, skyEmu, ares;
};

// One row per checked case (16 KiB images unless the case says otherwise).
const std::vector<Case> kCheckedCases = {
    {"no string", 0x4000, {}, O::None, O::None, O::SramByDefault, O::None, O::None},
    {"EEPROM_V124 at 0x1000",
     0x4000,
     {{0x1000, "EEPROM_V124"}},
     O::Eeprom,
     O::Eeprom,
     O::Eeprom,
     O::Eeprom,
     O::Eeprom},
    {"SRAM_V113 at 0x1000",
     0x4000,
     {{0x1000, "SRAM_V113"}},
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram},
    {"SRAM_F_V103 at 0x1000",
     0x4000,
     {{0x1000, "SRAM_F_V103"}},
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram},
    {"FLASH_V123 at 0x1000",
     0x4000,
     {{0x1000, "FLASH_V123"}},
     O::Flash64k,
     O::Flash64k,
     O::Flash64k,
     O::Flash64k,
     O::Flash64k},
    {"FLASH512_V131 at 0x1000",
     0x4000,
     {{0x1000, "FLASH512_V131"}},
     O::Flash64k,
     O::Flash64k,
     O::Flash64k,
     O::Flash64k,
     O::Flash64k},
    {"FLASH1M_V103 at 0x1000",
     0x4000,
     {{0x1000, "FLASH1M_V103"}},
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::Flash128k},
    {"SRAM_V113 at 0x1001",
     0x4000,
     {{0x1001, "SRAM_V113"}},
     O::None,
     O::Sram,
     O::SramByDefault,
     O::Sram,
     O::Sram},
    {"EEPROM_V124 at 0x1002",
     0x4000,
     {{0x1002, "EEPROM_V124"}},
     O::None,
     O::Eeprom,
     O::SramByDefault,
     O::Eeprom,
     O::Eeprom},
    {"FLASH1M_V103 at 0x1003",
     0x4000,
     {{0x1003, "FLASH1M_V103"}},
     O::None,
     O::Flash128k,
     O::SramByDefault,
     O::Flash128k,
     O::Flash128k},
    {"FLASH1M_V103 ending a 0x2001-byte file",
     0x2001,
     {{0x2001 - 12, "FLASH1M_V103"}},
     O::None,
     O::Flash128k,
     O::SramByDefault,
     O::Flash128k,
     O::None},
    {"SRAM_V113 at 0x1FF8 ending a 0x2001-byte file",
     0x2001,
     {{0x1FF8, "SRAM_V113"}},
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram,
     O::None},
    {"FLASH1M_V103 at size - 16",
     0x2000,
     {{0x1FF0, "FLASH1M_V103"}},
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::None},
    {"FLASH1M_V103 at size - 17",
     0x2000,
     {{0x1FEF, "FLASH1M_V103"}},
     O::None,
     O::Flash128k,
     O::SramByDefault,
     O::Flash128k,
     O::Flash128k},
    {"SRAM then FLASH1M",
     0x4000,
     {{0x1000, "SRAM_V113"}, {0x2000, "FLASH1M_V103"}},
     O::Sram,
     O::Flash128k,
     O::Sram,
     O::None,
     O::Sram},
    {"FLASH1M then SRAM",
     0x4000,
     {{0x1000, "FLASH1M_V103"}, {0x2000, "SRAM_V113"}},
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::None,
     O::Sram},
    {"EEPROM then SRAM",
     0x4000,
     {{0x1000, "EEPROM_V124"}, {0x2000, "SRAM_V113"}},
     O::Sram,
     O::Eeprom,
     O::Eeprom,
     O::None,
     O::Sram},
    {"SRAM then EEPROM",
     0x4000,
     {{0x1000, "SRAM_V113"}, {0x2000, "EEPROM_V124"}},
     O::Sram,
     O::Eeprom,
     O::Sram,
     O::None,
     O::Sram},
    {"FLASH then FLASH1M",
     0x4000,
     {{0x1000, "FLASH_V123"}, {0x2000, "FLASH1M_V103"}},
     O::Flash64k,
     O::Flash128k,
     O::Flash64k,
     O::None,
     O::Flash64k},
    {"FLASH1M then FLASH",
     0x4000,
     {{0x1000, "FLASH1M_V103"}, {0x2000, "FLASH_V123"}},
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::None,
     O::Flash64k},
    {"EEPROM then FLASH512",
     0x4000,
     {{0x1000, "EEPROM_V124"}, {0x2000, "FLASH512_V131"}},
     O::Eeprom,
     O::Flash64k,
     O::Eeprom,
     O::None,
     O::Eeprom},
    {"FLASH512 then EEPROM",
     0x4000,
     {{0x1000, "FLASH512_V131"}, {0x2000, "EEPROM_V124"}},
     O::Flash64k,
     O::Flash64k,
     O::Flash64k,
     O::None,
     O::Eeprom},
    {"SRAM then SRAM_F",
     0x4000,
     {{0x1000, "SRAM_V113"}, {0x2000, "SRAM_F_V103"}},
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram,
     O::Sram},
    {"unaligned SRAM then FLASH1M",
     0x4000,
     {{0x1001, "SRAM_V113"}, {0x2000, "FLASH1M_V103"}},
     O::Flash128k,
     O::Flash128k,
     O::Flash128k,
     O::None,
     O::Sram},
    {"EEPROM_xyz (no _V)",
     0x4000,
     {{0x1000, "EEPROM_xyz"}},
     O::Eeprom,
     O::Eeprom,
     O::SramByDefault,
     O::Eeprom,
     O::None},
    {"FLASHxyz",
     0x4000,
     {{0x1000, "FLASHxyz"}},
     O::Flash64k,
     O::None,
     O::SramByDefault,
     O::None,
     O::None},
};

TEST(SaveReaders, CheckedCases) {
    for (const Case& c : kCheckedCases) {
        const auto scan = scanSaveStrings(imageWith(c.size, c.strings));
        EXPECT_EQ(readVbaM(scan).outcome, c.vbaM) << c.name;
        EXPECT_EQ(readVbaMLibretro(scan).outcome, c.libretro) << c.name;
        EXPECT_EQ(readNanoBoyAdvance(scan).outcome, c.nanoBoyAdvance) << c.name;
        EXPECT_EQ(readSkyEmu(scan, "game.gba").outcome, c.skyEmu) << c.name;
        EXPECT_EQ(readAres(scan).outcome, c.ares) << c.name;
        EXPECT_EQ(readMgba(scan).outcome, O::DecidedAtRunTime) << c.name;
    }
}

TEST(SaveReaders, VbaMStateMachineBeyondTheCheckedCases) {
    // Straight from its rules: plain FLASH gives way to EEPROM and SRAM, EEPROM to SRAM only.
    const std::vector<std::pair<std::vector<Placed>, O>> cases = {
        {{{0x1000, "FLASHxyz"}, {0x2000, "EEPROM_V124"}}, O::Eeprom},
        {{{0x1000, "FLASHxyz"}, {0x2000, "SRAM_V113"}}, O::Sram},
        {{{0x1000, "EEPROM_V124"}, {0x2000, "FLASH1M_V103"}}, O::Eeprom},
        {{{0x1000, "FLASH512_V131"}, {0x2000, "SRAM_V113"}}, O::Flash64k},
    };
    for (const auto& [strings, expected] : cases) {
        EXPECT_EQ(readVbaM(scanSaveStrings(imageWith(0x4000, strings))).outcome, expected)
            << strings[0].text << " then " << strings[1].text;
    }
}

TEST(SaveReaders, RefusalsShantaeAndReasons) {
    const Bytes tagged = imageWith(0x4000, {{0x1000, "SRAM_V113"}});
    const auto scan = scanSaveStrings(tagged);
    EXPECT_EQ(readSkyEmu(scan, "game.GBA"), (ReaderView{O::Refused, ReaderReason::NameNotGba}));
    EXPECT_EQ(readSkyEmu(scan, "gba"), (ReaderView{O::Refused, ReaderReason::NameNotGba}));

    const auto small = scanSaveStrings(imageWith(227, {{0, "SRAM_V113"}}));
    EXPECT_EQ(readNanoBoyAdvance(small), (ReaderView{O::Refused, ReaderReason::TooSmall}));
    EXPECT_EQ(readNanoBoyAdvance(scanSaveStrings(imageWith(228, {{0, "SRAM_V113"}}))).outcome,
              O::Sram);

    // Just over 32 MiB: the two that limit the size refuse it, the others read it.
    SaveStringScanner scanner;
    scanner.feed(tagged);
    scanner.feedFill((std::uint64_t{32} << 20) + 1 - tagged.size());
    const auto large = scanner.finish();
    EXPECT_EQ(readNanoBoyAdvance(large), (ReaderView{O::Refused, ReaderReason::TooLarge}));
    EXPECT_EQ(readSkyEmu(large, "big.gba"), (ReaderView{O::Refused, ReaderReason::TooLarge}));
    EXPECT_EQ(readVbaM(large).outcome, O::Sram);

    const auto shantae =
        scanSaveStrings(imageWith(0x4000, {{0x10, "FLASH1M_V103"}, {0x2001, "Shantae"}}));
    EXPECT_EQ(readVbaMLibretro(shantae), (ReaderView{O::Sram, ReaderReason::Shantae}));

    EXPECT_EQ(readVbaM(scanSaveStrings(imageWith(0x4000, {{0x1001, "SRAM_V113"}}))).reason,
              ReaderReason::Unaligned);
    EXPECT_EQ(readAres(scanSaveStrings(imageWith(0x2000, {{0x1FF4, "SRAM_V113"}}))).reason,
              ReaderReason::LastSixteenBytes);
    EXPECT_EQ(readVbaM(scanSaveStrings(
                  imageWith(0x4000, {{0x1000, "EEPROM_V124"}, {0x2000, "SRAM_V113"}}))),
              (ReaderView{O::Sram, ReaderReason::MixedTypes}));
    EXPECT_EQ(readAres(scanSaveStrings(imageWith(0x4000, {}))).reason, ReaderReason::NoString);
}

TEST(SaveStringScan, FindsWhatABruteForceSearchFindsWhateverThePieces) {
    // Strings packed densely, at every alignment, cut by the end of the file.
    const std::string words[] = {"EEPROM_V", "SRAM_F_V", "FLASH1M_V", "FLASH512_V", "FLASH_",
                                 "FLASHx",   "Shantae",  "SRAM_",     "EEPROM",     "FLASH51"};
    std::string text;
    for (int i = 0; text.size() < 700; ++i) {
        text += words[static_cast<std::size_t>(i * 7 % 10)];
        text += std::string(static_cast<std::size_t>(i % 4), 'E');
    }
    text += "FLASH512";  // a prefix cut short by the end of the file
    const Bytes bytes(text.begin(), text.end());
    const auto expected = testing::referencePlaces(bytes);
    const auto seen = testing::referenceSeen(expected);
    ASSERT_GT(expected.size(), 60u);

    for (const std::size_t piece : {1u, 2u, 7u, 15u, 16u, 17u, 31u, 100u, 4096u}) {
        SaveStringScanner scanner;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            scanner.feed(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        }
        const auto scan = scanner.finish();
        EXPECT_EQ(scan.fileSize, bytes.size()) << piece;
        ASSERT_EQ(scan.hitCount, expected.size()) << piece;
        ASSERT_EQ(scan.hits.size(), SaveStringScan::kListedHits);
        for (std::size_t i = 0; i < scan.hits.size(); ++i) {
            EXPECT_EQ(scan.hits[i].offset, expected[i].first) << piece;
            EXPECT_EQ(scan.hits[i].prefixes, expected[i].second) << piece;
        }
        for (std::size_t p = 0; p < kSavePrefixCount; ++p) {
            EXPECT_EQ(scan.prefixes[p].count, seen[p].count) << piece << " prefix " << p;
            EXPECT_EQ(scan.prefixes[p].first, seen[p].first) << piece << " prefix " << p;
            EXPECT_EQ(scan.prefixes[p].firstAligned, seen[p].firstAligned)
                << piece << " prefix " << p;
        }
    }
}

TEST(SaveStringScan, ListsTheTextAndIgnoresTheFill) {
    const Bytes bytes = imageWith(64, {{8, std::string("SRAM_V113\0\0\0", 12)}, {60, "FLAS"}});
    SaveStringScanner scanner;
    scanner.feed(bytes);
    scanner.feedFill(1000);
    const auto scan = scanner.finish();
    EXPECT_EQ(scan.fileSize, 1064u);
    ASSERT_EQ(scan.hits.size(), 1u);
    EXPECT_EQ(scan.hits[0].text, "SRAM_V113");
    EXPECT_TRUE(scan.hits[0].aligned());
    EXPECT_EQ(typeOfHit(scan.hits[0]), O::Sram);
}

}  // namespace
}  // namespace tagwright
