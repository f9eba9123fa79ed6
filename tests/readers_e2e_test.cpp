// The built program's view of emulators: --info reports and the warnings after saves.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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

// A ROM with a header the console starts: title MYGAME, game code ZTGP (in no reader's
// table and under no letter rule), and the complement check worked out here from its
// definition; filler 0x11.
Bytes romWith(const std::vector<std::pair<std::size_t, std::string>>& strings,
              std::size_t size = 0x4000, const char* code = "ZTGP") {
    Bytes rom(size, 0x11);
    const auto defaults = CartridgeHeader().toBytes();
    std::copy(defaults.begin(), defaults.end(), rom.begin());
    std::memcpy(rom.data() + 0xA0, "MYGAME", 6);
    std::memcpy(rom.data() + 0xAC, code, 4);
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

// A report without its "needs" block (the game's need has tests of its own, with
// programs whose need is known: needs_e2e_test.cpp), which must stand right under the
// file's first line.
std::string withoutNeeds(const std::string& report) {
    std::string kept;
    std::string previous;
    bool inNeeds = false;
    for (std::size_t from = 0, end; (end = report.find('\n', from)) != std::string::npos;
         from = end + 1) {
        const std::string line = report.substr(from, end + 1 - from);
        if (line.rfind("  needs    ", 0) == 0) {
            EXPECT_TRUE(previous.size() > 1 && previous[0] != ' ') << report;  // the file's line
            inNeeds = true;
        } else if (!inNeeds || line.rfind("           ", 0) != 0) {
            inNeeds = false;
            kept += line;
        }
        previous = line;
    }
    return kept;
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

    // Every reader's outcome as readers.md gives it for one aligned, zero-padded SRAM tag
    // in a ROM whose code no table lists.
    const auto good = run({"--info", "good.gba"});
    EXPECT_EQ(good.exitStatus, 0);
    EXPECT_EQ(good.err, "");
    const std::string goodReport =
        "good.gba  16384 bytes (power of two)\n"
        "  header   \"MYGAME\" ZTGP 01 v0   logo ok  0xB2 ok  complement 0x6B ok\n"
        "  strings  SRAM_V113 at 0x800 (aligned)\n"
        "  readers  SRAM 32 KiB: VBA-M, VBA-M libretro, NanoBoyAdvance, SkyEmu, ares,\n"
        "             gpSP, Mesen2, Hades, NooDS, RustBoyAdvance-ng, GBA.js, Delta,\n"
        "             GBA.emu, DeSmuME slot 2, open_agb_firm, GBARunner2, GBARunner3,\n"
        "             TWiLight Menu++ Slot-2\n"
        "           decided at run time: mGBA (it reads no strings; the game decides at\n"
        "             run time)\n"
        "           decided at run time, Flash 64 KiB: IodineGBA, Meteor, MiSTer,\n"
        "             Analogue Pocket (the game decides at run time), VBA-GX (it reads no\n"
        "             strings; the game decides at run time)\n"
        "           SRAM 64 KiB: EZ-Flash Omega (it reads no strings; unlisted games get\n"
        "             64 KiB)\n"
        "  verdict  ok: every reader that reads strings gives SRAM\n";
    EXPECT_EQ(withoutNeeds(good.out), goodReport);

    const auto both = run({"--info", "broken.gba", "good.gba"});
    EXPECT_EQ(both.exitStatus, 1);
    // Unaligned, so the step-4 readers miss it; 0xB2 wrong, so GBA.js refuses it. No
    // command helps: an appended FLASH1M_V103 is seen by IodineGBA only with 4 bytes
    // after it, which padding fills with 0xFF where the DS loaders need zeros, and the
    // filler leaves no empty space.
    EXPECT_EQ(withoutNeeds(both.out),
        "broken.gba  16384 bytes (power of two)\n"
        "  header   \"MYGAME\" ZTGP 01 v0   logo ok  0xB2 is 0x00 BAD (should be 0x96)  complement 0x6B BAD (should be 0x01)\n"
        "  strings  FLASH1M_V103 at 0x801 (not aligned)\n"
        "  readers  no save memory: VBA-M, Delta, GBA.emu, DeSmuME slot 2 (it finds no\n"
        "             string it reads), TWiLight Menu++ Slot-2 (it needs the save string\n"
        "             followed by a zero byte, at a multiple of 4)\n"
        "           Flash 128 KiB: VBA-M libretro, SkyEmu, ares, gpSP, Mesen2, Hades,\n"
        "             RustBoyAdvance-ng\n"
        "           SRAM 32 KiB: NanoBoyAdvance, open_agb_firm (it finds no string it\n"
        "             reads), GBARunner3 (it needs the save string followed by zero\n"
        "             bytes, at a multiple of 4)\n"
        "           decided at run time: mGBA (it reads no strings; the game decides at\n"
        "             run time)\n"
        "           EEPROM: NooDS (it finds no string it reads)\n"
        "           refuses the file: GBA.js (it refuses a header without 0x96 at 0xB2)\n"
        "           decided at run time, Flash 64 KiB: IodineGBA (the game decides at run\n"
        "             time), VBA-GX (it reads no strings; the game decides at run time)\n"
        "           decided at run time, Flash 128 KiB: Meteor, MiSTer, Analogue Pocket\n"
        "           SRAM 64 KiB: GBARunner2 (it needs the save string followed by zero\n"
        "             bytes, at a multiple of 4), EZ-Flash Omega (it reads no strings;\n"
        "             unlisted games get 64 KiB)\n"
        "  verdict  short: the console would not start it (header); 11 readers do not\n"
        "           give Flash 128 KiB: VBA-M, NanoBoyAdvance, NooDS, GBA.js, IodineGBA,\n"
        "           Delta, GBA.emu, open_agb_firm, GBARunner2, GBARunner3, TWiLight\n"
        "           Menu++ Slot-2\n"
        "  command  none makes every reader that reads strings give Flash 128 KiB\n"
        "\n" +
            goodReport);

    // An unreadable file is named, reported in the usual words, and wins the status.
    const auto missing = run({"--info", "good.gba", "missing.gba", "broken.gba"});
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_NE(missing.out.find("\n\nmissing.gba\n  There was a problem opening the file you "
                               "specified!\n\nbroken.gba  16384 bytes"),
              std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"broken.gba", "good.gba"}));
}

