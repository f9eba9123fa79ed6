#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/empty_space.hpp"
#include "image/rom_image.hpp"
#include "image/save_type.hpp"
#include "support/expected_text.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::patternBytes;

std::string tagText(SaveType type) {
    const auto tag = saveTagOf(type);
    return tag ? std::string(tag->begin(), tag->end()) : std::string("<none>");
}

std::unique_ptr<RomImage> imageOf(const std::vector<std::uint8_t>& bytes) {
    auto image = std::make_unique<RomImage>(static_cast<std::int32_t>(bytes.size()));
    image->loadBytes(bytes);
    return image;
}

std::vector<std::uint8_t> withZeros(std::size_t size, std::size_t first, std::size_t last) {
    auto bytes = patternBytes(size);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(first),
              bytes.begin() + static_cast<std::ptrdiff_t>(last) + 1, 0);
    return bytes;
}

// All zeros but one byte.
std::vector<std::uint8_t> zerosBut(std::size_t size, std::size_t at) {
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[at] = 0x5A;
    return bytes;
}

using testing::kFoundSpace;
using testing::kNoSpace;

TEST(SaveType, SixTagsOfTwelveBytes) {
    EXPECT_EQ(tagText(SaveType::Eeprom64k), std::string("EEPROM_V120\0", 12));
    EXPECT_EQ(tagText(SaveType::Eeprom128k), std::string("EEPROM_V124\0", 12));
    EXPECT_EQ(tagText(SaveType::Flash1M), "FLASH1M_V103");
    EXPECT_EQ(tagText(SaveType::Flash512k), std::string("FLASH_V123\0\0", 12));
    EXPECT_EQ(tagText(SaveType::Sram256k), std::string("SRAM_F_V103\0", 12));
    EXPECT_EQ(tagText(SaveType::Sram512k), std::string("SRAM_V113\0\0\0", 12));
    EXPECT_EQ(saveTypeFromNumber(6), SaveType::Sram512k);
    EXPECT_FALSE(saveTypeFromNumber(0));
    EXPECT_FALSE(saveTypeFromNumber(7));
    EXPECT_FALSE(saveTagOf(static_cast<SaveType>(7)));
}

TEST(SaveTagging, AppendedTagGoesIntoTheTagAreaAndReplacesTheLastOne) {
    const auto bytes = patternBytes(256);
    const auto owned = imageOf(bytes);
    RomImage& image = *owned;
    const auto untagged = image.buffer();
    EXPECT_EQ(std::vector<std::uint8_t>(untagged.begin() + 256, untagged.end()),
              std::vector<std::uint8_t>(12, 0));  // a fresh tag area is zero

    image.appendSaveTag(SaveType::Flash1M);
    image.appendSaveTag(SaveType::Sram256k);
    const auto buffer = image.buffer();
    EXPECT_EQ(std::string(buffer.begin() + 256, buffer.end()), std::string("SRAM_F_V103\0", 12));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    EXPECT_EQ(image.size(), 256);

    image.appendSaveTag(static_cast<SaveType>(9));  // ignored
    EXPECT_EQ(std::string(image.buffer().begin() + 256, image.buffer().end()), std::string("SRAM_F_V103\0", 12));
}

struct SearchCase {
    const char* name;
    std::vector<std::uint8_t> image;
    int offset;  // -1: no usable run
};

TEST(SaveTagging, SearchPrintsOneDotPerPositionAndTheOutcome) {
    const SearchCase cases[] = {
        {"empty image", {}, -1},
        {"12 zero bytes: inside the header", std::vector<std::uint8_t>(12, 0), -1},
        {"11 zero bytes", std::vector<std::uint8_t>(11, 0), -1},
        {"no zero at all", patternBytes(1000), -1},
        {"stretch of 11 zeros after the header", withZeros(1000, 400, 410), -1},
        {"stretch at 1000..1029", withZeros(2000, 1000, 1029), 1000},
        {"stretch overlapping the header end", withZeros(400, 150, 299), 228},
        {"zeros 192..239: only the 0xE4 run counts", withZeros(400, 192, 239), 228},
        {"zeros 192..235: room below 0xE4 only", withZeros(400, 192, 235), -1},
        {"unaligned stretch 1001..1029", withZeros(2000, 1001, 1029), 1004},
        {"unaligned stretch too short once aligned", withZeros(2000, 1001, 1014), -1},
        {"image ending in 12 zeros", withZeros(1000, 988, 999), 988},
        {"only the header is zero", withZeros(1000, 0, 191), -1},
        {"all zeros", std::vector<std::uint8_t>(300, 0), 228},
        {"a non-zero byte at 236 ends the run from 228", zerosBut(300, 236), 240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto owned = imageOf(c.image);
        RomImage& image = *owned;
        std::ostringstream out;
        const bool found = image.findEmptySpace(out);
        EXPECT_EQ(found, c.offset >= 0);
        const std::size_t dots = found ? static_cast<std::size_t>(c.offset) + 11 : c.image.size();
        EXPECT_EQ(out.str(), std::string(dots, '.') + (found ? kFoundSpace : kNoSpace));
        if (found) {
            EXPECT_EQ(image.emptySpaceOffset(), c.offset);
        }
    }
}

TEST(SaveTagging, EmbeddedTagFillsTheRunAndASecondSearchFindsTheNextOne) {
    const auto owned = imageOf(withZeros(2000, 1000, 1029));
    RomImage& image = *owned;
    std::ostringstream out;
    ASSERT_TRUE(image.findEmptySpace(out));
    image.embedSaveTag(SaveType::Sram512k);
    const auto buffer = image.buffer();
    EXPECT_EQ(std::string(buffer.begin() + 1000, buffer.begin() + 1012), std::string("SRAM_V113\0\0\0", 12));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 1012, buffer.begin() + 1030),
              std::vector<std::uint8_t>(18, 0));

    // 1012..1023 is the next aligned run of zeros.
    ASSERT_TRUE(image.findEmptySpace(out));
    EXPECT_EQ(image.emptySpaceOffset(), 1012);
    image.embedSaveTag(SaveType::Eeprom64k);
    image.embedSaveTag(SaveType::Flash512k);  // same place again
    EXPECT_EQ(std::string(image.buffer().begin() + 1012, image.buffer().begin() + 1024),
              std::string("FLASH_V123\0\0", 12));

    // 1024..1029 is too short; the offset of the last success stays.
    EXPECT_FALSE(image.findEmptySpace(out));
    EXPECT_EQ(image.emptySpaceOffset(), 1012);
}

TEST(SaveTagging, EmbedBeforeAnySearchChangesNothing) {
    const auto bytes = withZeros(1000, 500, 599);
    const auto owned = imageOf(bytes);
    RomImage& image = *owned;
    image.embedSaveTag(SaveType::Sram512k);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.buffer().begin()));
}

TEST(SaveTagging, SearchSeesTheImageNotTheTagAreaOrTheWorkingHeader) {
    auto bytes = patternBytes(400);
    const auto owned = imageOf(bytes);
    RomImage& image = *owned;
    image.setTitle("");  // zeros only in the working header
    std::ostringstream out;
    EXPECT_FALSE(image.findEmptySpace(out));  // the tag area (12 zero bytes) is never looked at
}

}  // namespace
}  // namespace tagwright
