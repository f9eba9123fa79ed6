// End-to-end runs of the built program in command-line mode, each in a fresh folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/cartridge_header.hpp"
#include "support/expected_text.hpp"
#include "support/program_test.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::patternBytes;
using testing::readFile;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

using testing::kCredits;

// The header an untouched input gets: its own bytes, repaired and checksummed.
CartridgeHeader repairedHeaderOf(const Bytes& input) {
    CartridgeHeader header;
    header.overlay(input);
    return header;
}

Bytes withHeader(Bytes file, CartridgeHeader header) {
    header.finalizeFrom(CartridgeHeader());
    const auto bytes = header.toBytes();
    if (file.size() < bytes.size()) {
        file.resize(bytes.size());
    }
    std::copy(bytes.begin(), bytes.end(), file.begin());
    return file;
}

Bytes concat(Bytes a, const std::string& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CommandLine : public testing::ProgramInFolder {
  protected:
    Bytes output(const std::string& name = "rompatched.gba") { return readFile(dir.file(name)); }
};

TEST_F(CommandLine, TypicalRunTagsEditsAndPads) {
    const auto result = run(
        {"in.gba", "-p", "-tOhHellYeah", "-cARSE", "-mME", "-r255", "-s6", "-oPaTcHeDcOoL.gba"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, kCredits);
    EXPECT_EQ(result.err, "");

    const Bytes out = output("PaTcHeDcOoL.gba");
    ASSERT_EQ(out.size(), 1024u);
    const std::string text(out.begin(), out.end());
    EXPECT_EQ(text.substr(0xA0, 12), std::string("OhHellYeah\0\0", 12));
    EXPECT_EQ(text.substr(0xAC, 6), "ARSEME");
    EXPECT_EQ(out[0xBC], 0xFF);
    EXPECT_EQ(text.substr(1000, 12), std::string("SRAM_V113\0\0\0", 12));
    EXPECT_EQ(Bytes(out.begin() + 192, out.begin() + 1000),
              Bytes(input.begin() + 192, input.end()));
    EXPECT_EQ(Bytes(out.begin() + 1012, out.end()), Bytes(12, 0xFF));
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += out[i];
    }
    EXPECT_EQ((sum + 0x19 + out[0xBD]) & 0xFF, 0u);
    EXPECT_EQ(output("in.gba"), input);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"PaTcHeDcOoL.gba", "in.gba"}));
}

