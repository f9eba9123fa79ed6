// End-to-end sessions of the interactive mode: the built program started without
// arguments, a scripted standard input, the whole standard output and the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/cartridge_header.hpp"
#include "support/expected_text.hpp"
#include "support/program_test.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using namespace testing;  // NOLINT: the helpers of this test suite
using Bytes = std::vector<std::uint8_t>;

std::string menuText(const std::string& title, const std::vector<std::string>& items) {
    const std::string rule(title.size() + 2, '-');
    std::string text = std::string(title.size() + 2, '#') + "\n#" + title + "#\n" + rule + "\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += "# " + std::to_string(i + 1) + " - " + items[i] + "\n";
    }
    return text + rule + "\nEnter Selection:\n";
}

const std::vector<std::string> kSaveItems = {
    "EEPROM 64kb - patches 64 kilobits of EEPROM.",
    "EEPROM 128kb - patches 128 kilobits of EEPROM.",
    "Flash 1Mb - patches 1024 kilobits of Flash.",
    "Flash 512kb - patches 512 kilobits of Flash.",
    "SRAM 256kb - patches 256 kilobits of SRAM.",
    "SRAM 512kb - patches 512 kilobits of SRAM.",
    "Back to Main Menu.",
};
const std::string kSaveMenu =
    menuText("Save Patching Menu -HINT: Most homebrew uses SRAM512kb.", kSaveItems);
const std::string kEmptySpaceMenu =
    menuText("Save Empty Space Patching Menu -HINT: Most homebrew uses SRAM512kb.", kSaveItems);
const std::string kUtilsMenu =
    menuText("Other Utils Menu",
             {"Pad to next exact power of 2. No minimum size!",
              "Set title. Stripped filename if none given.", "Set game code (four characters).",
              "Set maker code (two characters).", "Set game version (number)",
              "Continue with patching/fixing.", "Back to Main Menu."});
const std::string kSaveAs = "Enter a name to save the patched rom:\n";
const std::string kStart = kBanner + kMainMenu;
const std::string kQuit = kMainMenu + kCredits;

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// The fixture's header text is not UTF-8, which RustBoyAdvance-ng refuses; a tag that
// ends the file is invisible to ares, and a FLASH1M_V103 there to IodineGBA's Flash size.
const std::string kHeaderText =
    "refuses the file: RustBoyAdvance-ng (it refuses a header whose title or codes are not "
    "UTF-8 text)";
const std::string kLastBytes =
    "no save memory: ares (it skips strings in a file's last 16 bytes); " + kHeaderText;
const std::string kOnceText =
    " avoids this once the title, game code and maker code are UTF-8 text (-t, -c, -m)\n";
const std::string kSramAtTheEnd =
    "SRAM asked, but some readers differ: " + kLastBytes + "; -s6 -p or -e6" + kOnceText;
const std::string kFlashAtTheEnd =
    "Flash 128 KiB asked, but some readers differ: " + kLastBytes +
    "; decided at run time, Flash 64 KiB: IodineGBA (the game decides at run time); -e3" +
    kOnceText;

class Interactive : public ProgramInFolder {
  protected:
    void SetUp() override {
        std::fill(input.begin() + 600, input.begin() + 700, 0);  // room at 600
        ProgramInFolder::SetUp();
    }
    RunResult session(const std::string& typed, const std::string& expectedErr = "") {
        RunOptions options;
        options.input = typed;
        auto result = run({}, options);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, expectedErr);
        return result;
    }
    Bytes file(const std::string& name) { return readFile(dir.file(name)); }
    std::string text(const std::string& name, std::size_t offset, std::size_t count) {
        const Bytes bytes = file(name);
        return std::string(bytes.begin(), bytes.end()).substr(offset, count);
    }
};

TEST_F(Interactive, QuitAboutHelpAndNumbersWithoutAction) {
    EXPECT_EQ(session("6\n").out, kStart + kCredits);
    EXPECT_EQ(session("4\n6\n").out, kStart + kBanner + kCredits + kQuit);
    const auto help = session("3\n0\n7\n-1\nword\n6\n").out;
    EXPECT_EQ(help.substr(0, kStart.size() + 6), kStart + "HELP.\n");
    const auto end = help.find("END OF HELP.\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(std::count(help.begin(), help.begin() + static_cast<std::ptrdiff_t>(end), '\n'),
              std::count(kStart.begin(), kStart.end(), '\n') + 39);
    EXPECT_EQ(help.substr(end + 13), repeat(kMainMenu, 4) + kQuit);
}

