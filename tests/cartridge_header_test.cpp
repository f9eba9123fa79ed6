#include "image/cartridge_header.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace tagwright {
namespace {

std::vector<std::uint8_t> bytesOf(const CartridgeHeader& header) {
    const auto array = header.toBytes();
    return {array.begin(), array.end()};
}

std::vector<std::uint8_t> range(const CartridgeHeader& header, std::size_t first,
                                std::size_t last) {
    const auto all = bytesOf(header);
    return {all.begin() + static_cast<std::ptrdiff_t>(first),
            all.begin() + static_cast<std::ptrdiff_t>(last) + 1};
}

TEST(CartridgeHeader, DefaultRecordHasTheDocumentedBytes) {
    const auto bytes = bytesOf(CartridgeHeader());
    ASSERT_EQ(bytes.size(), 192u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{0x2E, 0x00, 0x00, 0xEA, 0x24, 0xFF, 0xAE, 0x51}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 0x98, bytes.begin() + 0xA0),
              (std::vector<std::uint8_t>{0x38, 0x0A, 0xAC, 0x72, 0x21, 0xD4, 0xF8, 0x07}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 0xB0, bytes.begin() + 0xB5),
              (std::vector<std::uint8_t>{0x30, 0x31, 0x96, 0x00, 0x80}));
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 0xA0, bytes.begin() + 0xB0, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + 0xB5, bytes.end(), [](auto b) { return b == 0; }));
}

TEST(CartridgeHeader, LogoMatchesTheFormatsChecksum) {
    // A cheap guard against a mistyped logo byte: the sum of the 156 published bytes.
    const unsigned sum =
        std::accumulate(CartridgeHeader::kLogo.begin(), CartridgeHeader::kLogo.end(), 0u);
    EXPECT_EQ(sum, 19227u);
}

TEST(CartridgeHeader, TitleIsZeroFilledAndCutAtTwelveOrAtAZero) {
    CartridgeHeader header;
    header.setTitle("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(range(header, 0xA0, 0xAB), std::vector<std::uint8_t>({'A', 'B', 'C', 'D', 'E', 'F',
                                                                    'G', 'H', 'I', 'J', 'K', 'L'}));
    EXPECT_EQ(header.gameCode[0], 0);  // nothing spills into the next field

    header.setTitle("ABC");
    EXPECT_EQ(range(header, 0xA0, 0xAB),
              std::vector<std::uint8_t>({'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    header.setTitle(std::string_view("AB\0CD", 5));
    EXPECT_EQ(range(header, 0xA0, 0xA4), std::vector<std::uint8_t>({'A', 'B', 0, 0, 0}));

    header.setTitle("");
    EXPECT_EQ(range(header, 0xA0, 0xAB), std::vector<std::uint8_t>(12, 0));
}

TEST(CartridgeHeader, CodesStoreTheirBytesUnchanged) {
    CartridgeHeader header;
    header.setGameCode("\xC1XYZW");
    EXPECT_EQ(range(header, 0xAC, 0xAF), std::vector<std::uint8_t>({0xC1, 'X', 'Y', 'Z'}));
    header.setGameCode("AB");
    EXPECT_EQ(range(header, 0xAC, 0xAF), std::vector<std::uint8_t>({'A', 'B', 0, 0}));

    header.setMakerCode("0A");
    EXPECT_EQ(range(header, 0xB0, 0xB1), std::vector<std::uint8_t>({0x30, 0x41}));
    header.setMakerCode("XYZ");
    EXPECT_EQ(range(header, 0xB0, 0xB2), std::vector<std::uint8_t>({'X', 'Y', 0x96}));
    header.setMakerCode("");
    EXPECT_EQ(range(header, 0xB0, 0xB1), std::vector<std::uint8_t>({0, 0}));
}

TEST(CartridgeHeader, VersionKeepsTheLowEightBits) {
    CartridgeHeader header;
    const std::pair<std::int32_t, std::uint8_t> cases[] = {
        {255, 0xFF}, {256, 0x00}, {300, 0x2C}, {-1, 0xFF}, {-256, 0x00}, {INT32_MIN, 0x00}};
    for (const auto& [number, stored] : cases) {
        header.setVersion(number);
        EXPECT_EQ(header.version, stored) << number;
    }
}

TEST(CartridgeHeader, SettersLeaveTheCheckAlone) {
    CartridgeHeader header;
    header.setTitle("ABC");
    header.setGameCode("ABCD");
    header.setMakerCode("ZZ");
    header.setVersion(7);
    EXPECT_EQ(header.complementCheck, 0);
}

TEST(CartridgeHeader, FinalizingComputesTheWorkedExamples) {
    CartridgeHeader header;
    header.finalizeFrom(CartridgeHeader());
    EXPECT_EQ(header.complementCheck, 0x70);

    CartridgeHeader titled;
    titled.setTitle("ABC");
    titled.finalizeFrom(CartridgeHeader());
    EXPECT_EQ(titled.complementCheck, 0xAA);

    // Finalising again changes nothing: the check lies outside the summed range.
    const auto once = bytesOf(titled);
    titled.finalizeFrom(CartridgeHeader());
    EXPECT_EQ(bytesOf(titled), once);
}

TEST(CartridgeHeader, FinalizingRepairsAForeignHeaderAndKeepsItsFields) {
    std::vector<std::uint8_t> foreign(192);
    for (std::size_t i = 0; i < foreign.size(); ++i) {
        foreign[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    foreign[0xB4] = 0x00;
    foreign[0xB5] = 0x11;  // non-zero reserved byte
    CartridgeHeader header;
    header.overlay(foreign);
    header.finalizeFrom(CartridgeHeader());

    const auto bytes = bytesOf(header);
    EXPECT_TRUE(std::equal(CartridgeHeader::kLogo.begin(), CartridgeHeader::kLogo.end(),
                           bytes.begin() + 4));
    EXPECT_EQ(bytes[0xB2], 0x96);
    EXPECT_EQ(bytes[0xB4], 0x80);
    EXPECT_EQ(bytes[0xBE], 0);
    EXPECT_EQ(bytes[0xBF], 0);
    // Entry branch, title, codes, unit code, reserved bytes and version stay as read.
    for (std::size_t i : {0u, 3u, 0xA0u, 0xABu, 0xACu, 0xB0u, 0xB1u, 0xB3u, 0xB5u, 0xBBu, 0xBCu}) {
        EXPECT_EQ(bytes[i], foreign[i]) << "offset " << i;
    }
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += bytes[i];
    }
    EXPECT_EQ((sum + 0x19 + bytes[0xBD]) & 0xFF, 0u);  // the reserved 0x11 is in the sum
}

TEST(CartridgeHeader, OverlayOfAShortPrefixKeepsTheDefaultsBehindIt) {
    CartridgeHeader header;
    header.overlay(std::vector<std::uint8_t>(100, 0xAB));
    const auto bytes = bytesOf(header);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 100, [](auto b) { return b == 0xAB; }));
    const auto defaults = bytesOf(CartridgeHeader());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 100, bytes.end()),
              std::vector<std::uint8_t>(defaults.begin() + 100, defaults.end()));
}

}  // namespace
}  // namespace tagwright
