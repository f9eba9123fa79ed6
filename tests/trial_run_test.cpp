// The trial run, judged by what each program does when it runs: small programs
// (support/small_programs.hpp, their assembly beside their words) and the shared real
// ROMs, whose sources say what they use. A run is a partial view: it must show the memory a program uses when
// the program uses it in its first 600 frames, a size only where the run shows one, and
// never a memory the program does not use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "needs/trial_run.hpp"
#include "support/small_programs.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kAfterStartAndA = testing::afterStartAndAProgram();
const Bytes kComputedJump = testing::computedJumpProgram();
const Bytes kTwoMemories = testing::twoMemoriesProgram();

std::filesystem::path realRoms() {
    const char* set = std::getenv("TAGWRIGHT_REAL_ROMS");
    return set != nullptr ? std::filesystem::path(set) : std::filesystem::path(TAGWRIGHT_REAL_ROMS);
}

Bytes readRom(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const NeedEvidence* firstDeciding(const std::vector<NeedEvidence>& evidence) {
    for (const NeedEvidence& item : evidence) {
        if (item.sureness == Sureness::Decides) return &item;
    }
    return nullptr;
}

class TrialRun : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trialRunAvailable()) GTEST_SKIP() << "this build has no trial run (no libmgba)";
    }
};

TEST_F(TrialRun, ShowsWhatEachProgramUsesAndNothingElse) {
    struct Case {
        const char* name;
        Bytes rom;
        SaveMemory uses;                     // None: the program uses no save memory
        std::optional<std::uint32_t> bytes;  // the true size, when the run can show it
        std::uint32_t notBefore;             // no use before this frame
    };
    std::vector<Case> cases = {
        {"after Start and A", kAfterStartAndA, SaveMemory::Sram, std::nullopt, 180 + 30},
        {"computed jump", kComputedJump, SaveMemory::Sram, std::nullopt, 0},
    };
    // The shared ROMs' sources: what each uses (README beside them). Flash sizes show
    // only with a bank switch, which the 128 KiB test reaches after steps mGBA's Flash
    // fails; so the run must show Flash and may leave the size open.
    const struct {
        const char* file;
        SaveMemory uses;
    } real[] = {{"save-sram.gba", SaveMemory::Sram},     {"unsafe-unsafe.gba", SaveMemory::Sram},
                {"save-flash64.gba", SaveMemory::Flash}, {"save-flash128.gba", SaveMemory::Flash},
                {"save-none.gba", SaveMemory::None}};
    for (const auto& r : real) {
        const auto path = realRoms() / "gba-tests" / r.file;
        if (std::filesystem::exists(path)) {
            cases.push_back({r.file, readRom(path), r.uses, std::nullopt, 0});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrialTrace trace = traceTrialRun(c.rom);
        ASSERT_TRUE(trace.ran);
        EXPECT_EQ(trace.frames, kTrialFrames);
        EXPECT_FALSE(trace.cutShort);
        const auto evidence = trialEvidence(trace);
        const NeedEvidence* decides = firstDeciding(evidence);
        if (c.uses == SaveMemory::None) {
            EXPECT_EQ(decides, nullptr);
            GameNeeds needs;
            weighTrial(needs, evidence);
            EXPECT_EQ(needs.outcome, SaveMemory::Unknown);  // a run proves no absence
            continue;
        }
        ASSERT_NE(decides, nullptr);
        EXPECT_EQ(decides->memory, c.uses);
        EXPECT_EQ(decides->source, NeedSource::Trial);
        if (decides->bytes) {
            EXPECT_EQ(decides->bytes, c.bytes);
        }
        ASSERT_TRUE(decides->frame.has_value());
        EXPECT_GE(*decides->frame, c.notBefore);
    }
}

TEST_F(TrialRun, DecidesWhereTheCodeCannotAndNeverSettlesTwoMemories) {
    const GameNeeds jump = judgeGameNeeds(kComputedJump, trialRunner());
    EXPECT_TRUE(jump.trialAvailable);
    EXPECT_EQ(jump.outcome, SaveMemory::Sram);
    if (judgeGameCode(kComputedJump).outcome == SaveMemory::Unknown) {
        EXPECT_TRUE(jump.trialRun);
        EXPECT_EQ(jump.by, NeedSource::Trial);
    }
    const GameNeeds two = judgeGameNeeds(kTwoMemories, trialRunner());
    EXPECT_EQ(two.outcome, SaveMemory::Unknown);

    // A run that disagrees with the code's own evidence in reached code does not decide.
    GameNeeds code;
    NeedEvidence flash;
    flash.memory = SaveMemory::Flash;
    flash.sureness = Sureness::Supports;
    code.evidence.push_back(flash);
    weighTrial(code, trialEvidence(traceTrialRun(kComputedJump)));
    EXPECT_EQ(code.outcome, SaveMemory::Unknown);
}

TEST_F(TrialRun, StopsWhenItsBudgetIsSpent) {
    const TrialTrace trace = traceTrialRun(kAfterStartAndA, kTrialFrames, 0.0);
    EXPECT_TRUE(trace.cutShort);
    EXPECT_LT(trace.frames, kTrialFrames);
    EXPECT_EQ(firstDeciding(trialEvidence(trace)), nullptr);
}

// Only a ROM whose first word is a jump is run: "b" (0xEA......) or "ldr pc, [pc, #n]".
TEST(TrialWeighing, OnlyARomThatStartsWithAJumpIsRun) {
    const struct {
        Bytes rom;
        bool runs;
    } cases[] = {{{0x2E, 0x00, 0x00, 0xEA}, true},  {{0x04, 0xF0, 0x9F, 0xE5}, true},
                 {{0x2E, 0x00, 0x00, 0xEB}, false}, {{0xFF, 0xFF, 0xFF, 0xFF}, false},
                 {{0x00, 0xF0, 0x9F, 0xE4}, false}, {{0x2E, 0x00, 0x00}, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(startsWithAJump(c.rom), c.runs);
        if (!c.runs && trialRunAvailable()) {
            EXPECT_FALSE(traceTrialRun(c.rom).ran);
        }
    }
}

// A run that shows no size takes the one size the rest agrees on, and only then: for
// Flash its strings (never code the analysis only swept: a Flash driver's size is its
// bank switch, which a run may not reach); for SRAM the code's own stores (reached or
// not) first, then its strings.
TEST(TrialWeighing, SizeFromWhatAgreesOnly) {
    const auto piece = [](NeedSource source, SaveMemory memory, std::uint32_t bytes) {
        NeedEvidence item;
        item.source = source;
        item.memory = memory;
        item.bytes = bytes;
        item.sureness = source == NeedSource::Code ? Sureness::Unreached : Sureness::Supports;
        return item;
    };
    constexpr auto kCode = NeedSource::Code;
    constexpr auto kString = NeedSource::String;
    constexpr auto kFlash = SaveMemory::Flash;
    constexpr auto kSram = SaveMemory::Sram;
    const struct {
        SaveMemory memory;
        std::vector<NeedEvidence> rest;
        std::optional<std::uint32_t> bytes;
    } cases[] = {
        {kFlash, {}, std::nullopt},
        {kFlash, {piece(kString, kFlash, 131072)}, 131072},
        {kFlash, {piece(kString, kFlash, 65536), piece(kString, kFlash, 65536)}, 65536},
        {kFlash, {piece(kString, kFlash, 65536), piece(kString, kFlash, 131072)}, std::nullopt},
        {kFlash, {piece(kCode, kFlash, 131072)}, std::nullopt},
        {kSram, {}, std::nullopt},
        {kSram, {piece(kCode, kSram, 65536), piece(kString, kSram, 32768)}, 65536},
        {kSram, {piece(kCode, kSram, 65536), piece(kCode, kSram, 32768), piece(kString, kSram, 32768)}, 32768},
        {kSram, {piece(kString, kSram, 32768), piece(kString, kFlash, 65536)}, 32768},
        {kSram, {piece(kCode, kFlash, 65536)}, std::nullopt},
    };
    for (const auto& c : cases) {
        NeedEvidence run;
        run.source = NeedSource::Trial;
        run.memory = c.memory;
        run.sureness = Sureness::Decides;
        GameNeeds needs;
        needs.evidence = c.rest;
        weighTrial(needs, {run});
        EXPECT_EQ(needs.outcome, c.memory);
        EXPECT_EQ(needs.bytes, c.bytes) << saveMemoryWord(c.memory) << " with " << c.rest.size() << " pieces";
        EXPECT_EQ(needs.by, NeedSource::Trial);
    }
}

}  // namespace
}  // namespace tagwright