TEST_F(Interactive, SavePatchScreenSavesSeveralFilesInOneVisit) {
    const auto result = session("1\nin.gba\n3\nflash.gba\n9\n6\nsram.gba\n7\n6\n",
                                "warning: flash.gba: " + kFlashAtTheEnd + "warning: sram.gba: " + kSramAtTheEnd);
    EXPECT_EQ(result.out, kStart + kFilenamePrompt + kSaveMenu + kSaveAs + kSaveMenu + kSaveMenu +
                              kSaveAs + kSaveMenu + kQuit);
    const Bytes flash = file("flash.gba"), sram = file("sram.gba");
    ASSERT_EQ(flash.size(), 1012u);
    ASSERT_EQ(sram.size(), 1012u);
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 1000, sram.begin()));
    EXPECT_EQ(text("flash.gba", 1000, 12), "FLASH1M_V103");
    EXPECT_EQ(text("sram.gba", 1000, 12), std::string("SRAM_V113\0\0\0", 12));
    EXPECT_EQ(Bytes(flash.begin() + 192, flash.begin() + 1000),
              Bytes(input.begin() + 192, input.end()));
    EXPECT_EQ(file("in.gba"), input);
}

TEST_F(Interactive, EmptySpaceScreenEmbedsAtOnePlace) {
    const std::string onlyHeader = "but some readers differ: " + kHeaderText +
                                   "; a title, game code and maker code of UTF-8 text (-t, -c, "
                                   "-m) avoid this\n";
    const auto result = session("2\nin.gba\n1\na.gba\n6\nb.gba\n7\n6\n",
                                "warning: a.gba: EEPROM asked, " + onlyHeader +
                                    "warning: b.gba: SRAM asked, " + onlyHeader);
    EXPECT_EQ(result.out, kStart + kFilenamePrompt + std::string(611, '.') + kFoundSpace +
                              kEmptySpaceMenu + kSaveAs + kEmptySpaceMenu + kSaveAs +
                              kEmptySpaceMenu + kQuit);
    EXPECT_EQ(file("a.gba").size(), 1000u);
    EXPECT_EQ(text("a.gba", 600, 12), std::string("EEPROM_V120\0", 12));
    EXPECT_EQ(text("b.gba", 600, 12), std::string("SRAM_V113\0\0\0", 12));
}

TEST_F(Interactive, ScreensThatCannotWorkGoBackToTheMainMenu) {
    writeFile(dir.file("full.gba"), patternBytes(300));
    EXPECT_EQ(session("2\nfull.gba\n6\n").out,
              kStart + kFilenamePrompt + std::string(300, '.') + kNoSpace + kQuit);

    // Sparse: its last byte written after a seek (resize_file takes a 32-bit size on
    // Windows).
    std::ofstream huge(testing::pathOf(dir.file("huge.gba")), std::ios::binary);
    huge.seekp(static_cast<std::streamoff>((1ull << 31) - 1));
    huge.put('\0');
    huge.close();
    EXPECT_EQ(session("5\nhuge.gba\n6\n").out,
              kStart + kFilenamePrompt + "The ROM file is too large (2 GiB or more).\n" + kQuit);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"full.gba", "huge.gba", "in.gba"}));
}

// An archive is refused by every screen that loads a ROM, on standard error; one too
// short for its tag to outlive the header is saved without one, and says so.
TEST_F(Interactive, ArchivesAreRefusedAndTinyRomsTakeNoTag) {
    Bytes zip = patternBytes(300);
    std::copy_n("PK\x03\x04", 4, zip.begin());
    writeFile(dir.file("game.zip"), zip);
    for (const char* screen : {"1", "2", "5"}) {
        SCOPED_TRACE(screen);
        EXPECT_EQ(session(std::string(screen) + "\ngame.zip\n6\n",
                          "tagwright: game.zip: a ZIP archive, not a ROM: unzip it first\n")
                      .out,
                  kStart + kFilenamePrompt + kQuit);
    }
    writeFile(dir.file("tiny.gba"), patternBytes(188));
    session("1\ntiny.gba\n6\nout.gba\n7\n6\n",
            "tagwright: no save tag written: the ROM is shorter than its 192-byte header, which "
            "covers it\n");
    EXPECT_EQ(file("out.gba").size(), 200u);  // the header, then the empty rest of the tag area
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"game.zip", "in.gba", "out.gba", "tiny.gba"}));
}

