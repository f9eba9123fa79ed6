// End-to-end runs of the built program in command-line mode that need more than a
// golden case can state (golden_test.cpp): file-size limits, links and permissions.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/expected_text.hpp"
#include "support/program_test.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::patternBytes;
using testing::readFile;
using testing::writeFile;

using testing::kCredits;

// Every case here is POSIX's (file-size limits, symbolic links, mode bits, /dev/null):
// on Windows each skips before its folder and in.gba are made.
class CommandLine : public testing::ProgramInFolder {
  protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "file-size limits, symbolic links, mode bits and /dev/null are POSIX";
#endif
        ProgramInFolder::SetUp();
    }
    std::vector<std::uint8_t> output(const std::string& name) { return readFile(dir.file(name)); }
};

TEST_F(CommandLine, FileSizeLimitNeverCostsTheInput) {
    // 600 bytes: the image itself does not fit; 1020: it does, its padding does not.
    for (const auto& [limit, message] : {std::pair{600ul, "Problem writing file\n"},
                                         std::pair{1020ul, "Problem padding file\n"}}) {
        testing::RunOptions options;
        options.fileSizeLimit = limit;
        const auto result = run({"in.gba", "-s6", "-p", "-oin.gba"}, options);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, message + kCredits);
        EXPECT_EQ(output("in.gba"), input);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
        // A new name is never created half-way either.
        EXPECT_EQ(run({"in.gba", "-p", "-oout.gba"}, options).exitStatus, 1);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
    }
}

TEST_F(CommandLine, LinksAndPermissionsOfTheTargetSurvive) {
    writeFile(dir.file("target.gba"), patternBytes(10));
    std::filesystem::permissions(dir.file("target.gba"), std::filesystem::perms(0640));
    std::filesystem::create_symlink("target.gba", dir.file("link.gba"));
    ASSERT_EQ(run({"in.gba", "-oplain.gba"}).exitStatus, 0);
    ASSERT_EQ(run({"in.gba", "-olink.gba"}).exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.gba")));
    EXPECT_EQ(output("target.gba"), output("plain.gba"));
    std::filesystem::remove(dir.file("plain.gba"));
    EXPECT_EQ(std::filesystem::status(dir.file("target.gba")).permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "link.gba", "target.gba"}));

    ASSERT_EQ(run({"in.gba", "-p", "-o/dev/null"}).exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace tagwright
