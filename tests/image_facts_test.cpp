// The one-pass scan and the outcome words, judged against rules written out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "image/cartridge_header.hpp"
#include "image/vector_width.hpp"
#include "readers/crc32.hpp"
#include "readers/image_facts.hpp"
#include "readers/judgement.hpp"
#include "readers/mark_starts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes filler(std::size_t size) { return Bytes(size, 0xFF); }

void put(Bytes& bytes, std::size_t offset, std::string_view text) {
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

// The places a mark may start, found a vector at a time at each width the processor
// has, against the five pairs written out here: on bytes drawn from the pairs' own
// letters, so that starts fall on every lane and at every vector's and stretch's edge,
// then on sparse ones; in ranges that end short of the bytes that may be read.
TEST(MarkStarts, EveryWidthFindsThePairsWrittenOutHere) {
    Bytes bytes(6000, 'x');
    std::uint32_t seed = 11;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        seed = seed * 1103515245 + 12345;
        const std::string_view letters = at < 3000 ? "ESFRIhx" : "ESFRIhxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
        bytes[at] = static_cast<std::uint8_t>(letters[(seed >> 16) % letters.size()]);
    }
    const auto startsHere = [&](std::size_t at, std::size_t available) {
        const auto byte = [&](std::size_t k) { return at + k < available ? bytes[at + k] : 0; };
        return (byte(0) == 'E' && byte(1) == 'E') ||
               (byte(0) == 'S' && (byte(1) == 'R' || byte(1) == 'I' || byte(1) == 'h')) ||
               (byte(0) == 'F' && byte(3) == 'S');
    };
    struct Range {
        std::size_t from, to, available;
    };
    const Range ranges[] = {{0, 6000, 6000}, {1, 5997, 5999}, {3, 1027, 1028}, {0, 1024, 1027},
                            {2999, 4100, 4103}, {64, 64, 70}, {5990, 6000, 6000}, {0, 3, 3}};
    for (const std::size_t width : {16, 32, 64}) {
        if (limitVectorWidth(width) != width) {
            continue;
        }
        for (const Range& r : ranges) {
            SCOPED_TRACE(::testing::Message() << "width " << width << ", [" << r.from << ", " << r.to << ") of "
                                            << r.available);
            std::vector<std::size_t> expected;
            for (std::size_t at = r.from; at < r.to; ++at) {
                if (startsHere(at, r.available)) {
                    expected.push_back(at);
                }
            }
            std::vector<std::size_t> found;
            findMarkStarts(bytes.data(), r.from, r.to, r.available, found);
            EXPECT_EQ(found, expected);
        }
    }
    limitVectorWidth(64);
}

TEST(Crc32, FoldedAndTableWaysAgreeOnEveryLengthAndStart) {
    // The folding ways take blocks of 16 from 256 bytes on (the wide one 256 bytes a
    // step, then 64, then 16); lengths around their edges and unaligned starts, against
    // the table way (which the check values below pin).
    Bytes bytes(5000);
    std::uint32_t seed = 12345;
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    for (const std::size_t length : {255u, 256u, 257u, 271u, 319u, 320u, 511u, 512u, 575u, 1024u, 1279u, 4093u}) {
        for (const std::size_t start : {0u, 1u, 7u}) {
            const std::span<const std::uint8_t> part(bytes.data() + start, length);
            setCrc32Folding(false);
            Crc32 table;
            table.update(part);
            setCrc32Folding(true);
            for (const bool wide : {false, true}) {
                setCrc32WideFolding(wide);
                Crc32 folded;
                folded.update(part);
                EXPECT_EQ(folded.value(), table.value()) << length << " from " << start << (wide ? " wide" : "");
            }
        }
    }
    setCrc32Folding(true);
    setCrc32WideFolding(true);
}

