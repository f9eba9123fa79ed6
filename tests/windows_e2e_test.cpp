// What only Windows has: devices by name, files other programs hold open, and
// console line ends.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/expected_text.hpp"
#include "support/program_test.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using namespace testing;  // NOLINT: the helpers of this test suite
using Bytes = std::vector<std::uint8_t>;

class Windows : public ProgramInFolder {};

const std::string kShortUsageLine = "Usage: tagwright ROM [options]  (tagwright --help for more)\n";

TEST_F(Windows, DevicesAreWrittenDirectly) {
    for (const std::string device : {"NUL", "nul", "NUL.gba"}) {
        const auto result = run({"in.gba", "-s6", "-p", "-o" + device});
        EXPECT_EQ(result.exitStatus, 0) << device;
        EXPECT_EQ(result.out, kCredits) << device;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
}

TEST_F(Windows, AFileHeldOpenByAnotherProgramKeepsItsContent) {
    const Bytes old = patternBytes(50, 7);
    writeFile(dir.file("held.gba"), old);
    const std::wstring name = pathOf(dir.file("held.gba")).wstring();
    // As an emulator that has the ROM open: reading shared, writing and deleting not.
    const HANDLE held = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto result = run({"in.gba", "-s6", "-p", "-oheld.gba"});
    CloseHandle(held);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "Problem creating file to write\n" + kCredits);
    EXPECT_EQ(readFile(dir.file("held.gba")), old);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"held.gba", "in.gba"}));
    // Once it is closed, the same save goes through.
    EXPECT_EQ(run({"in.gba", "-s6", "-p", "-oheld.gba"}).exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("held.gba")).size(), 1024u);
}

TEST_F(Windows, ConsoleOutputHasWindowsLineEndsAndFilesDoNot) {
    const auto result = run({"in.gba", "-s6", "-p", "-oout.gba"});
    EXPECT_EQ(result.rawOut,
              "Thanks for using my utils!\r\nCorvellanix - corvellanix@example.org\r\n"
              "Halverd - https://halverd.example.org/\r\n\r\n");
    // A file of bytes 0x0A is written as it is, not as 0x0D 0x0A.
    writeFile(dir.file("lf.gba"), Bytes(1000, 0x0A));
    ASSERT_EQ(run({"lf.gba", "-oout.gba"}).exitStatus, 0);
    const Bytes out = readFile(dir.file("out.gba"));
    ASSERT_EQ(out.size(), 1000u);
    EXPECT_EQ(Bytes(out.begin() + 192, out.end()), Bytes(808, 0x0A));
}

// Windows drops the dots and spaces that end a name; what emulators see, and so what
// the warnings judge, is the name without them.
TEST_F(Windows, NamesAreJudgedAsWindowsStoresThem) {
    for (const std::string name : {"trail.gba.", "trail.gba . ."}) {
        const auto result = run({"in.gba", "-s6", "-p", "-o" + name});
        EXPECT_EQ(result.exitStatus, 0) << name;
        EXPECT_EQ(result.err.find("SkyEmu"), std::string::npos) << result.err;  // it takes .gba
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "trail.gba"}));
}

TEST_F(Windows, NoNameEndsWith255) {
    EXPECT_EQ(run({"-p"}).exitStatus, 255);
}

// A window of its own (forced here: the tests have none) waits for Enter on standard
// error and keeps the status; with redirected input it never waits (every other test).
TEST_F(Windows, OwnConsoleWindowWaitsForEnter) {
    SetEnvironmentVariableW(L"TAGWRIGHT_ASSUME_OWN_CONSOLE", L"1");
    RunOptions enter;
    enter.input = "\n";
    const auto tagged = run({"in.gba", "-s6", "-p"}, enter);
    const auto noName = run({"-p"});  // input ends at once: it stops waiting
    SetEnvironmentVariableW(L"TAGWRIGHT_ASSUME_OWN_CONSOLE", nullptr);
    EXPECT_EQ(tagged.exitStatus, 0);
    EXPECT_EQ(tagged.out, kCredits);
    const std::string prompt = "Press Enter to close this window.\n";
    EXPECT_TRUE(tagged.err.ends_with(prompt)) << tagged.err;  // after any save warning
    EXPECT_EQ(tagged.err.find(prompt), tagged.err.size() - prompt.size());
    EXPECT_EQ(noName.exitStatus, 255);
    EXPECT_EQ(noName.err, kShortUsageLine + prompt);
}

}  // namespace
}  // namespace tagwright
