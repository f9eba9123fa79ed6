// The built program in failing and hostile surroundings: nothing may be lost, no
// temporary file may remain, and the program must always come to an end.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/expected_text.hpp"
#include "support/program_test.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using namespace testing;  // NOLINT: the helpers of this test suite
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class HostileEnvironment : public ProgramInFolder {
  protected:
    // Here the program must also always come to an end.
    RunResult run(const std::vector<std::string>& arguments, RunOptions options = {}) {
        auto result = ProgramInFolder::run(arguments, std::move(options));
        EXPECT_FALSE(result.timedOut);
        return result;
    }
};

// FIFOs, permissions, owners, descriptors, links and signals: POSIX only.
#ifdef _WIN32
TEST_F(HostileEnvironment, PosixOnlyCases) {
    GTEST_SKIP() << "FIFOs, modes, owners, /dev/fd, symbolic links, closed standard streams and "
                    "SIGPIPE are POSIX cases; Windows has its own tests of devices and sharing";
}
#else
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

TEST_F(HostileEnvironment, FifoIsWrittenDirectlyPaddingIncluded) {
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
        ASSERT_EQ(received.size(), pad ? 1024u : 1012u);
        EXPECT_EQ(std::string(received.begin() + 1000, received.begin() + 1012), std::string("SRAM_V113\0\0\0", 12));
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, kCredits);
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "pipe.gba"}));
}

TEST_F(HostileEnvironment, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    ASSERT_EQ(mkfifo(dir.file("fifo.gba").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir.file("zero.gba"));
    RunOptions quick;
    quick.timeoutSeconds = 10;
    for (const std::string name : {"fifo.gba", "zero.gba", "../../dev/null"}) {
        const auto result = run({name, "-s6"}, quick);
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_EQ(result.out, "There was a problem opening the file you specified!\n") << name;
    }
    // The menus ask again, as for a name that does not open.
    quick.input = "1 fifo.gba in.gba 7 6\n";
    const auto session = run({}, quick);
    EXPECT_EQ(session.exitStatus, 0);
    EXPECT_NE(session.out.find("Filename: \nThere was a problem opening the file you specified!\n"
                               "Please check your spelling and try again!\n"),
              std::string::npos);
    EXPECT_NE(session.out.find("#Save Patching Menu"), std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fifo.gba", "in.gba", "zero.gba"}));
}

TEST_F(HostileEnvironment, DescriptorNamesWriteToTheOpenDescriptor) {
    // Into a pipe: the bytes, then the credits, on the one standard output.
    const auto piped = run({"in.gba", "-s6", "-p", "-o/dev/stdout"});
    EXPECT_EQ(piped.exitStatus, 0);
    ASSERT_EQ(piped.out.size(), 1024 + kCredits.size());
    EXPECT_EQ(piped.out.substr(1000, 12), std::string("SRAM_V113\0\0\0", 12));
    EXPECT_EQ(piped.out.substr(1024), kCredits);

    // Into a file standard output appends to: what it held stays, the inode too.
    writeFile(dir.file("log.bin"), {'L', 'O', 'G', '\n'});
    struct stat before {};
    ASSERT_EQ(stat(dir.file("log.bin").c_str(), &before), 0);
    RunOptions appending;
    appending.stdoutAppendsTo = dir.file("log.bin");
    for (const std::string name : {"-o/dev/stdout", "-o/proc/self/fd/1", "-o/dev/fd/1"}) {
        EXPECT_EQ(run({"in.gba", "-s6", name}, appending).exitStatus, 0) << name;
    }
    const Bytes log = readFile(dir.file("log.bin"));
    ASSERT_EQ(log.size(), 4 + 3 * (1012 + kCredits.size()));
    EXPECT_EQ(std::string(log.begin(), log.begin() + 4), "LOG\n");
    struct stat after {};
    ASSERT_EQ(stat(dir.file("log.bin").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "log.bin"}));

    // A number with nothing open behind it.
    const auto closed = run({"in.gba", "-o/dev/fd/9"});
    EXPECT_EQ(closed.exitStatus, 1);
    EXPECT_EQ(closed.out, "Problem creating file to write\n" + kCredits);
}

TEST_F(HostileEnvironment, LinkLoopsAndOverlongChainsAreNotReplaced) {
    fs::create_symlink("b", dir.file("a"));
    fs::create_symlink("a", dir.file("b"));
    for (int i = 0; i < 41; ++i) {
        fs::create_symlink("chain" + std::to_string(i + 1), dir.file("chain" + std::to_string(i)));
    }
    writeFile(dir.file("chain41"), patternBytes(10));
    for (const std::string target : {"-oa", "-ochain0"}) {
        const auto result = run({"in.gba", "-s6", target});
        EXPECT_EQ(result.exitStatus, 1) << target;
        EXPECT_EQ(result.out, "Problem creating file to write\n" + kCredits) << target;
    }
    EXPECT_EQ(fs::read_symlink(dir.file("a")), "b");
    EXPECT_EQ(fs::read_symlink(dir.file("b")), "a");
    EXPECT_EQ(readFile(dir.file("chain41")), patternBytes(10));
    // Within the limit the chain is followed to its end.
    ASSERT_EQ(run({"in.gba", "-ochain1"}).exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("chain41")).size(), 1000u);
    EXPECT_TRUE(fs::is_symlink(dir.file("chain40")));
}