TEST(Crc32, MatchesTheCheckValuesOfZlib) {
    // The catalogue check value of CRC-32 and two values zlib's crc32() gives.
    struct Case {
        std::string text;
        std::uint32_t crc;
    };
    const std::vector<Case> cases = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        // Long enough for the folding way: 1000 bytes of "a", as zlib's crc32() gives.
        {std::string(1000, 'a'), 0x9A38DA03u},
    };
    for (const Case& c : cases) {
        Crc32 whole;
        whole.update({reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size()});
        EXPECT_EQ(whole.value(), c.crc) << c.text;
        Crc32 byByte;  // the 16-byte path and the byte path agree
        for (const char ch : c.text) {
            byByte.update({reinterpret_cast<const std::uint8_t*>(&ch), 1});
        }
        EXPECT_EQ(byByte.value(), c.crc) << c.text;
    }
    Crc32 fill;
    fill.updateFill(100);
    Crc32 bytes;
    const Bytes ff = filler(100);
    bytes.update(ff);
    EXPECT_EQ(fill.value(), bytes.value());
}

TEST(ImageFacts, CrcOfTheFirstThirtyTwoMiBIsKeptApart) {
    Bytes image = filler((std::size_t{32} << 20) + 8);
    put(image, image.size() - 8, "TAILTAIL");
    put(image, 0xAC, "AXVE");  // mGBA checks this code's checksum
    const ImageFacts facts = factsOfBytes(image, "big.gba");
    Crc32 first;
    first.update(std::span(image).first(std::size_t{32} << 20));
    Crc32 whole;
    whole.update(image);
    EXPECT_EQ(facts.crc32FirstThirtyTwoMiB, first.value());
    EXPECT_EQ(facts.crc32, whole.value());
    EXPECT_NE(facts.crc32, facts.crc32FirstThirtyTwoMiB);
}

// The checksum is computed only for a header some reader needs it for: a bootable
// cartridge header (VBA-GX's list of images), mGBA's Pokemon test, a code VBA-M keys
// by checksum; whatever the pieces the head arrives in.
TEST(ImageFacts, ChecksumOnlyWhereAReaderNeedsIt) {
    Bytes bootable = filler(0x8000);
    std::copy(CartridgeHeader::kLogo.begin(), CartridgeHeader::kLogo.end(), bootable.begin() + 4);
    put(bootable, 0xA0, "HOMEBREWGAMEZTGP01");
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += bootable[i];
    }
    bootable[0xBD] = static_cast<std::uint8_t>(0xE7 - sum);
    Bytes badComplement = bootable;
    ++badComplement[0xBD];
    Bytes oddCode = badComplement;
    put(oddCode, 0xAC, std::string("Z\x01GP"));
    Bytes pokemon = badComplement;
    put(pokemon, 0x108, std::string("pokemon red version\0", 20));
    struct Case {
        const char* what;
        const Bytes* image;
        bool checksum;
    };
    for (const Case& c : {Case{"bootable header", &bootable, true},
                          Case{"wrong complement", &badComplement, false},
                          Case{"code outside 0x21-0x7E", &oddCode, true},
                          Case{"pokemon red version", &pokemon, true}}) {
        Crc32 reference;
        reference.update(*c.image);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{0x100}, c.image->size()}) {
            ImageScanner scanner("case.gba");
            for (std::size_t at = 0; at < c.image->size(); at += piece) {
                scanner.feed(std::span(*c.image).subspan(at, std::min(piece, c.image->size() - at)));
            }
            const ImageFacts facts = scanner.finish();
            EXPECT_EQ(facts.crc32.has_value(), c.checksum) << c.what << ", pieces of " << piece;
            if (c.checksum) {
                EXPECT_EQ(facts.crc32, reference.value()) << c.what << ", pieces of " << piece;
            }
        }
    }
    // A file shorter than the header is judged at its end.
    const Bytes tiny(0x40, 0);
    EXPECT_TRUE(factsOfBytes(tiny, "tiny.gba").crc32.has_value());  // its code is cut short
}