TEST_F(Interactive, OtherUtilsEditsAccumulateAndPaddingAppliesToLaterSaves) {
    const auto result = session(
        "5\nin.gba\n2\nABCDEFGHIJKLMNO\n3\nGAME\n4\nXY\n5\n300\n6\na.gba\n"
        "3\nOTHR\n1\n1\n6\nb.gba\n5\nabc\n6\nc.gba\n5\n-1\n6\nd.gba\n7\n6\n");
    EXPECT_EQ(result.out, kStart + kFilenamePrompt + kUtilsMenu + "Enter a title fo the ROM:\n" +
                              kUtilsMenu + "Enter the (4 character) game code:\n" + kUtilsMenu +
                              "Enter the (2 character) maker code:\n" + kUtilsMenu +
                              "Enter a version No. \n" + kUtilsMenu + kSaveAs + kUtilsMenu +
                              "Enter the (4 character) game code:\n" + kUtilsMenu +
                              "Padding active.\n" + kUtilsMenu + "Padding active.\n" + kUtilsMenu +
                              kSaveAs + kUtilsMenu + "Enter a version No. \n" + kUtilsMenu +
                              kSaveAs + kUtilsMenu + "Enter a version No. \n" + kUtilsMenu +
                              kSaveAs + kUtilsMenu + kQuit);
    EXPECT_EQ(file("a.gba").size(), 1000u);
    EXPECT_EQ(text("a.gba", 0xA0, 18), "ABCDEFGHIJKLGAMEXY");
    EXPECT_EQ(file("a.gba")[0xBC], 44);
    EXPECT_EQ(file("b.gba").size(), 1024u);
    EXPECT_EQ(text("b.gba", 0xA0, 18), "ABCDEFGHIJKLOTHRXY");
    EXPECT_EQ(file("c.gba")[0xBC], 44);  // a word keeps the number read before
    EXPECT_EQ(file("d.gba")[0xBC], 255);
    // a and b differ only in the game code and the check (and b's padding).
    const Bytes a = file("a.gba"), b = file("b.gba");
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i < 0xAC || (i > 0xAF && i != 0xBD)) {
            EXPECT_EQ(a[i], b[i]) << i;
        }
    }
}

TEST_F(Interactive, OtherUtilsKeepsTheLoadedTitleAndWritesNothingUntilAsked) {
    Bytes titled = input;
    const std::string title = "MYTITLE";
    std::copy(title.begin(), title.end(), titled.begin() + 0xA0);
    writeFile(dir.file("titled.gba"), titled);
    session("5\ntitled.gba\n6\nsaved.gba\n2\nNEWTITLE\n3\nCODE\n5\n9\n7\n6\n");
    EXPECT_EQ(text("saved.gba", 0xA0, 7), "MYTITLE");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "saved.gba", "titled.gba"}));
}

TEST_F(Interactive, FailedSaveIsReportedAndTheScreenCarriesOn) {
    const auto result =
        session("1\nin.gba\n6\nno/such/out.gba\n6\nin.gba\n7\n6\n", "warning: in.gba: " + kSramAtTheEnd);
    EXPECT_EQ(result.out, kStart + kFilenamePrompt + kSaveMenu + kSaveAs +
                              "Problem creating file to write\n" + kSaveMenu + kSaveAs + kSaveMenu +
                              kQuit);
    EXPECT_EQ(file("in.gba").size(), 1012u);  // its own name replaces the input
    EXPECT_EQ(text("in.gba", 1000, 12), std::string("SRAM_V113\0\0\0", 12));
}

TEST_F(Interactive, EndOfInputAtEveryKindOfPromptEndsQuietly) {
    struct Case {
        const char* typed;
        std::string shown;
    };
    const Case cases[] = {
        {"", kStart + kCredits},
        {"1\nmissing.gba\n", kStart + kFilenamePrompt +
                                 "There was a problem opening the file you specified!\n"
                                 "Please check your spelling and try again!\n" +
                                 kFilenamePrompt + kQuit},
        {"1\nin.gba\n", kStart + kFilenamePrompt + kSaveMenu + kQuit},
        {"1\nin.gba\n6\n", kStart + kFilenamePrompt + kSaveMenu + kSaveAs + kQuit},
        {"2\nin.gba\n6\n", kStart + kFilenamePrompt + std::string(611, '.') + kFoundSpace +
                               kEmptySpaceMenu + kSaveAs + kQuit},
        {"5\nin.gba\n2\n",
         kStart + kFilenamePrompt + kUtilsMenu + "Enter a title fo the ROM:\n" + kQuit},
        {"5\nin.gba\n5\n",
         kStart + kFilenamePrompt + kUtilsMenu + "Enter a version No. \n" + kQuit},
        {"5\nin.gba\n1\n6\n", kStart + kFilenamePrompt + kUtilsMenu + "Padding active.\n" +
                                  kUtilsMenu + kSaveAs + kQuit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(session(c.typed).out, c.shown);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
        EXPECT_EQ(file("in.gba"), input);
    }
}

}  // namespace
}  // namespace tagwright