TEST_F(CommandLine, FileNameAloneRepairsTheHeaderOnly) {
    const auto result = run({"in.gba"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, kCredits);
    EXPECT_EQ(output(), withHeader(input, repairedHeaderOf(input)));
}

TEST_F(CommandLine, OptionsActInCommandLineOrderWhereverTheNameStands) {
    ASSERT_EQ(run({"-tFIRST", "-s6", "in.gba", "-tSECOND", "-oa.gba"}).exitStatus, 0);
    ASSERT_EQ(run({"/tFIRST", "/s6", "/tSECOND", "in.gba", "/ob.gba"}).exitStatus, 0);
    EXPECT_EQ(output("a.gba"), output("b.gba"));
    CartridgeHeader header = repairedHeaderOf(input);
    header.setTitle("SECOND");
    EXPECT_EQ(output("a.gba"), concat(withHeader(input, header), std::string("SRAM_V113\0\0\0", 12)));

    // The last -s or -e decides the mode; each acts on the image as it is then.
    Bytes roomy = patternBytes(1000);
    std::fill(roomy.begin() + 400, roomy.begin() + 500, 0);
    writeFile(dir.file("roomy.gba"), roomy);
    ASSERT_EQ(run({"roomy.gba", "-s6", "-e1", "-oc.gba"}).exitStatus, 0);
    ASSERT_EQ(run({"roomy.gba", "-e1", "-s6", "-od.gba"}).exitStatus, 0);
    Bytes embedded = roomy;
    const std::string eeprom = std::string("EEPROM_V120\0", 12);
    std::copy(eeprom.begin(), eeprom.end(), embedded.begin() + 400);
    const Bytes expected = withHeader(embedded, repairedHeaderOf(roomy));
    EXPECT_EQ(output("c.gba"), expected);
    EXPECT_EQ(output("d.gba"), concat(expected, std::string("SRAM_V113\0\0\0", 12)));
}

TEST_F(CommandLine, InvalidOptionsAreReportedAndTheRunGoesOn) {
    const auto result = run({"in.gba", "-P", "-S6", "-x", "-", "/", "/9", "-v", "-vanything"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out,
              "Invalid option: -P\nInvalid option: -S6\nInvalid option: -x\nInvalid option: -\n"
              "Invalid option: /\nInvalid option: /9\n" +
                  kCredits);
    EXPECT_EQ(output(), withHeader(input, repairedHeaderOf(input)));
}

TEST_F(CommandLine, VersionNumbersAndMissingValues) {
    const auto result = run({"in.gba", "-r0x1F", "-r", "-s", "-e", "-oout.gba"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out, "Need value for -r\nNeed value for -s\nNeed value for -e\n" + kCredits);
    EXPECT_EQ(output("out.gba")[0xBC], 31);
    EXPECT_EQ(output("out.gba").size(), 1000u);  // the last -e chose the in-place mode

    const std::pair<std::string, std::uint8_t> versions[] = {
        {"-r010", 8}, {"-r09", 0}, {"-r256", 0}, {"-rabc", 0}, {"-r-1", 255}, {"-r300", 44}};
    for (const auto& [option, byte] : versions) {
        ASSERT_EQ(run({"in.gba", option}).exitStatus, 0);
        EXPECT_EQ(output()[0xBC], byte) << option;
    }
}

TEST_F(CommandLine, LoneSaveOptionsAppendAnUntaggedArea) {
    const auto result = run({"in.gba", "-s"});
    EXPECT_EQ(result.out, "Need value for -s\n" + kCredits);
    EXPECT_EQ(output(), concat(withHeader(input, repairedHeaderOf(input)), std::string(12, '\0')));
    ASSERT_EQ(run({"in.gba", "-s7"}).out, kCredits);
    EXPECT_EQ(output(), concat(withHeader(input, repairedHeaderOf(input)), std::string(12, '\0')));
}

TEST_F(CommandLine, EmptySpaceSearchWithoutRoomStillSucceeds) {
    const auto result = run({"in.gba", "-e3"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, std::string(1000, '.') + testing::kNoSpace + kCredits);
    EXPECT_EQ(output(), withHeader(input, repairedHeaderOf(input)));
}

TEST_F(CommandLine, NamesAndValues) {
    // Two names: the first is loaded, the second passed over.
    writeFile(dir.file("other.gba"), patternBytes(300, 7));
    ASSERT_EQ(run({"in.gba", "other.gba"}).out, kCredits);
    EXPECT_EQ(output().size(), 1000u);

    // A value in its own argument is a name, not a value.
    writeFile(dir.file("HELLO"), patternBytes(300, 9));
    ASSERT_EQ(run({"-t", "HELLO", "in.gba"}).exitStatus, 2);
    EXPECT_EQ(output().size(), 300u);

    // A lone -o restores the default name; codes keep their first characters.
    ASSERT_EQ(
        run({"in.gba", "-oX.gba", "-o", "-cABCDEFG", "-mXYZ", "-tABCDEFGHIJKLMNOP"}).exitStatus, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("X.gba")));
    const Bytes out = output();
    EXPECT_EQ(std::string(out.begin() + 0xA0, out.begin() + 0xB2), "ABCDEFGHIJKLABCDXY");
}

TEST_F(CommandLine, WithoutANameNothingHappens) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"-p", "-s6"}, {"/tmp/rom.gba"}, {"-oin.gba"}}) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 255);
        EXPECT_EQ(result.out, "Filename needed!\n");
        EXPECT_TRUE(result.err.ends_with("Usage: tagwright ROM [options]  (tagwright --help for more)\n"));
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
    EXPECT_EQ(output("in.gba"), input);
}

TEST_F(CommandLine, LongOptionsWinWhereverTheyStand) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {"in.gba", "-s6", "--help"}, {"--version", "--help", "in.gba"}}) {
        const auto result = run(arguments);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out.rfind("Usage: tagwright ROM [options]\n", 0), 0u) << result.out;
        EXPECT_NE(
            result.out.find("\n-s : Save patch the ROM.Used like this -s1 or -s2 based on the "
                            "\n6 different save types.\n"),
            std::string::npos);
        EXPECT_NE(result.out.find("\n512kb SRAM   : 6\n"), std::string::npos);
        EXPECT_NE(result.out.find("man tagwright"), std::string::npos);
    }
    const auto version = run({"-p", "in.gba", "--version", "-s6"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "tagwright 0.8\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});

    // Near misses keep their single-letter meaning.
    const auto nearMiss = run({"in.gba", "-h", "/help", "--foo", "--HELP"});
    EXPECT_EQ(nearMiss.exitStatus, 2);
    EXPECT_EQ(nearMiss.out,
              "Invalid option: -h\nInvalid option: /help\nInvalid option: --foo\n"
              "Invalid option: --HELP\n" +
                  kCredits);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "rompatched.gba"}));
}

