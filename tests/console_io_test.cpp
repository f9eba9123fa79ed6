#include "console/console_io.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "console/banner_box.hpp"
#include "console/rom_file_prompt.hpp"
#include "console/terminal_text.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

TEST(ConsoleIo, OverlongWordsAreCutAndTheirRestDropped) {
    std::istringstream in(std::string(kMaxWordLength, 'a') + "bbbb next\n" +
                          std::string(kMaxWordLength + 1, 'c'));
    std::ostringstream out;
    std::string word;
    ASSERT_TRUE(readWord(word, in, out));
    EXPECT_EQ(word, std::string(kMaxWordLength, 'a'));
    ASSERT_TRUE(readWord(word, in, out));
    EXPECT_EQ(word, "next");
    ASSERT_TRUE(readWord(word, in, out));  // a word that ends the input
    EXPECT_EQ(word, std::string(kMaxWordLength, 'c'));
    EXPECT_TRUE(endOfInput(in));
}

TEST(ConsoleIo, ReadsWordsAndNumbersFromOneTokenStream) {
    std::istringstream in("  first second\n+12 -7x word 5\n9");
    std::ostringstream out;
    std::string word;
    std::int32_t number = 42;
    ASSERT_TRUE(readWord(word, in, out));
    EXPECT_EQ(word, "first");
    ASSERT_TRUE(readWord(word, in, out));
    EXPECT_EQ(word, "second");
    ASSERT_TRUE(readInteger(number, in, out));
    EXPECT_EQ(number, 12);
    ASSERT_TRUE(readInteger(number, in, out));
    EXPECT_EQ(number, -7);
    ASSERT_TRUE(readWord(word, in, out));  // the letter the number left behind
    EXPECT_EQ(word, "x");
    EXPECT_FALSE(readInteger(number, in, out));  // a word: the rest of the line goes too
    EXPECT_EQ(number, -7);
    EXPECT_FALSE(endOfInput(in));
    ASSERT_TRUE(readInteger(number, in, out));
    EXPECT_EQ(number, 9);
    EXPECT_FALSE(readInteger(number, in, out));  // end of input
    EXPECT_TRUE(endOfInput(in));
    EXPECT_FALSE(readWord(word, in, out));
    EXPECT_EQ(word, "x");
    EXPECT_EQ(out.str(), "");
}

TEST(ConsoleIo, TooLargeNumberFailsAndTheNextLineIsRead) {
    std::istringstream in("2147483648 3\n2147483647\n-2147483648\n");
    std::ostringstream out;
    std::int32_t number = 1;
    EXPECT_FALSE(readInteger(number, in, out));
    EXPECT_EQ(number, 1);
    ASSERT_TRUE(readInteger(number, in, out));
    EXPECT_EQ(number, 2147483647);
    ASSERT_TRUE(readInteger(number, in, out));
    EXPECT_EQ(number, -2147483648);
}

TEST(BannerBox, VersionLineIsCentredWithTildes) {
    BannerBox banner;
    banner.setTitle("Varno Save Fix Patching Utility By Corvellanix");  // 46
    banner.setVersion("0.8");
    banner.setDescription("Description longer than the frame, printed whole on its own line.");
    std::ostringstream out;
    banner.print(out);
    const std::string even = out.str();
    EXPECT_EQ(even, std::string(48, '#') + "\n#Varno Save Fix Patching Utility By Corvellanix#\n#" +
                        std::string(17, '~') + "Version: 0.8" + std::string(17, '~') + "#\n#" +
                        std::string(46, '-') +
                        "#\nDescription longer than the frame, printed whole on its own line.\n\n");

    banner.setTitle(std::string(41, 'T'));  // odd: the version line is one short
    banner.setDescription("");
    std::ostringstream odd;
    banner.print(odd);
    EXPECT_EQ(odd.str(), std::string(43, '#') + "\n#" + std::string(41, 'T') + "#\n#" +
                             std::string(14, '~') + "Version: 0.8" + std::string(14, '~') + "#\n#" +
                             std::string(41, '-') + "#\n\n\n");

    banner.setTitle(std::string(13, 'T'));  // T - V - 9 = 1: no tildes
    std::ostringstream tight;
    banner.print(tight);
    EXPECT_NE(tight.str().find("\n#Version: 0.8#\n"), std::string::npos);
}

