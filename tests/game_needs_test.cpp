// What the game's code needs, judged over whole programs: the test programs built from
// tests/gba-programs/ (their truth written by hand from what each source does, in
// truth.tsv), and the shared real test ROMs (their truth from their own sources).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/vector_width.hpp"
#include "needs/code_prescan.hpp"
#include "needs/game_needs.hpp"
#include "support/known_roms.hpp"

namespace tagwright {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ARM words (or any 32-bit words) as the ROM holds them, low byte first.
std::vector<std::uint8_t> armWords(std::initializer_list<std::uint32_t> words) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t word : words) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    }
    return bytes;
}

std::string describe(const GameNeeds& needs) {
    std::string text = std::string(saveMemoryWord(needs.outcome)) + " " +
                       (needs.bytes ? std::to_string(*needs.bytes) : std::string("-")) + "\n";
    for (const NeedEvidence& item : needs.evidence) {
        text += std::string("  ") + surenessWord(item.sureness) + ": " + item.what + " [" + item.detail + "]\n";
    }
    return text;
}

void expectJudged(const fs::path& rom, const std::string& memory, const std::string& bytes) {
    SCOPED_TRACE(rom.filename().string());
    const std::vector<std::uint8_t> image = readFile(rom);
    ASSERT_FALSE(image.empty());
    const GameNeeds needs = judgeGameCode(image);
    EXPECT_EQ(saveMemoryWord(needs.outcome), memory) << describe(needs);
    EXPECT_EQ(needs.bytes ? std::to_string(*needs.bytes) : std::string(), bytes) << describe(needs);
    ASSERT_FALSE(needs.evidence.empty());
    EXPECT_EQ(needs.evidence.front().sureness, Sureness::Decides) << describe(needs);
}

// Each protocol and style, ARM and Thumb, C and assembly, as truth.tsv states it.
TEST(GameNeeds, TestProgramsAsTheirSourcesSay) {
    int programs = 0;
    for (const testing::KnownRom& rom : testing::testPrograms(TAGWRIGHT_GBA_PROGRAMS)) {
        expectJudged(rom.path, rom.memory, rom.bytes);
        ++programs;
    }
    EXPECT_GE(programs, 16);
}

// Five test ROMs written by someone else, used where they are (skipped when absent).
TEST(GameNeeds, SharedRealRoms) {
    const char* given = std::getenv("TAGWRIGHT_REAL_ROMS");
    const fs::path dir = fs::path(given ? given : TAGWRIGHT_REAL_ROMS);
    if (!fs::is_directory(dir / "gba-tests")) GTEST_SKIP() << "no real ROMs at " << dir;
    for (const auto& rom : testing::sharedRealRoms(dir)) expectJudged(rom.path, rom.memory, rom.bytes);
}

// Damaged and hostile images end in a judgement, never a crash or a wrong memory: an
// empty file, a header alone, the entry branch into nowhere, a branch to itself, and
// code that jumps through registers nobody set.
TEST(GameNeeds, ImagesWithoutFollowableCode) {
    const std::vector<std::vector<std::uint8_t>> images = {
        {},
        std::vector<std::uint8_t>(0xC0, 0),
        {0xFE, 0xFF, 0xFF, 0xEA},                      // b . (a branch to itself)
        {0x00, 0x00, 0x00, 0xEA},                      // b 0x08000008: past the end
        {0x13, 0xFF, 0x2F, 0xE1, 0, 0, 0, 0},         // bx r3, r3 not known
        {0xFF, 0xFF, 0xFF, 0xFF},                      // undefined
    };
    for (const auto& image : images) {
        const GameNeeds needs = judgeGameCode(image);
        EXPECT_TRUE(needs.outcome == SaveMemory::Unknown || needs.outcome == SaveMemory::None)
            << describe(needs);
    }
    // A jump not followed leaves save code it cannot place undecided.
    std::vector<std::uint8_t> hidden(0x400, 0);
    const std::uint8_t jump[] = {0x13, 0xFF, 0x2F, 0xE1};           // bx r3
    const std::uint8_t save[] = {0x0E, 0x04, 0xA0, 0xE3,            // mov r0, #0x0E000000
                                 0x01, 0x10, 0xA0, 0xE3,            // mov r1, #1
                                 0x00, 0x10, 0xC0, 0xE5};           // strb r1, [r0]
    std::copy(std::begin(jump), std::end(jump), hidden.begin());
    std::copy(std::begin(save), std::end(save), hidden.begin() + 0x200);
    const GameNeeds needs = judgeGameCode(hidden);
    EXPECT_EQ(needs.outcome, SaveMemory::Unknown) << describe(needs);
}

