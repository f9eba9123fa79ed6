// The built program in failing and hostile surroundings: nothing may be lost, no
// temporary file may remain, and the program must always come to an end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/expected_text.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using namespace testing;  // NOLINT: the helpers of this test suite
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class HostileEnvironment : public ::testing::Test {
  protected:
    TempDir dir;
    Bytes input = patternBytes(1000);

    void SetUp() override { writeFile(dir.file("in.gba"), input); }
    RunResult run(const std::vector<std::string>& arguments, RunOptions options = {}) {
        options.workingDirectory = dir.path().string();
        auto result = runProgram(tagwrightPath(), arguments, options);
        EXPECT_FALSE(result.timedOut);
        return result;
    }
};

TEST_F(HostileEnvironment, ReadOnlyFolderKeepsWhatItHolds) {
    fs::create_directory(dir.file("ro"));
    writeFile(dir.file("ro/old.gba"), patternBytes(50));
    fs::permissions(dir.file("ro"), fs::perms(0555));
    RunOptions options;
    options.runAsUser = unprivilegedUserIfRoot();
    for (const std::string target : {"-oro/new.gba", "-oro/old.gba"}) {
        const auto result = run({"in.gba", "-s6", "-p", target}, options);
        EXPECT_EQ(result.exitStatus, 1) << target;
        EXPECT_EQ(result.out, "Problem creating file to write\n" + kCredits) << target;
    }
    fs::permissions(dir.file("ro"), fs::perms(0755));
    EXPECT_EQ(readFile(dir.file("ro/old.gba")), patternBytes(50));
    EXPECT_EQ(fs::directory_iterator(dir.file("ro"))->path().filename(), "old.gba");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("ro")), fs::directory_iterator()), 1);
}

TEST_F(HostileEnvironment, UnreadableInputIsReported) {
    fs::permissions(dir.file("in.gba"), fs::perms::none);
    RunOptions options;
    options.runAsUser = unprivilegedUserIfRoot();
    const auto result = run({"in.gba", "-oout.gba"}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "There was a problem opening the file you specified!\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
}

TEST_F(HostileEnvironment, FifoIsWrittenDirectlyAndCannotBePadded) {
    const std::string fifo = dir.file("pipe.gba");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const bool pad : {false, true}) {
        Bytes received;
        std::thread reader([&] {
            std::ifstream in(fifo, std::ios::binary);
            received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        });
        std::vector<std::string> arguments = {"in.gba", "-s6", "-opipe.gba"};
        if (pad) {
            arguments.push_back("-p");
        }
        const auto result = run(arguments);
        // Release the reader should the program never have opened the FIFO.
        const int unblock = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (unblock >= 0) {
            close(unblock);
        }
        reader.join();
        EXPECT_EQ(received.size(), 1012u);
        EXPECT_EQ(std::string(received.begin() + 1000, received.end()), "SRAM_V113   ");
        EXPECT_EQ(result.exitStatus, pad ? 1 : 0);
        EXPECT_EQ(result.out, (pad ? "Problem padding file\n" : "") + kCredits);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "pipe.gba"}));
}

TEST_F(HostileEnvironment, TinyAndExactSizedInputs) {
    for (const std::size_t size : {0u, 1u, 191u, 192u, 193u, 256u, 4096u}) {
        SCOPED_TRACE(size);
        Bytes rom = patternBytes(size);
        writeFile(dir.file("rom.gba"), rom);
        ASSERT_EQ(run({"rom.gba", "-oplain.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-s6", "-otagged.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-s6", "-p", "-opadded.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-e6", "-oembedded.gba"}).exitStatus, 0);
        const std::size_t header = 192;
        EXPECT_EQ(fs::file_size(dir.file("plain.gba")), std::max(size, header));
        EXPECT_EQ(fs::file_size(dir.file("tagged.gba")), std::max(size + 12, header));
        EXPECT_EQ(fs::file_size(dir.file("padded.gba")),
                  std::bit_ceil(std::max(size + 12, header)));
        EXPECT_EQ(fs::file_size(dir.file("embedded.gba")), std::max(size, header));
        EXPECT_EQ(readFile(dir.file("rom.gba")), rom);
    }
}

TEST_F(HostileEnvironment, NamesWithSpacesAndNonAsciiBytes) {
    const std::string in = "my rom \xC3\xA9\xFF.gba", out = "out put \x01\xFE.gba";
    writeFile(dir.file(in), input);
    const auto result = run({in, "-s6", "-o" + out});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(fs::file_size(dir.file(out)), 1012u);
}

TEST_F(HostileEnvironment, ClosedStandardInputQuits) {
    RunOptions options;
    options.closeStdin = true;
    const auto result = run({}, options);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, kBanner + kMainMenu + kCredits);
}

TEST_F(HostileEnvironment, ClosedOrBrokenStandardOutputEndsTheSession) {
    std::string endless;
    for (int i = 0; i < 200000; ++i) {
        endless += i % 2 ? "1\n" : "in.gba\n";
    }
    RunOptions closed;
    closed.closeStdout = true;
    closed.input = endless;
    EXPECT_EQ(run({}, closed).exitStatus, 0);

    RunOptions broken;
    broken.breakStdout = true;
    broken.input = endless;
    EXPECT_EQ(run({}, broken).signal, SIGPIPE);
    broken.ignoreSigpipe = true;
    EXPECT_EQ(run({}, broken).exitStatus, 0);

    // The command line still writes its file; the dots simply go nowhere.
    EXPECT_EQ(run({"in.gba", "-e6", "-oout.gba"}, broken).exitStatus, 0);
    EXPECT_EQ(fs::file_size(dir.file("out.gba")), 1000u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "out.gba"}));
}

}  // namespace
}  // namespace tagwright