class RomFilePrompt : public ::testing::Test {
  protected:
    testing::TempDir dir;
    const std::string intro =
        "Please type name of GBA ROM file.\nNOTE:Please include the .GBA extension!\nFilename: ";
    const std::string problem =
        "There was a problem opening the file you specified!\n"
        "Please check your spelling and try again!\n";

    std::optional<std::string> prompt(const std::string& input, std::string& shown,
                                      std::string* rest = nullptr) {
        std::istringstream in(input);
        std::ostringstream out;
        auto name = promptRomFileName(in, out);
        shown = out.str();
        if (rest) {
            std::getline(in, *rest, '\0');
        }
        return name;
    }
};

TEST_F(RomFilePrompt, AsksUntilANameOpens) {
    testing::writeFile(dir.file("game.bin"), {1, 2, 3});
    std::filesystem::create_directory(dir.file("folder.gba"));
    std::string shown, rest;
    const auto name = prompt("\n\n" + dir.file("missing.gba") + " " + dir.file("folder.gba") +
                                 "\n" + dir.file("game.bin") + " trailing words\n",
                             shown, &rest);
    EXPECT_EQ(name, dir.file("game.bin"));  // no .GBA needed
    EXPECT_EQ(shown, intro + "\n" + problem + intro + "\n" + problem + intro + "\n");
    EXPECT_EQ(rest, " trailing words\n");
}

TEST_F(RomFilePrompt, GivesUpAtTheEndOfTheInput) {
    std::string shown;
    EXPECT_FALSE(prompt("nothing-here.gba\n", shown));
    EXPECT_EQ(shown, intro + "\n" + problem + intro + "\n");
}

}  // namespace
}  // namespace tagwright

namespace tagwright {
namespace {

TEST(TerminalText, ControlBytesAreEscapedAndTheRestKept) {
    const std::string raw = std::string("a\x1b]52;c;X\x07 b\nc\rd\te\x7f") + '\0' + "\x01\x1f" +
                            "\\ \xc3\xa9";
    EXPECT_EQ(terminalSafe(raw), "a\\e]52;c;X\\x07 b\\nc\\rd\\te\\x7F\\x00\\x01\\x1F\\ \xc3\xa9");
    EXPECT_EQ(terminalSafe("plain-name_1.gba"), "plain-name_1.gba");
}

// C1 controls: U+0080-U+009F in UTF-8 (C2 80..C2 9F), and the bytes 0x80-0x9F where
// they belong to no valid sequence; bytes of other sequences and other stray bytes stay.
TEST(TerminalText, C1ControlsAreEscapedAndTheRestOfUtf8Kept) {
    const struct {
        const char* raw;
        const char* shown;
    } cases[] = {
        {"a\xc2\x9b" "31mb", "a\\xC2\\x9B31mb"},                           // U+009B, a CSI
        {"\xc2\x80\xc2\x9f\xc2\xa0", "\\xC2\\x80\\xC2\\x9F\xc2\xa0"},          // U+00A0 is text
        {"x\x9b" "1m\x85\x80", "x\\x9B1m\\x85\\x80"},                        // bare bytes
        {"\xe2\x9b\x84\xf0\x9f\x8e\xae", "\xe2\x9b\x84\xf0\x9f\x8e\xae"},  // 9B, 9F inside
        {"\xe2\x9b", "\xe2\\x9B"},                                         // a cut sequence
        {"\xc0\x9b\xe9t\xe9", "\xc0\\x9B\xe9t\xe9"},  // overlong; Latin-1 text stays
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalSafe(c.raw), c.shown) << c.shown;
    }
}

}  // namespace
}  // namespace tagwright