TEST_F(HostileEnvironment, ReplacedFilesKeepOwnerGroupAndMode) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another user";
    }
    const std::string name = dir.file("theirs.gba");
    writeFile(name, patternBytes(10));
    ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(name.c_str(), 0640), 0);
    ASSERT_EQ(run({"in.gba", "-s6", "-p", "-otheirs.gba"}).exitStatus, 0);
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_size, 1024);
}

#endif  // _WIN32

TEST_F(HostileEnvironment, TinyAndExactSizedInputs) {
    for (const std::size_t size : {0u, 1u, 191u, 192u, 193u, 256u, 4096u}) {
        SCOPED_TRACE(size);
        Bytes rom = patternBytes(size);
        writeFile(dir.file("rom.gba"), rom);
        ASSERT_EQ(run({"rom.gba", "-oplain.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-s6", "-otagged.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-s6", "-p", "-opadded.gba"}).exitStatus, 0);
        ASSERT_EQ(run({"rom.gba", "-e6", "-oembedded.gba"}).exitStatus, 1);  // no room
        const std::size_t header = 192;
        EXPECT_EQ(fs::file_size(dir.file("plain.gba")), std::max(size, header));
        const std::size_t aligned = (size + 3) / 4 * 4;  // the tag starts word-aligned
        EXPECT_EQ(fs::file_size(dir.file("tagged.gba")), std::max(aligned + 12, header));
        EXPECT_EQ(fs::file_size(dir.file("padded.gba")),
                  std::bit_ceil(std::max(aligned + 12, header)));
        EXPECT_EQ(fs::file_size(dir.file("embedded.gba")), std::max(size, header));
        EXPECT_EQ(readFile(dir.file("rom.gba")), rom);
    }
}

TEST_F(HostileEnvironment, UnicodeNamesInBothModes) {
    const std::string in = "\xE6\x97\xA5\xE6\x9C\xAC.gba";  // 日本.gba
    const std::string out = "b\xE2\x82\xAC \xC3\xA9.gba";   // b€ é.gba
    writeFile(dir.file(in), input);
    const auto result = run({in, "-s6", "-p", "-o" + out});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(readFile(dir.file(out)).size(), 1024u);
    RunOptions typed;
    typed.input = "1\n" + in + "\n6\n\xC3\xA9.gba\n7\n6\n";
    EXPECT_EQ(run({}, typed).exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("\xC3\xA9.gba")).size(), 1012u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{out, "in.gba", "\xC3\xA9.gba", in}));
}

#ifndef _WIN32
TEST_F(HostileEnvironment, NamesWithSpacesAndNonAsciiBytes) {
    const std::string in = "my rom \xC3\xA9\xFF.gba", out = "out put \x01\xFE.gba";
    writeFile(dir.file(in), input);
    const auto result = run({in, "-s6", "-o" + out});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(fs::file_size(dir.file(out)), 1012u);
}

// Control bytes in names and arguments must not reach a terminal: the reference here
// spells each escape out by hand.
TEST_F(HostileEnvironment, EchoedNamesAndArgumentsCannotActOnATerminal) {
    const std::string osc = "\x1B]52;c;AAAA\x07", fake = "\n  verdict  ok";
    writeFile(dir.file("x" + osc + fake + ".gba"), input);
    struct Case {
        std::vector<std::string> arguments;
        std::string outPart, errPart;
    };
    const std::vector<Case> cases = {
        {{"--info", "x" + osc + fake + ".gba", "-\x1B[2J"},
         "x\\e]52;c;AAAA\\x07\\n  verdict  ok.gba  1000 bytes",
         "ignored: -\\e[2J\n"},
        {{"--info", "gone\r\x7F.gba"}, "gone\\r\\x7F.gba\n  There was a problem opening", ""},
        {{"in.gba", "-q\t\x1B[2J"}, "Invalid option: -q\\t\\e[2J\n", ""},
        {{"in.gba", "-s6", "-oout\x01\n.bin"}, "", "warning: out\\x01\\n.bin: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const auto result = run(c.arguments);
        EXPECT_NE(result.out.find(c.outPart), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.errPart), std::string::npos) << result.err;
        for (const std::string& text : {result.out, result.err}) {
            EXPECT_EQ(std::count_if(text.begin(), text.end(),
                                    [](char b) { return (b >= 0 && b < 0x20 && b != '\n') || b == 0x7F; }),
                      0);
        }
    }
}

// A report that reached nobody is a failure, whatever the reason it was lost.
TEST_F(HostileEnvironment, LostOutputOfTheLongOptionsIsAFailure) {
    RunOptions full, closed, broken;
    full.stdoutAppendsTo = "/dev/full";
    closed.closeStdout = true;
    broken.breakStdout = true;
    broken.ignoreSigpipe = true;
    for (const RunOptions& options : {full, closed, broken}) {
        for (const auto& [option, status] : std::vector<std::pair<std::string, int>>{
                 {"--help", 1}, {"--version", 1}, {"--info", 2}}) {
            SCOPED_TRACE(option);
            const auto result = run({option, "in.gba", "in.gba"}, options);
            EXPECT_EQ(result.exitStatus, status);
            EXPECT_EQ(result.err, "tagwright: standard output could not be written\n");
        }
    }
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
    EXPECT_EQ(run({"in.gba", "-e6", "-oout.gba"}, broken).exitStatus, 1);  // no room
    EXPECT_EQ(fs::file_size(dir.file("out.gba")), 1000u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "out.gba"}));
}

#endif  // _WIN32

}  // namespace
}  // namespace tagwright