// How a report for scripts states each outcome word (outcome class and bytes).
TEST(ReaderResult, EachOutcomeWordHasItsClassAndSize) {
    struct Case {
        const char* word;
        SaveKind kind;
        std::optional<std::uint32_t> bytes;
        bool fallback;
    };
    const std::vector<Case> cases = {
        {"EEPROM", SaveKind::Eeprom, std::nullopt, false},
        {"EEPROM512", SaveKind::Eeprom, 512, false},
        {"EEPROM8K", SaveKind::Eeprom, 8192, false},
        {"EEPROM*", SaveKind::Eeprom, std::nullopt, true},
        {"SRAM", SaveKind::Sram, 32768, false},
        {"SRAM*", SaveKind::Sram, 32768, true},
        {"SRAM64K*", SaveKind::Sram, 65536, true},
        {"FLASH64K", SaveKind::Flash, 65536, false},
        {"FLASH128K", SaveKind::Flash, 131072, false},
        {"NONE", SaveKind::None, std::nullopt, false},
        {"SIIRTC", SaveKind::None, std::nullopt, false},
        {"RT", SaveKind::Runtime, std::nullopt, false},
        {"RT64", SaveKind::Runtime, 65536, false},
        {"RT64A", SaveKind::Runtime, 65536, false},
        {"RT128", SaveKind::Runtime, 131072, false},
        {"RT64-NOSRAM", SaveKind::Eeprom, std::nullopt, false},
        {"RT128-NOSRAM", SaveKind::Eeprom, std::nullopt, false},
        {"ERROR", SaveKind::Refused, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const ReaderResult result = resultOf(c.word, DecidedBy::String);
        EXPECT_EQ(result.outcome, c.kind) << c.word;
        EXPECT_EQ(result.bytes, c.bytes) << c.word;
        EXPECT_EQ(result.fallback, c.fallback) << c.word;
        EXPECT_EQ(result.decidedBy, c.fallback ? DecidedBy::Default : DecidedBy::String) << c.word;
        EXPECT_EQ(result.outcomeWord, c.word);
    }
}

// Every place where a mark starts is found, with exactly its marks, whatever the
// pieces: planted strings (overlapping ones too) in pseudo-random bytes against a plain
// search written here.
TEST(ImageFacts, FindsWhatAPlainSearchFindsWhateverThePieces) {
    const std::vector<std::string> marks = {"EEPR", "EEPROM", "EEPROM_", "EEPROM_V", "SRAM",
                                            "SRAM_", "SRAM_V", "SRAM_F_V", "FLAS", "FLASH",
                                            "FLASH_", "FLASH_V", "FLASH512_", "FLASH512_V",
                                            "FLASH1M_", "FLASH1M_V", "SIIR", "Shantae"};
    Bytes image(0x48000);
    std::uint32_t seed = 7;
    for (auto& byte : image) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    const std::vector<std::pair<std::size_t, std::string>> planted = {
        {0x10, "EEEPROM_V124"},    {0xE1, "SRAM_F_V103"},        {0x3FFE, "FLASH1M_V103"},
        {0x8003, "FLAFLASH512_V"}, {0x10000, "SIIRTC_V001"},     {0x1FFFA, "ShantaeSRAM_"},
        {0x2FFF9, "SSRAM_V113"},   {0x47FF6, "FLASH_V123"},      {0x47FFC, "EEPR"}};
    for (const auto& [offset, text] : planted) {
        put(image, offset, text);
    }
    std::vector<std::pair<std::uint64_t, std::uint32_t>> expected;
    for (std::size_t at = 0; at < image.size(); ++at) {
        std::uint32_t found = 0;
        for (std::size_t m = 0; m < marks.size(); ++m) {
            if (at + marks[m].size() <= image.size() &&
                std::memcmp(image.data() + at, marks[m].data(), marks[m].size()) == 0) {
                found |= 1u << m;
            }
        }
        if (found != 0) {
            expected.emplace_back(at, found);
        }
    }
    ASSERT_GE(expected.size(), planted.size() + 1);  // ShantaeSRAM_ is two places
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, image.size()}) {
        ImageScanner scanner("planted.gba");
        for (std::size_t at = 0; at < image.size(); at += piece) {
            scanner.feed(std::span(image).subspan(at, std::min(piece, image.size() - at)));
        }
        const ImageFacts facts = scanner.finish();
        EXPECT_EQ(facts.placeCount, expected.size()) << "pieces of " << piece;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> got;
        for (const StringPlace& place : facts.places) {
            got.emplace_back(place.offset, place.marks);
        }
        EXPECT_EQ(got, expected) << "pieces of " << piece;
    }
}

