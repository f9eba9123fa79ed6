// What the game needs, as the built program says it and acts on it: --info first, the
// JSON needs object, --fix, and the warning after a save. Expected values come from what
// each program does (support/small_programs.hpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/known_roms.hpp"
#include "support/run_program.hpp"
#include "support/small_programs.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::readFile;
using testing::RunResult;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

bool holds(const Bytes& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The save tags, as save_type.hpp's table gives them.
const std::string kSram(std::string("SRAM_V113\0\0\0", 12));
const std::string kEeprom8k(std::string("EEPROM_V124\0", 12));

class Needs : public ::testing::Test {
  protected:
    TempDir dir;
    RunResult run(const std::vector<std::string>& arguments) {
        testing::RunOptions options;
        options.workingDirectory = dir.folder();
        return testing::runProgram(testing::tagwrightPath(), arguments, options);
    }
    // The programs, and the shared ROMs that are present, under short names.
    std::vector<std::string> files() {
        writeFile(dir.file("sram.gba"), testing::sramProgram());
        writeFile(dir.file("eeprom.gba"), testing::eeprom8kProgram());
        writeFile(dir.file("two.gba"), testing::twoMemoriesProgram());
        return {"sram.gba", "eeprom.gba", "two.gba"};
    }
    void SetUp() override {
        writeFile(dir.file("sram.gba"), testing::sramProgram());
        const RunResult probe = run({"--info", "--json", "sram.gba"});
        if (has(probe.out, R"("outcome":"unknown")") && has(probe.out, "not in this build")) {
            GTEST_SKIP() << "this build judges no code and runs no trial";
        }
    }
};

struct Truth {
    const char* file;
    const char* headline;  // what the second line of --info says, after "  needs    "
    const char* json;      // the start of the needs object
    const char* fixTag;    // the tag --fix writes, or nothing
    int fixStatus;
};

const Truth kTruths[] = {
    {"sram.gba", "uses: SRAM", R"("needs":{"outcome":"sram",)", kSram.c_str(), 0},
    {"eeprom.gba", "uses: EEPROM, 8 KiB", R"("needs":{"outcome":"eeprom","bytes":8192,)",
     kEeprom8k.c_str(), 0},
    {"two.gba", "The game's save memory: not known",
     R"("needs":{"outcome":"unknown","bytes":null,"by":null,"type":null,)", nullptr, 1},
};

const Truth* truthOf(const std::string& name) {
    for (const Truth& t : kTruths) {
        if (name == t.file) return &t;
    }
    return nullptr;
}

TEST_F(Needs, InfoSaysWhatTheGameNeedsFirstAndJudgesTheVerdictByIt) {
    for (const std::string& name : files()) {
        SCOPED_TRACE(name);
        const Truth& truth = *truthOf(name);
        const RunResult text = run({"--info", name});
        const std::size_t second = text.out.find('\n') + 1;
        EXPECT_EQ(text.out.substr(second, 11), "  needs    ");
        EXPECT_TRUE(has(text.out.substr(second, text.out.find('\n', second) - second),
                        truth.headline))
            << text.out;
        const RunResult json = run({"--info", "--json", name});
        EXPECT_TRUE(has(json.out, truth.json)) << json.out;
    }
    // No string asks for EEPROM, but the game needs it: the verdict and the command are
    // about EEPROM (type 2, its 8 KiB tag), not about the strings' silence.
    const RunResult eeprom = run({"--info", "--json", "eeprom.gba"});
    EXPECT_TRUE(has(eeprom.out, R"("needed":{"type":2,"text":"EEPROM"})")) << eeprom.out;
    EXPECT_TRUE(has(eeprom.out, R"("command":"tagwright eeprom.gba -)")) << eeprom.out;
    const RunResult text = run({"--info", "eeprom.gba"});
    EXPECT_TRUE(has(text.out, "give EEPROM")) << text.out;
    EXPECT_TRUE(has(text.out, "  command  tagwright eeprom.gba -")) << text.out;
    EXPECT_FALSE(has(text.out, "no save-library string asks")) << text.out;
}

TEST_F(Needs, FixWritesTheTypeTheGameNeedsOrLeavesTheRomAsItIs) {
    for (const std::string& name : files()) {
        SCOPED_TRACE(name);
        const Truth& truth = *truthOf(name);
        const Bytes before = readFile(dir.file(name));
        const RunResult result = run({name, "--fix", "-ofixed.gba"});
        EXPECT_EQ(result.exitStatus, truth.fixStatus) << result.err;
        EXPECT_TRUE(has(result.err, "tagwright: " + name + ": ")) << result.err;
        EXPECT_EQ(readFile(dir.file(name)), before);
        if (truth.fixTag == nullptr) {
            EXPECT_TRUE(has(result.err, ": left as it is: ")) << result.err;
            EXPECT_FALSE(std::filesystem::exists(dir.path() / "fixed.gba"));
            continue;
        }
        EXPECT_TRUE(has(result.err, ", written to fixed.gba")) << result.err;
        const Bytes fixed = readFile(dir.file("fixed.gba"));
        EXPECT_TRUE(holds(fixed, std::string(truth.fixTag, 12)));
        // The header repaired: 0x96 at 0xB2, and the complement makes the sum come right.
        ASSERT_GE(fixed.size(), 0xC0u);
        EXPECT_EQ(fixed[0xB2], 0x96);
        unsigned sum = 0x19;
        for (std::size_t i = 0xA0; i <= 0xBD; ++i) sum += fixed[i];
        EXPECT_EQ(sum & 0xFF, 0u);
        std::filesystem::remove(dir.path() / "fixed.gba");
    }
    // In place, every ROM: each its own line, the worst status for the run.
    const RunResult many = run({"--in-place", "--fix", "sram.gba", "two.gba"});
    EXPECT_EQ(many.exitStatus, 1);
    EXPECT_TRUE(has(many.err, "tagwright: sram.gba: ")) << many.err;
    EXPECT_TRUE(has(many.err, "tagwright: two.gba: left as it is: ")) << many.err;
    EXPECT_TRUE(holds(readFile(dir.file("sram.gba")), kSram));
    EXPECT_EQ(readFile(dir.file("two.gba")), testing::twoMemoriesProgram());
    // -s and -e are --fix's to choose.
    const RunResult both = run({"eeprom.gba", "--fix", "-s6"});
    EXPECT_EQ(both.exitStatus, 2);
    EXPECT_TRUE(has(both.err, "tagwright: -s6: passed over: --fix writes")) << both.err;
    EXPECT_TRUE(holds(readFile(dir.file("rompatched.gba")), kEeprom8k));
}

// Every test program (its truth in truth.tsv, from its source) and every shared real ROM
// (its truth from its own source), through the built program: --info --json says the
// memory and size, --fix writes the tag the GBA's save memories call for (or leaves a
// ROM that needs none), and a save asking for another memory is warned about.
TEST_F(Needs, EveryProgramAndRealRomFromInfoToFix) {
    std::vector<testing::KnownRom> roms = testing::testPrograms(TAGWRIGHT_GBA_PROGRAMS);
    ASSERT_GE(roms.size(), 16u);
    const char* given = std::getenv("TAGWRIGHT_REAL_ROMS");
    for (const testing::KnownRom& rom : testing::sharedRealRoms(given ? given : TAGWRIGHT_REAL_ROMS)) {
        if (std::filesystem::exists(rom.path)) {
            roms.push_back(rom);
        }
    }
    // The tag for each memory and size: EEPROM_V120 and V121 drive 512 bytes, V122 and
    // V124 8 KiB; FLASH_V and FLASH512_V 64 KiB, FLASH1M_V 128 KiB.
    auto tagFor = [](const std::string& memory, const std::string& bytes) -> std::string {
        if (memory == "sram") return kSram;
        if (memory == "eeprom") return bytes == "512" ? std::string("EEPROM_V120\0", 12) : kEeprom8k;
        if (memory == "flash") return bytes == "65536" ? std::string("FLASH_V123\0\0", 12) : "FLASH1M_V103";
        return {};
    };
    for (const testing::KnownRom& rom : roms) {
        const std::string name = rom.path.filename().string();
        SCOPED_TRACE(name);
        writeFile(dir.file(name), readFile(rom.path.string()));
        const RunResult json = run({"--info", "--json", name});
        EXPECT_TRUE(has(json.out, R"("needs":{"outcome":")" + rom.memory + R"(","bytes":)" +
                                      (rom.bytes.empty() ? "null" : rom.bytes) + ","))
            << json.out;

        const RunResult fix = run({name, "--fix", "-ofixed.gba"});
        const std::filesystem::path fixed = dir.path() / "fixed.gba";
        if (rom.memory == "none") {
            EXPECT_EQ(fix.exitStatus, 0) << fix.err;
            EXPECT_TRUE(has(fix.err, ": left as it is: ")) << fix.err;
            EXPECT_FALSE(std::filesystem::exists(fixed));
        } else if (name.rfind("flash128_", 0) == 0) {
            // Their title, "FLASH128...", lies at an aligned offset, where VBA-M and the
            // readers that share its rule take plain FLASH for 64 KiB before any tag:
            // no command can make every reader give 128 KiB, and the ROM is left.
            EXPECT_EQ(fix.exitStatus, 1) << fix.err;
            EXPECT_TRUE(has(fix.err, ": left as it is: ")) << fix.err;
        } else {
            EXPECT_EQ(fix.exitStatus, 0) << fix.err;
            EXPECT_TRUE(holds(readFile(fixed.string()), tagFor(rom.memory, rom.bytes))) << fix.err;
        }
        std::filesystem::remove(fixed);

        // Another memory asked: the warning names the one the code uses.
        const RunResult asked = run({name, rom.memory == "sram" ? "-s2" : "-s6", "-oasked.gba"});
        const std::string warned = "but the game's code uses ";
        EXPECT_EQ(has(asked.err, warned), rom.memory != "none") << asked.err;
        if (rom.memory != "none") {
            const std::string word = rom.memory == "sram" ? "SRAM" : rom.memory == "flash" ? "Flash" : "EEPROM";
            EXPECT_TRUE(has(asked.err, warned + word)) << asked.err;
        }
    }
}

}  // namespace
}  // namespace tagwright