TEST_F(CommandLine, OutputNamingTheInputReplacesIt) {
    const auto result = run({"in.gba", "-s6", "-oin.gba"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(output("in.gba"), concat(withHeader(input, repairedHeaderOf(input)), std::string("SRAM_V113\0\0\0", 12)));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
}

TEST_F(CommandLine, AppendedTagsStartAtAMultipleOfFour) {
    // Image size -> where the tag goes: sizes that are multiples of 4 are unchanged.
    for (const auto& [size, tagAt] : {std::pair{1000u, 1000u}, std::pair{1001u, 1004u},
                                      std::pair{1002u, 1004u}, std::pair{1003u, 1004u}}) {
        const Bytes rom = patternBytes(size);
        writeFile(dir.file("odd.gba"), rom);
        ASSERT_EQ(run({"odd.gba", "-s3", "-oout.gba"}).exitStatus, 0);
        const Bytes out = output("out.gba");
        ASSERT_EQ(out.size(), tagAt + 12) << size;
        EXPECT_EQ(Bytes(out.begin() + 192, out.begin() + size),
                  Bytes(rom.begin() + 192, rom.end()));
        EXPECT_EQ(Bytes(out.begin() + size, out.begin() + tagAt), Bytes(tagAt - size, 0)) << size;
        EXPECT_EQ(std::string(out.begin() + tagAt, out.end()), "FLASH1M_V103") << size;
    }
    ASSERT_EQ(run({"odd.gba", "-s6", "-p", "-opadded.gba"}).exitStatus, 0);
    const Bytes padded = output("padded.gba");
    ASSERT_EQ(padded.size(), 1024u);
    EXPECT_EQ(std::string(padded.begin() + 1004, padded.begin() + 1016), std::string("SRAM_V113\0\0\0", 12));
}

TEST_F(CommandLine, PaddingWorksOnTheFileAsWritten) {
    Bytes big = patternBytes(4 << 20);
    std::fill(big.begin() + 4096, big.begin() + 4200, 0);
    writeFile(dir.file("big.gba"), big);
    ASSERT_EQ(run({"big.gba", "-s6", "-p", "-oa.gba"}).exitStatus, 0);
    ASSERT_EQ(run({"big.gba", "-e6", "-p", "-ob.gba"}).exitStatus, 0);
    ASSERT_EQ(run({"in.gba", "-p", "-oc.gba"}).exitStatus, 0);
    EXPECT_EQ(std::filesystem::file_size(dir.file("a.gba")), 8u << 20);
    EXPECT_EQ(std::filesystem::file_size(dir.file("b.gba")), 4u << 20);
    EXPECT_EQ(std::filesystem::file_size(dir.file("c.gba")), 1024u);
}

// --- failures: reported, never passed off as success, never destroying anything ---

TEST_F(CommandLine, UnopenableInputEndsWithStatusOne) {
    std::filesystem::create_directory(dir.file("folder"));
    for (const std::string name : {"missing.gba", "folder", ""}) {
        const auto result = run({name, "-s6"});
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_EQ(result.out, "There was a problem opening the file you specified!\n") << name;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder", "in.gba"}));
}

TEST_F(CommandLine, InputOfTwoGibibytesIsRefused) {
    // A sparse file: no disk space is used.
    writeFile(dir.file("huge.gba"), {});
    std::filesystem::resize_file(dir.file("huge.gba"), 1ull << 31);
    const auto result = run({"huge.gba", "-s6"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "The ROM file is too large (2 GiB or more).\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"huge.gba", "in.gba"}));
}

TEST_F(CommandLine, OutputIntoAMissingFolder) {
    const auto result = run({"in.gba", "-p", "-onowhere/out.gba"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "Problem creating file to write\n" + kCredits);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.gba"});
}

TEST_F(CommandLine, OutputOntoAFullDevice) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this machine";
    }
    const auto result = run({"in.gba", "-s6", "-p", "-o/dev/full"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "Problem writing file\n" + kCredits);
}

TEST_F(CommandLine, FileSizeLimitNeverCostsTheInput) {
#ifdef _WIN32
    GTEST_SKIP() << "file-size limits (RLIMIT_FSIZE) are POSIX";
#endif
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
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links, mode bits and /dev/null are POSIX";
#endif
    writeFile(dir.file("target.gba"), patternBytes(10));
    std::filesystem::permissions(dir.file("target.gba"), std::filesystem::perms(0640));
    std::filesystem::create_symlink("target.gba", dir.file("link.gba"));
    ASSERT_EQ(run({"in.gba", "-olink.gba"}).exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.gba")));
    EXPECT_EQ(output("target.gba"), withHeader(input, repairedHeaderOf(input)));
    EXPECT_EQ(std::filesystem::status(dir.file("target.gba")).permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "link.gba", "target.gba"}));

    ASSERT_EQ(run({"in.gba", "-p", "-o/dev/null"}).exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace tagwright