// Strings repeated all over a file are listed once per kind and MiB, so a hostile file
// cannot make the list grow with its size; the first of each stays, so the readers
// still see the earliest.
TEST(ImageFacts, RepeatsAreListedOnceAndTheFirstStays) {
    Bytes image = filler(std::size_t{3} << 20);
    for (std::size_t at = 0x1000; at + 16 <= image.size(); at += 16) {
        put(image, at, std::string("SRAM_V113\0\0\0", 12));
    }
    put(image, 0x2FFF00, std::string("FLASH1M_V103\0\0\0\0", 16));
    const ImageFacts facts = factsOfBytes(image, "repeat.gba");
    EXPECT_LE(facts.places.size(), 8u);
    EXPECT_GT(facts.placeCount, 190000u);
    ASSERT_FALSE(facts.places.empty());
    EXPECT_EQ(facts.places.front().offset, 0x1000u);
    EXPECT_EQ(facts.places.front().text, "SRAM_V113");
    EXPECT_EQ(facts.places.back().offset, 0x2FFF00u);
    // NanoBoyAdvance takes the first aligned string: the repeats decide, not the Flash one.
    const auto results = judgeImage(facts);
    EXPECT_EQ(results[2].id, "nba");
    EXPECT_EQ(results[2].outcomeWord, "SRAM");
}

// A place needs its whole text inside the file; what follows it is counted up to 4 zero
// bytes, and past the end through each DS loader's read buffer.
TEST(ImageFacts, RecordsTheZerosAfterALibraryStringAtTheEnd) {
    Bytes image = filler(0x100C);
    put(image, 0x1000, "FLASH1M_V103");
    put(image, 0xFFD, "SRA");  // cut by the next string: no SRAM place
    const ImageFacts facts = factsOfBytes(image, "end.gba");
    ASSERT_EQ(facts.places.size(), 1u);
    const StringPlace& place = facts.places[0];
    EXPECT_TRUE(place.has(Mark::Flash1MV));
    EXPECT_TRUE(place.has(Mark::FlasWord));
    EXPECT_FALSE(place.has(Mark::FlashV));
    EXPECT_EQ(place.roomAfter, 0);
    EXPECT_EQ(place.zerosInFile, 0);
    EXPECT_EQ(place.zerosOneMiBBuffer, 4);  // a fresh buffer holds zeros
    EXPECT_EQ(place.lead, "SRA");
}

// A header every reader takes, in 0xFF filler: an empty title (valid UTF-8), a code in
// no reader's table, maker 01 and 0x96 at 0xB2.
Bytes plainImage(std::size_t size) {
    Bytes image = filler(size);
    std::fill_n(image.begin() + 0xA0, 12, 0);
    put(image, 0xAC, "ZTGP01\x96");
    return image;
}

std::string wordOf(const Bytes& image, std::string_view reader) {
    for (const ReaderResult& result : judgeImage(factsOfBytes(image, "edge.gba"))) {
        if (result.id == reader) {
            return result.outcomeWord;
        }
    }
    return "no such reader";
}

