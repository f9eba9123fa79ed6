// Replacing leftover library save strings: each case places a few bytes after the
// header in an image of 0xAB filler and states the bytes expected afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/library_strings.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

constexpr std::uint32_t kAt = 0x200;  // word-aligned, well past the header

struct Case {
    const char* what;
    int type;
    std::string before;  // bytes at kAt
    std::string after;   // the same bytes after replacing
    int listed;          // changes listed (made or not)
};

const Case kCases[] = {
    {"EEPROM string padded to a word, SRAM chosen", 6, "EEPROM_V122\0\xAB"s,
     "SRAM_V113\0\0\0\xAB"s, 1},
    {"longer text over zero padding", 3, "FLASH_V123\0\0\xAB"s, "FLASH1M_V103\xAB"s, 1},
    {"zeros past 12 bytes stay as they are", 2, "SRAM_V113\0\0\0\0\0"s,
     "EEPROM_V124\0\0\0"s, 1},
    {"no room: left as it is, still listed", 3, "SRAM_V113\0\xAB"s, "SRAM_V113\0\xAB"s, 1},
    {"a fourth digit ends the place", 6, "FLASH512_V1310"s, "SRAM_V113\0\0\0\0" "0"s, 1},
    {"same kind is kept: SRAM_F for SRAM", 6, "SRAM_F_V103\0"s, "SRAM_F_V103\0"s, 0},
    {"same kind is kept: FLASH512 for Flash 64 KiB", 4, "FLASH512_V131\0"s,
     "FLASH512_V131\0"s, 0},
    {"same kind is kept: EEPROM for EEPROM", 1, "EEPROM_V124\0"s, "EEPROM_V124\0"s, 0},
    {"Flash 64 KiB is another kind than 128 KiB", 4, "FLASH1M_V102\0"s,
     "FLASH_V123\0\0\0"s, 1},
    {"plain words stay", 6, "FLASH EEPROM SRAM_V FLASH_V12x"s,
     "FLASH EEPROM SRAM_V FLASH_V12x"s, 0},
    {"unaligned strings are replaced too", 5, "\xAB" "EEPROM_V111\xAB"s,
     "\xAB" "SRAM_F_V103\xAB"s, 1},
    {"two strings side by side", 6, "FLASH_V123\0\0EEPROM_V126\0"s,
     "SRAM_V113\0\0\0SRAM_V113\0\0\0"s, 2},
};

Bytes imageWith(const std::string& bytes, std::size_t at = kAt, std::size_t size = 0x400) {
    Bytes image(size, 0xAB);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    return image;
}

TEST(LibraryStrings, ReplacesOnlyLibraryStringsOfAnotherKindInTheirOwnPlace) {
    for (const Case& c : kCases) {
        Bytes image = imageWith(c.before);
        const auto changes = libraryStringChanges(image, *saveTypeFromNumber(c.type));
        applyLibraryStringChanges(image, changes);
        EXPECT_EQ(image, imageWith(c.after)) << c.what;
        EXPECT_EQ(changes.size(), static_cast<std::size_t>(c.listed)) << c.what;
    }
}

TEST(LibraryStrings, ListsWhatChanges) {
    const Bytes image = imageWith("EEPROM_V122\0\xAB SRAM_V113\xAB"s);
    const auto changes = libraryStringChanges(image, SaveType::Flash1M);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], (LibraryStringChange{kAt, 12, "EEPROM_V122", "FLASH1M_V103", true}));
    EXPECT_EQ(changes[1], (LibraryStringChange{kAt + 14, 9, "SRAM_V113", "FLASH1M_V103", false}));
}

TEST(LibraryStrings, HeaderAndImageEndsAreRespected) {
    // In the header: never changed. At the very end: its place stops at the image's end;
    // cut short by the end: not a library string.
    Bytes image = imageWith("FLASH_V123\0\0"s, 0xA0);  // another kind: it would be listed
    const std::string tail = "SRAM_V113"s;
    std::copy(tail.begin(), tail.end(), image.end() - 9);
    const auto changes = libraryStringChanges(image, SaveType::Eeprom64k);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].offset, image.size() - 9);
    EXPECT_FALSE(changes[0].fits);

    Bytes cut = imageWith("FLASH_V12"s, 0x400 - 9);
    EXPECT_TRUE(libraryStringChanges(cut, SaveType::Sram512k).empty());
    Bytes fits = imageWith("FLASH_V123"s, 0x400 - 10);
    auto last = libraryStringChanges(fits, SaveType::Sram512k);
    applyLibraryStringChanges(fits, last);
    EXPECT_EQ(fits, imageWith("SRAM_V113\0"s, 0x400 - 10));
}

// The readers' list of the library's strings (data/reader-tables/sdk-strings.tsv) and
// the strings this program writes, against the one statement of what a library string
// is: every listed string is one, of the kind its save size says; every tag is listed.
TEST(LibraryStrings, TheReadersListAndTheTagsAgreeWithTheLibrary) {
    std::ifstream in(TAGWRIGHT_SDK_STRINGS);
    ASSERT_TRUE(in) << TAGWRIGHT_SDK_STRINGS;
    // save size column -> the type asked for its kind
    const std::map<std::string, SaveType> bySize = {
        {"512", SaveType::Eeprom64k}, {"8192", SaveType::Eeprom64k},
        {"32768", SaveType::Sram512k}, {"65536", SaveType::Flash512k},
        {"131072", SaveType::Flash1M}};
    std::set<std::string> listed;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("string\t", 0) == 0) {
            continue;
        }
        std::istringstream row(line);
        std::string text, oaf, gbarunner, size;
        std::getline(row, text, '\t');
        std::getline(row, oaf, '\t');
        std::getline(row, gbarunner, '\t');
        std::getline(row, size, '\t');
        EXPECT_EQ(libraryStringKind(text), bySize.at(size)) << text;
        listed.insert(text);
    }
    EXPECT_EQ(listed.size(), 25u);
    for (int type = 1; type <= 6; ++type) {
        const SaveTag tag = *saveTagOf(*saveTypeFromNumber(type));
        const std::string text(tag.begin(), std::find(tag.begin(), tag.end(), std::uint8_t{0}));
        EXPECT_TRUE(listed.count(text)) << text;
    }
}

}  // namespace
}  // namespace tagwright