// Code that reaches the save memory through memory the analysis does not follow is
// never judged to need none: a save address the code stores to RAM (a driver's field),
// or one that lies in the ROM as data no PC-relative load reads (an initialised
// variable's first value, a table). Loaded as a literal and only read, it is no use.
TEST(GameNeeds, ASaveAddressKeptInMemoryOrDataIsNeverNone) {
    const auto image = [](std::initializer_list<std::uint32_t> words) {
        std::vector<std::uint8_t> bytes = armWords(words);
        bytes.resize(0x400, 0);
        return bytes;
    };
    const auto withWordAt = [](std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t word) {
        const auto put = armWords({word});
        std::copy(put.begin(), put.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    const std::uint32_t stop = 0xEAFFFFFE;  // b .
    const struct {
        const char* what;
        std::vector<std::uint8_t> rom;
        SaveMemory outcome;
    } cases[] = {
        {"stored to RAM", image({0xE3A0040E, 0xE3A01403, 0xE5810000, stop}),  // mov r0, #0x0E000000; mov r1, #0x03000000; str r0, [r1]
         SaveMemory::Unknown},
        {"EEPROM address stored", image({0xE3A0040D, 0xE3A01403, 0xE5810000, stop}), SaveMemory::Unknown},
        {"stored to the save area itself", image({0xE3A0040E, 0xE5C00000, stop}), SaveMemory::Sram},  // strb r0, [r0]
        {"read only", withWordAt(image({0xE59F02F8, 0xE5D01000, stop}), 0x300, 0x0E000000),  // ldr r0, [pc, #0x2F8]; ldrb r1, [r0]
         SaveMemory::None},
        {"as data", withWordAt(image({stop}), 0x300, 0x0E005555), SaveMemory::Unknown},
        {"as data, EEPROM", withWordAt(image({stop}), 0x300, 0x0DFFFF00), SaveMemory::Unknown},
        {"another word as data", withWordAt(image({stop}), 0x300, 0x0E001234), SaveMemory::None},
        {"nothing", image({stop}), SaveMemory::None},
    };
    for (const auto& c : cases) {
        const GameNeeds needs = judgeGameCode(c.rom);
        EXPECT_EQ(needs.outcome, c.outcome) << c.what << ": " << describe(needs);
    }
}

// A Flash command routine called with 0x90 decides 64 KiB only where all the code was
// followed: past a jump not followed, a caller may send the bank switch.
TEST(GameNeeds, FlashCommandRoutineBehindAGap) {
    auto image = [](std::uint32_t third) {
        return armWords({
            0xE3A00090, 0xEB000005, third,  // mov r0, #0x90; bl 0x08000020; (third)
            0, 0, 0, 0, 0,
            0xE59F1028, 0xE59F2028,         // ldr r1, =0x0E005555; ldr r2, =0x0E002AAA
            0xE3A030AA, 0xE5C13000,         // mov r3, #0xAA; strb r3, [r1]
            0xE3A03055, 0xE5C23000,         // mov r3, #0x55; strb r3, [r2]
            0xE5C10000, 0xE12FFF1E,         // strb r0, [r1]; bx lr
            0, 0, 0, 0, 0x0E005555, 0x0E002AAA,
        });
    };
    const GameNeeds followed = judgeGameCode(image(0xEAFFFFFE));  // b .
    EXPECT_EQ(followed.outcome, SaveMemory::Flash) << describe(followed);
    EXPECT_EQ(followed.bytes, 65536u);
    const GameNeeds gap = judgeGameCode(image(0xE12FFF13));       // bx r3, r3 not known
    EXPECT_EQ(gap.outcome, SaveMemory::Unknown) << describe(gap);
}

// Save code that is never reached is still reported, wherever it builds its address:
// loads from literals at the far ends of their reach (ARM 4092 bytes on and 4088 back,
// Thumb 1020 on), across 4 KiB boundaries, and addresses built without a literal.
TEST(GameNeeds, SaveCodeNotReachedIsFoundAtEveryReach) {
    struct Piece {
        std::uint32_t at;
        std::vector<std::uint8_t> bytes;
    };
    auto thumb = [](std::initializer_list<std::uint16_t> halves) {
        std::vector<std::uint8_t> out;
        for (const std::uint16_t h : halves) {
            out.push_back(static_cast<std::uint8_t>(h));
            out.push_back(static_cast<std::uint8_t>(h >> 8));
        }
        return out;
    };
    const std::vector<std::uint8_t> sram = armWords({0x0E000000});
    const struct {
        const char* name;
        std::vector<Piece> pieces;
    } cases[] = {
        // ldr r0, [pc, #4092]; mov r1, #1; strb r1, [r0]: the literal two blocks on
        {"ARM, literal 4092 on", {{0x1FFC, armWords({0xE59F0FFC, 0xE3A01001, 0xE5C01000})}, {0x3000, sram}}},
        // ldr r0, [pc, #-4088], the literal a block back
        {"ARM, literal 4088 back", {{0x2FF8, armWords({0xE51F0FF8, 0xE3A01001, 0xE5C01000})}, {0x2008, sram}}},
        // ldr r0, [pc, #1020]; movs r1, #1; strb r1, [r0]
        {"Thumb, literal 1020 on", {{0x1FFE, thumb({0x48FF, 0x2101, 0x7001})}, {0x23FC, sram}}},
        // movs r0, #0x0E; lsls r0, r0, #24; movs r1, #1; strb r1, [r0]: no literal at all
        {"Thumb, address built", {{0x2FFC, thumb({0x200E, 0x0600, 0x2101, 0x7001})}}},
        // movs r3, #0x07; lsls r3, r3, #25 (0x0E000000 too); movs r1, #1; strb r1, [r3]
        {"Thumb, shifted by 25", {{0x1FFE, thumb({0x2307, 0x065B, 0x2101, 0x7019})}}},
        // mov r2, #0x0E000000 (0x38 rotated by 10); mov r1, #1; strb r1, [r2]
        {"ARM, address built", {{0x2FF8, armWords({0xE3A02538, 0xE3A01001, 0xE5C21000})}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> image(0x4000, 0);
        const auto branchToItself = armWords({0xEAFFFFFE});
        std::copy(branchToItself.begin(), branchToItself.end(), image.begin());
        for (const Piece& piece : c.pieces) {
            std::copy(piece.bytes.begin(), piece.bytes.end(), image.begin() + piece.at);
        }
        const GameNeeds needs = judgeGameCode(image);
        bool found = false;
        for (const NeedEvidence& item : needs.evidence) {
            found = found || (item.sureness == Sureness::Unreached && item.memory == SaveMemory::Sram);
        }
        EXPECT_TRUE(found) << describe(needs);
    }
}

// The prescan made part by part as a file is read finds what one pass over the whole
// ROM finds, whatever the parts' sizes and the vector width: places split across parts
// (a "_V" string, a literal word, a MOVS and its shift) included.
TEST(GameNeeds, PrescanInPartsFindsWhatOnePassFinds) {
    std::vector<std::uint8_t> rom(0x30007);
    std::uint32_t seed = 7;
    for (auto& byte : rom) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    const auto put = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), rom.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(0x0FFE, {'S', 'R', 'A', 'M', '_', 'V', '1', '1', '3'});        // across 0x1000
    put(0x1FFB, {'F', 'L', 'A', 'S', 'H', '1', 'M', '_', 'V', '1'});   // "_V" across 0x2000
    put(0x2FFC, {0x00, 0x00, 0x00, 0x0E});                             // a literal at a block's end
    put(0x3FFE, {0x0E, 0x20, 0x00, 0x06});                             // movs r0, #0x0E | lsls r0, r0, #24
    put(0x30000, {0x00, 0x00, 0x00, 0x0D});                            // the last whole word
    limitVectorWidth(16);
    CodePrescan whole;
    whole.finish(rom);
    // Each vector width the processor has finds what the narrowest finds.
    for (const std::size_t width : {16, 32, 64}) {
        if (limitVectorWidth(width) != width) {
            continue;
        }
        for (const std::size_t part : {std::size_t{1}, std::size_t{7}, std::size_t{4093}, std::size_t{0x1000}, rom.size()}) {
            SCOPED_TRACE(::testing::Message() << "width " << width << ", parts of " << part);
            CodePrescan parts;
            for (std::size_t read = part; read < rom.size(); read += part) {
                parts.advance(std::span<const std::uint8_t>(rom).first(read));
            }
            parts.finish(rom);
            EXPECT_EQ(parts.literalBlocks(), whole.literalBlocks());
            EXPECT_EQ(parts.builtAddresses(), whole.builtAddresses());
            EXPECT_EQ(parts.firstStrings(), whole.firstStrings());
            EXPECT_EQ(describe(judgeGameCode(rom, parts)), describe(judgeGameCode(rom)));
        }
    }
    limitVectorWidth(64);
    // What the one pass must find, stated from the bytes put there.
    const auto& literals = whole.literalBlocks();
    ASSERT_EQ(literals.size(), (rom.size() >> 12) + 1);
    EXPECT_TRUE(literals[2]);
    EXPECT_TRUE(literals[0x30]);
    EXPECT_TRUE(std::binary_search(whole.builtAddresses().begin(), whole.builtAddresses().end(), 0x3FF8u));
    EXPECT_EQ(whole.firstStrings()[1], 0x0FFEu);  // SRAM_V
    EXPECT_EQ(whole.firstStrings()[5], 0x1FFBu);  // FLASH1M_V
}

}  // namespace
}  // namespace tagwright