// Each reader at the edges of its own scan, as its code has it.
TEST(ReaderRules, EachReaderAtTheEdgesOfItsScan) {
    using namespace std::string_literals;
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::string flash = "FLASH_V123\0\0"s;
    struct Case {
        const char* rule;
        const char* reader;
        std::size_t size;
        std::vector<std::pair<std::size_t, std::string>> strings;
        const char* word;
    };
    const std::vector<Case> cases = {
        // gpSP, past its first MiB: aligned offsets at most block length - 12 into each
        // 1 MiB block, every block.
        {"gpSP: in a block's last 8 bytes, missed", "gpsp", 3 * kMiB, {{2 * kMiB - 8, flash}},
         "RT64"},
        {"gpSP: the same string again in the next block, found", "gpsp", 3 * kMiB,
         {{2 * kMiB - 8, flash}, {2 * kMiB + 0x100, flash}}, "FLASH64K"},
        // GBA.js: on a byte that breaks a partial match the matcher starts again from it.
        {"GBA.js: FFLASH_V123", "gbajs", 0x400, {{0x200, "FFLASH_V123"}}, "FLASH64K"},
        // DeSmuME: words at o with o + 4 < size; the word that ends the file is never read.
        {"DeSmuME: SRAM ends the file", "desmume", 0x204, {{0x200, "SRAM"}}, "NONE"},
        {"DeSmuME: SRAM one word before the end", "desmume", 0x208, {{0x200, "SRAM"}}, "SRAM"},
        // RustBoyAdvance-ng refuses a title that is not UTF-8: a code point in the
        // shortest form only (U+0800 on takes 3 bytes, U+10000 on 4).
        {"RustBoyAdvance-ng: E0 9F BF, overlong", "rustboyadvance", 0x400,
         {{0xA0, "\xE0\x9F\xBF"}}, "ERROR"},
        {"RustBoyAdvance-ng: E0 A0 80, U+0800", "rustboyadvance", 0x400,
         {{0xA0, "\xE0\xA0\x80"}}, "NONE"},
        {"RustBoyAdvance-ng: F0 8F BF BF, overlong", "rustboyadvance", 0x400,
         {{0xA0, "\xF0\x8F\xBF\xBF"}}, "ERROR"},
        {"RustBoyAdvance-ng: F0 90 80 80, U+10000", "rustboyadvance", 0x400,
         {{0xA0, "\xF0\x90\x80\x80"}}, "NONE"},
    };
    for (const Case& c : cases) {
        Bytes image = plainImage(c.size);
        for (const auto& [offset, text] : c.strings) {
            put(image, offset, text);
        }
        EXPECT_EQ(wordOf(image, c.reader), c.word) << c.rule;
    }
}

// CRC-32 (reflected, polynomial 0xEDB88320) as its register stands after `bytes`.
std::uint32_t crcRegister(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1u) != 0 ? 0xEDB88320u : 0u);
        }
    }
    return crc;
}

// Sets the image's last 4 bytes so that its CRC-32 is `crc`: the register is run 32
// steps back from the final value; the 4 bytes take it there from where the rest of
// the image leaves it.
void forgeCrc(Bytes& image, std::uint32_t crc) {
    std::uint32_t back = ~crc;
    for (int bit = 0; bit < 32; ++bit) {
        back = (back & 0x80000000u) != 0 ? ((back ^ 0xEDB88320u) << 1) | 1u : back << 1;
    }
    back ^= crcRegister(std::span(image).first(image.size() - 4));
    for (std::size_t i = 0; i < 4; ++i) {
        image[image.size() - 4 + i] = static_cast<std::uint8_t>(back >> (8 * i));
    }
}

// mGBA gives Flash 128 KiB to a Pokemon-looking image unless its CRC-32 is one of the
// releases it lists (mgba-pokemon-crc.tsv): its first, a middle and its last row here,
// and a value it does not list.
TEST(ReaderRules, MgbaKnowsEachPokemonReleaseItLists) {
    for (const std::uint32_t crc : {0x4881F3F8u, 0x3B2056E9u, 0xF0815EE7u, 0x12345678u}) {
        Bytes image = plainImage(0x400);
        put(image, 0x108, std::string("pokemon red version\0", 20));
        forgeCrc(image, crc);
        ASSERT_EQ(crcRegister(image), ~crc);
        EXPECT_EQ(wordOf(image, "mgba"), crc == 0x12345678u ? "FLASH128K" : "RT")
            << std::hex << crc;
    }
}

}  // namespace
}  // namespace tagwright