TEST_F(Readers, InfoAsJsonLinesForScripts) {
    writeFile(dir.file("good.gba"), romWith({{0x800, std::string("SRAM_V113\0\0\0", 12)}}));
#ifdef _WIN32
    // Windows names hold no control bytes, quotes, backslashes or bytes that are not UTF-8.
    const std::string odd = "odd.gba";
    const std::string name = R"({"file":"odd.gba","size":)";
    const std::string quoted = "odd.gba";
#else
    const std::string odd = "a\x1B\xFF\\\".gba";  // a control byte, not UTF-8, JSON's own
    // The name as valid JSON, and its bytes in hex because it is not UTF-8.
    const std::string name = R"({"file":"a\u001b\ufffd\\\".gba","file_hex":"611bff5c222e676261",)";
    const std::string quoted = R"('a\u001b\ufffd\\\".gba')";
#endif
    writeFile(dir.file(odd), romWith({{0x800, std::string("SRAM_V113\0\0\0", 12)}}, 0x4000,
                                     "AXVE"));
    const auto result = run({"--json", "--info", "good.gba", odd, "missing.gba"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.err, "");
    const auto lines = [&] {
        std::vector<std::string> split;
        for (std::size_t from = 0, end; (end = result.out.find('\n', from)) != std::string::npos;
             from = end + 1) {
            split.push_back(result.out.substr(from, end - from));
        }
        return split;
    }();
    ASSERT_EQ(lines.size(), 3u) << result.out;
    EXPECT_EQ(lines[0].substr(0, 40), R"({"file":"good.gba","size":16384,"header")");
    EXPECT_NE(lines[0].find(R"("strings":[{"offset":2048,"text":"SRAM_V113","aligned":true}])"),
              std::string::npos);
    EXPECT_NE(lines[0].find(R"({"id":"open-agb-firm","name":"open_agb_firm","outcome":"sram",)"
                            R"("bytes":32768,"decided_by":"string","fallback":false,)"
                            R"("reads_strings":true,"tag_can_change":true,"reason":""})"),
              std::string::npos);
    const std::string verdict =
        R"("verdict":{"ok":true,"asked":[{"type":6,"text":"SRAM"}],"needed":null,"disagreeing":[],)"
        R"("commands":[],"rename":null}})";
    EXPECT_EQ(lines[0].substr(lines[0].size() - verdict.size()), verdict);
    EXPECT_EQ(lines[1].substr(0, name.size()), name);
    // A code three emulators' tables give Flash 128 KiB, whatever the tag.
    EXPECT_NE(lines[1].find(R"("disagreeing":["vbam-libretro","nba","gpsp","hades","gbaemu"],)"
                            R"("commands":[{"type":6,"options":"-s6 -cZTGP","command":)"
                            R"("tagwright )" + quoted + R"( -s6 -cZTGP",)"
                            R"("needs_text_header":false}],"rename":null}})"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[2],
              R"({"file":"missing.gba","error":"There was a problem opening the file you specified!"})");
}

// Hades opens only names ending in .gba or .bin in lower case: a suggestion works when
// followed, with --in-place too, only if it says to rename the file.
TEST_F(Readers, ANameAReaderRefusesIsToBeRenamed) {
    const Bytes good = romWith({{0x800, std::string("SRAM_V113\0\0\0", 12)}});
    writeFile(dir.file("SHOUT.GBA"), good);
    const auto info = run({"--info", "SHOUT.GBA"});
    EXPECT_EQ(info.exitStatus, 1);
    EXPECT_NE(info.out.find("  verdict  short: Hades does not give SRAM; rename it SHOUT.gba, "
                            "which is all it\n           needs\n"),
              std::string::npos)
        << info.out;
    EXPECT_EQ(info.out.find("command"), std::string::npos) << info.out;
    const auto json = run({"--info", "--json", "SHOUT.GBA"});
    EXPECT_NE(json.out.find(R"("commands":[],"rename":"SHOUT.gba"}})"), std::string::npos);

    const auto inPlace = run({"--in-place", "-s6", "-p", "SHOUT.GBA"});
    EXPECT_NE(inPlace.err.find("; renaming it SHOUT.gba avoids this\n"), std::string::npos)
        << inPlace.err;
    // Renamed as said, every reader agrees.
    std::filesystem::rename(testing::pathOf(dir.file("SHOUT.GBA")),
                            testing::pathOf(dir.file("SHOUT.gba")));
    EXPECT_EQ(run({"--info", "SHOUT.gba"}).exitStatus, 0);
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
    // Without --info, --json is no long option: it keeps its single-letter meaning.
    const auto alone = run({"good.gba", "--json"});
    EXPECT_EQ(alone.exitStatus, 2);
    EXPECT_EQ(alone.out.substr(0, 23), "Invalid option: --json\n");
}

TEST_F(Readers, SavesWarnExactlyWhenAReaderWillNotGiveTheTypeAsked) {
    // 16 zero bytes at 0x100: room for one embedded tag, followed by zeros.
    writeFile(dir.file("clean.gba"), romWith({{0x100, std::string(16, '\0')}}, 1000));
    writeFile(dir.file("full.gba"), romWith({}, 1000));
    writeFile(dir.file("text.gba"), romWith({{0x200, "EEPROM ERROR"}}, 1000));
    // Remedies are tried whatever the size: each costs no pass over the image.
    writeFile(dir.file("big.gba"), romWith({}, (16 << 20) + 4));
    const std::string differ = "warning: rompatched.gba: SRAM asked, but some readers differ: ";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"clean.gba", "-s6"}, 0, differ +
             "no save memory: ares (it skips strings in a file's last 16 bytes); -s6 -p or -e6 "
             "avoids this\n"},
        {{"clean.gba", "-s6", "-p"}, 0, ""},
        {{"clean.gba", "-e3"}, 0, ""},
        {{"clean.gba", "-s6", "-e3"}, 0, ""},  // the appended tag is not written in place
        {{"clean.gba", "-e1", "-s6", "-p"}, 0, "warning: rompatched.gba: it already holds EEPROM_V120 at 0x100; SRAM asked, but "
         "some readers differ: EEPROM: VBA-M libretro, NanoBoyAdvance, gpSP, NooDS, "
         "RustBoyAdvance-ng (it settles strings of several types its own way), GBA.js; no "
         "save memory: SkyEmu (strings of two types make it give no save memory); EEPROM 8 "
         "KiB: Hades (it settles strings of several types its own way), GBARunner2, "
         "GBARunner3, TWiLight Menu++ Slot-2; EEPROM 512 B: open_agb_firm; -s6 --replace or "
         "-s6 -p --replace avoids this\n"},
        {{"clean.gba", "-s6", "-p", "-oout.bin"}, 0, "warning: out.bin: SRAM asked, but some readers differ: refuses the file: SkyEmu (it "
         "opens only names ending in .gba); renaming it out.gba avoids this\n"},
        {{"clean.gba", "-p"}, 0, ""},  // no type asked, nothing judged
        {{"full.gba", "-e6"}, 1, differ +
             "no save memory: VBA-M, VBA-M libretro, SkyEmu, ares, Hades, RustBoyAdvance-ng, "
             "Delta, GBA.emu (it finds no string it reads), TWiLight Menu++ Slot-2 (it needs the "
             "save string followed by a zero byte, at a multiple of 4); EEPROM: NooDS (it finds "
             "no string it reads); -s6 -p avoids this\ntagwright: -e6 found no room for the save "
             "tag inside the ROM; -s6 appends it instead\n"},
        {{"clean.gba", "-s6", "-p", "-cAXVE"}, 0, differ +
             "Flash 128 KiB: VBA-M libretro, NanoBoyAdvance, Hades, GBA.emu (its list of games "
             "decides for code AXVE), gpSP (it gives Flash 128 KiB to what it takes for a Pokemon "
             "hack); -s6 -p -cZTGP or -e6 -cZTGP avoids this\n"},
        {{"big.gba", "-s6"}, 0,
         differ + "no save memory: ares (it skips strings in a file's last 16 bytes); -s6 -p "
                  "avoids this\n"},
        {{"text.gba", "-s6", "-p", "--replace"}, 0, "warning: rompatched.gba: plain text EEPROM at 0x200 is read as a save string; SRAM "
         "asked, but some readers differ: EEPROM: RustBoyAdvance-ng (it settles strings of "
         "several types its own way); no tagwright command avoids this\n"},
    };
    for (const Case& c : cases) {
        const auto result = run(c.arguments);
        const std::string shown = c.arguments[0] + " " + c.arguments[1] + " " + c.arguments.back();
        EXPECT_EQ(result.exitStatus, c.status) << shown;
        EXPECT_EQ(result.err, c.err) << shown;
    }
}

}  // namespace
}  // namespace tagwright
