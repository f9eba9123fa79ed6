// The built program's view of emulators: --info reports and the warnings after saves.
#include <gtest/gtest.h>

#include <cstring>

#include "image/cartridge_header.hpp"
#include "support/expected_text.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::readFile;
using testing::RunResult;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTablesNote =
    "\nBuilt-in tables of retail game codes, which some emulators apply first, are not taken "
    "into account.\n";

// A 16 KiB ROM with a header the console starts: title MYGAME, game code BMGE, and the
// complement check worked out here from its definition.
Bytes romWith(const std::vector<std::pair<std::size_t, std::string>>& strings,
              std::size_t size = 0x4000) {
    Bytes rom(size, 0x11);
    const auto defaults = CartridgeHeader().toBytes();
    std::copy(defaults.begin(), defaults.end(), rom.begin());
    std::memcpy(rom.data() + 0xA0, "MYGAME", 6);
    std::memcpy(rom.data() + 0xAC, "BMGE", 4);
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += rom[i];
    }
    rom[0xBD] = static_cast<std::uint8_t>(0xE7 - sum);
    for (const auto& [offset, text] : strings) {
        std::memcpy(rom.data() + offset, text.data(), text.size());
    }
    return rom;
}

class Readers : public ::testing::Test {
  protected:
    TempDir dir;
    RunResult run(const std::vector<std::string>& arguments) {
        testing::RunOptions options;
        options.workingDirectory = dir.folder();
        return testing::runProgram(testing::tagwrightPath(), arguments, options);
    }
};

TEST_F(Readers, InfoReportsEveryFileAndSaysWhoReadsWhat) {
    writeFile(dir.file("good.gba"), romWith({{0x800, std::string("SRAM_V113\0\0\0", 12)}}));
    Bytes broken = romWith({{0x801, "FLASH1M_V103"}});
    broken[0xB2] = 0;
    writeFile(dir.file("broken.gba"), broken);

    const auto good = run({"--info", "good.gba"});
    EXPECT_EQ(good.exitStatus, 0);
    EXPECT_EQ(good.err, "");
    EXPECT_EQ(
        good.out,
        std::string("good.gba  16384 bytes (power of two)\n"
                    "  header   \"MYGAME\" BMGE 01 v0   logo ok  0xB2 ok  complement 0x95 ok\n"
                    "  strings  SRAM_V113 at 0x800 (aligned)\n"
                    "  VBA-M           SRAM 32 KiB\n"
                    "  VBA-M libretro  SRAM 32 KiB\n"
                    "  NanoBoyAdvance  SRAM 32 KiB\n"
                    "  SkyEmu          SRAM 32 KiB\n"
                    "  ares            SRAM 32 KiB\n"
                    "  mGBA            decided at run time (reads no strings)\n"
                    "  verdict  ok: every emulator that reads strings gives SRAM 32 KiB\n") +
            kTablesNote);

    const auto both = run({"--info", "broken.gba", "good.gba"});
    EXPECT_EQ(both.exitStatus, 1);
    EXPECT_NE(both.out.find("  header   \"MYGAME\" BMGE 01 v0   logo ok  0xB2 is 0x00 BAD (should "
                            "be 0x96)  complement 0x95 BAD (should be 0x2B)\n"
                            "  strings  FLASH1M_V103 at 0x801 (not aligned)\n"
                            "  VBA-M           no save memory (it reads only strings at a multiple "
                            "of 4)\n"),
              std::string::npos)
        << both.out;
    EXPECT_NE(both.out.find("  NanoBoyAdvance  SRAM 32 KiB by default (it reads only strings at a "
                            "multiple of 4)\n"),
              std::string::npos);
    EXPECT_NE(both.out.find("  verdict  short: the console would not start it (header); the "
                            "emulators that read strings disagree: no save memory (VBA-M), Flash "
                            "128 KiB (VBA-M libretro, SkyEmu, ares), SRAM 32 KiB by default "
                            "(NanoBoyAdvance)\n\ngood.gba  16384 bytes"),
              std::string::npos)
        << both.out;

    // An unreadable file is named, reported in the usual words, and wins the status.
    const auto missing = run({"--info", "good.gba", "missing.gba", "broken.gba"});
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_NE(missing.out.find("\n\nmissing.gba\n  There was a problem opening the file you "
                               "specified!\n\nbroken.gba  16384 bytes"),
              std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"broken.gba", "good.gba"}));
}

TEST_F(Readers, InfoWithoutFilesAndWithOptions) {
    writeFile(dir.file("good.gba"), romWith({{0x800, std::string("SRAM_V113\0\0\0", 12)}}));
    const auto none = run({"--info"});
    EXPECT_EQ(none.exitStatus, 255);
    EXPECT_EQ(none.out, "Filename needed!\n");
    const auto options = run({"-s6", "--info", "good.gba", "-p"});
    EXPECT_EQ(options.exitStatus, 0);
    EXPECT_EQ(options.err,
              "tagwright: --info takes file names only; ignored: -s6\n"
              "tagwright: --info takes file names only; ignored: -p\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"good.gba"});
}

TEST_F(Readers, SavesWarnExactlyWhenAReaderWillNotSeeTheTag) {
    writeFile(dir.file("clean.gba"), romWith({{0x100, std::string(16, '\0')}}, 1000));
    struct Case {
        std::vector<std::string> arguments;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {{"clean.gba", "-s6"},
         "warning: rompatched.gba: ares gives no save memory (it skips a file's last 16 bytes); "
         "padding (-p) or empty space patching (-e6) avoids this\n"},
        {{"clean.gba", "-s6", "-p"}, ""},
        {{"clean.gba", "-e3"}, ""},
        {{"clean.gba", "-s6", "-e3"}, ""},  // the appended tag is not written in place
        {{"clean.gba", "-e1", "-s6", "-p"},
         "warning: rompatched.gba already holds EEPROM_V120 at 0x100: VBA-M libretro gives "
         "EEPROM (strings of more than one type), NanoBoyAdvance EEPROM, SkyEmu no save memory; "
         "tag it with the type already there, or remove the other string\n"},
        {{"clean.gba", "-s6", "-p", "-oout.bin"},
         "warning: out.bin: SkyEmu refuses the file (the name does not end in .gba); a name "
         "ending in .gba avoids this\n"},
        {{"clean.gba", "-p"}, ""},  // no tag written, nothing judged
    };
    for (const Case& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitStatus, 0) << c.arguments[1];
        EXPECT_EQ(result.err, c.warning) << c.arguments[1] << " " << c.arguments.back();
        EXPECT_EQ(result.out.substr(result.out.size() - testing::kCredits.size()),
                  testing::kCredits);
    }
}

}  // namespace
}  // namespace tagwright
