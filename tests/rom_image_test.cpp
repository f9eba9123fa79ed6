#include "image/rom_image.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "image/file_layer.hpp"
#include "image/padding.hpp"
#include "support/temp_dir.hpp"

namespace tagwright {
namespace {

using testing::patternBytes;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

Bytes finalizedHeaderBytes(const RomImage& image) {
    const auto bytes = image.header().toBytes();
    return {bytes.begin(), bytes.end()};
}

Bytes concatenated(const std::array<std::span<const std::uint8_t>, 2>& segments) {
    Bytes out(segments[0].begin(), segments[0].end());
    out.insert(out.end(), segments[1].begin(), segments[1].end());
    return out;
}

std::unique_ptr<RomImage> loadedImage(const Bytes& bytes) {
    auto image = std::make_unique<RomImage>(static_cast<std::int32_t>(bytes.size()));
    image->loadBytes(bytes);
    return image;
}

TEST(RomImage, DefaultImageHasNoBuffer) {
    RomImage image;
    EXPECT_FALSE(image.hasBuffer());
    EXPECT_EQ(image.size(), 0);
    EXPECT_TRUE(image.buffer().empty());
}

TEST(RomImage, ImpossibleBufferIsReportedAndNothingWorks) {
    std::ostringstream out;
    RomImage image(-5, out);
    EXPECT_FALSE(image.hasBuffer());
    EXPECT_EQ(out.str(), "There was a problem allocating memory to load the ROM\n");
    EXPECT_FALSE(image.findEmptySpace(out));
    image.appendSaveTag(SaveType::Sram512k);
    EXPECT_FALSE(image.write("never-written.gba", TagArea::Included, out));
    EXPECT_FALSE(std::filesystem::exists("never-written.gba"));
}

// The zero gap and the tag area are zero even where the memory was used before: a
// freed block full of 0xA5 is what the allocator hands out next for the same size
// (glibc's per-thread cache does), so a buffer that is not cleared shows it.
TEST(RomImage, GapAndTagAreaAreZeroInReusedMemory) {
    for (const std::int32_t size : {1001, 1002, 1003, 1004}) {
        const std::size_t bytes = RomImage::tagAreaOffset(size) + RomImage::kTagAreaSize;
        void* volatile used = std::malloc(bytes);
        ASSERT_NE(used, nullptr);
        std::memset(used, 0xA5, bytes);
        std::free(used);
        const RomImage image(size);
        const auto buffer = image.buffer();
        ASSERT_EQ(buffer.size(), bytes);
        EXPECT_TRUE(std::all_of(buffer.begin() + size, buffer.end(),
                                [](std::uint8_t byte) { return byte == 0; }))
            << "size " << size;
    }
}

TEST(RomImage, OutputIsTheWorkingHeaderThenTheImageInBothModes) {
    const Bytes input = patternBytes(1000);
    const auto owned = loadedImage(input);
    RomImage& image = *owned;
    image.setTitle("HELLO");
    image.appendSaveTag(SaveType::Sram512k);
    image.finalizeHeader();

    const Bytes inPlace = concatenated(image.outputSegments(TagArea::Omitted));
    ASSERT_EQ(inPlace.size(), 1000u);
    EXPECT_EQ(Bytes(inPlace.begin(), inPlace.begin() + 192), finalizedHeaderBytes(image));
    EXPECT_EQ(Bytes(inPlace.begin() + 192, inPlace.end()), Bytes(input.begin() + 192, input.end()));

    const Bytes appended = concatenated(image.outputSegments(TagArea::Included));
    ASSERT_EQ(appended.size(), 1012u);
    EXPECT_EQ(Bytes(appended.begin(), appended.begin() + 1000), inPlace);
    EXPECT_EQ(std::string(appended.begin() + 1000, appended.end()), std::string("SRAM_V113\0\0\0", 12));
}

TEST(RomImage, ShortImageTakesTheDefaultsBehindItAndWritesTheHeaderAlone) {
    const Bytes input = patternBytes(100);
    const auto owned = loadedImage(input);
    RomImage& image = *owned;
    Bytes expectedHeader = input;
    const auto defaults = CartridgeHeader().toBytes();
    expectedHeader.insert(expectedHeader.end(), defaults.begin() + 100, defaults.end());
    EXPECT_EQ(finalizedHeaderBytes(image), expectedHeader);

    image.finalizeHeader();
    EXPECT_EQ(concatenated(image.outputSegments(TagArea::Omitted)), finalizedHeaderBytes(image));
    // An image this short has its tag area under the header: no tag is put in.
    image.appendSaveTag(SaveType::Sram512k);
    EXPECT_EQ(concatenated(image.outputSegments(TagArea::Included)), finalizedHeaderBytes(image));
}

TEST(RomImage, TagOfAHeaderSizedImageFollowsTheHeader) {
    const auto owned = loadedImage(patternBytes(192));
    RomImage& image = *owned;
    image.appendSaveTag(SaveType::Eeprom64k);
    const Bytes out = concatenated(image.outputSegments(TagArea::Included));
    ASSERT_EQ(out.size(), 204u);
    EXPECT_EQ(std::string(out.begin() + 192, out.end()), std::string("EEPROM_V120\0", 12));
}

// The memory files are read into: made once for its least size, kept while a file
// fits, made again (every byte of it usable) for one that does not.
TEST(ReadBuffer, KeepsItsMemoryWhileFilesFitAndGrowsForOneThatDoesNot) {
    files::ReadBuffer buffer(3 << 20);
    const auto first = buffer.take(100);
    ASSERT_EQ(first.size(), 100u);
    EXPECT_EQ(buffer.take(3 << 20).data(), first.data());
    const auto grown = buffer.take((5 << 20) + 1);
    ASSERT_EQ(grown.size(), (5u << 20) + 1);
    std::fill(grown.begin(), grown.end(), 0xA5);
    EXPECT_EQ(std::count(grown.begin(), grown.end(), 0xA5), static_cast<std::ptrdiff_t>(grown.size()));
    EXPECT_EQ(buffer.take(1).data(), grown.data());
}

TEST(Padding, NextPowerOfTwoAtOrAboveTheLength) {
    const std::pair<std::uint64_t, std::uint64_t> table[] = {
        {0, 1},
        {1, 1},
        {2, 2},
        {3, 4},
        {200, 256},
        {256, 256},
        {257, 512},
        {3145728, 4194304},
        {4194304, 4194304},
        {4194316, 8388608},
        {(1ull << 31) + 11, 1ull << 32},
    };
    for (const auto& [before, after] : table) {
        EXPECT_EQ(paddedLength(before), after) << before;
    }
}

// --- the file operations ---

class RomImageFiles : public ::testing::Test {
  protected:
    TempDir dir;
    std::ostringstream out;

    std::unique_ptr<RomImage> loadFile(const std::string& name) {
        const auto size = RomImage().probeSize(name, out);
        if (!size) {
            return nullptr;
        }
        auto image = std::make_unique<RomImage>(*size, out);
        if (!image->load(name, out)) {
            return nullptr;
        }
        return image;
    }
};

TEST_F(RomImageFiles, ProbeLoadAndWriteRoundTrip) {
    const Bytes input = patternBytes(4096);
    writeFile(dir.file("in.gba"), input);
    RomImage probe;
    EXPECT_EQ(probe.probeSize(dir.file("in.gba"), out), 4096);
    EXPECT_EQ(probe.size(), 4096);

    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    image->appendSaveTag(SaveType::Flash1M);
    image->finalizeHeader();
    ASSERT_TRUE(image->write(dir.file("tagged.gba"), TagArea::Included, out));
    ASSERT_TRUE(image->write(dir.file("plain.gba"), TagArea::Omitted, out));
    EXPECT_EQ(readFile(dir.file("tagged.gba")), concatenated(image->outputSegments(TagArea::Included)));
    EXPECT_EQ(readFile(dir.file("plain.gba")), concatenated(image->outputSegments(TagArea::Omitted)));
    EXPECT_EQ(readFile(dir.file("in.gba")), input);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "plain.gba", "tagged.gba"}));
}

TEST_F(RomImageFiles, ShortInputGivesAHeaderSizedFile) {
    writeFile(dir.file("short.gba"), patternBytes(100));
    auto image = loadFile(dir.file("short.gba"));
    ASSERT_TRUE(image);
    image->finalizeHeader();
    ASSERT_TRUE(image->write(dir.file("out.gba"), TagArea::Omitted, out));
    EXPECT_EQ(readFile(dir.file("out.gba")), finalizedHeaderBytes(*image));
}

TEST_F(RomImageFiles, EmptyInputLoads) {
    writeFile(dir.file("empty.gba"), {});
    auto image = loadFile(dir.file("empty.gba"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), 0);
    EXPECT_EQ(image->buffer().size(), 12u);
}

TEST_F(RomImageFiles, UnopenableInputsAreReported) {
    std::filesystem::create_directory(dir.file("folder"));
    for (const std::string& name : {dir.file("missing.gba"), dir.file("folder"), std::string()}) {
        out.str("");
        RomImage probe;
        EXPECT_FALSE(probe.probeSize(name, out)) << name;
        EXPECT_EQ(out.str(), "There was a problem opening the file you specified!\n") << name;
    }
}

TEST_F(RomImageFiles, AFileThatShrankIsAReadError) {
    writeFile(dir.file("in.gba"), patternBytes(1000));
    RomImage image(2000, out);
    EXPECT_FALSE(image.load(dir.file("in.gba"), out));
    EXPECT_EQ(out.str(), "There was a problem reading the file you specified!\n");
}

TEST_F(RomImageFiles, TheFileReadMustBeTheFileMeasured) {
    writeFile(dir.file("a.gba"), patternBytes(1000, 1));
    writeFile(dir.file("b.gba"), patternBytes(1000, 2));
    RomImage probe;
    ASSERT_TRUE(probe.probeSize(dir.file("a.gba"), out));
    RomImage image(1000, out);
    EXPECT_TRUE(image.load(dir.file("a.gba"), out, probe.probedFile()));
    // Same size, another file: as if b.gba had been swapped in after the measurement.
    EXPECT_FALSE(image.load(dir.file("b.gba"), out, probe.probedFile()));
    EXPECT_EQ(out.str(), "There was a problem reading the file you specified!\n");
}

TEST_F(RomImageFiles, NamesWithANulByteNeverReachTheDisk) {
    writeFile(dir.file("in.gba"), patternBytes(300));
    const std::string nul = dir.file("in.gba") + std::string(1, '\0') + "x";
    EXPECT_FALSE(RomImage::canOpen(nul));
    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->write(nul, TagArea::Included, out));
    EXPECT_EQ(out.str(), "Problem creating file to write\n");
    EXPECT_EQ(readFile(dir.file("in.gba")), patternBytes(300));
}

TEST_F(RomImageFiles, PaddedWritesAreOneStep) {
    writeFile(dir.file("in.gba"), patternBytes(1000));
    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->write(dir.file("out.gba"), TagArea::Included, out, Padding::ToPowerOfTwo));
    const Bytes written = readFile(dir.file("out.gba"));
    ASSERT_EQ(written.size(), 1024u);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 1012),
              concatenated(image->outputSegments(TagArea::Included)));
    EXPECT_EQ(Bytes(written.begin() + 1012, written.end()), Bytes(12, 0xFF));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "out.gba"}));
}

TEST_F(RomImageFiles, WritingTwiceKeepsOnlyTheSecondFile) {
    writeFile(dir.file("in.gba"), patternBytes(1000));
    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    image->appendSaveTag(SaveType::Flash1M);
    ASSERT_TRUE(image->write(dir.file("out.gba"), TagArea::Included, out));
    ASSERT_TRUE(image->write(dir.file("out.gba"), TagArea::Omitted, out));
    EXPECT_EQ(readFile(dir.file("out.gba")).size(), 1000u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "out.gba"}));
}

TEST_F(RomImageFiles, MissingFolderIsReportedAndTheImageStaysUsable) {
    writeFile(dir.file("in.gba"), patternBytes(500));
    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->write(dir.file("no/such/folder/out.gba"), TagArea::Included, out));
    EXPECT_EQ(out.str(), "Problem creating file to write\n");
    EXPECT_TRUE(image->write(dir.file("out.gba"), TagArea::Included, out));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.gba", "out.gba"}));
}

TEST_F(RomImageFiles, WriteErrorsAreReportedNotPassedOffAsSuccess) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this machine";
    }
    writeFile(dir.file("in.gba"), patternBytes(500));
    auto image = loadFile(dir.file("in.gba"));
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->write("/dev/full", TagArea::Included, out));
    EXPECT_EQ(out.str(), "Problem writing file\n");
}

TEST_F(RomImageFiles, PaddingFollowsTheTable) {
    // input length, length of the in-place output padded
    for (const auto& [length, padded] : {std::pair{200u, 256u}, std::pair{256u, 256u},
                                         std::pair{3000u, 4096u}}) {
        const std::string name = dir.file("pad" + std::to_string(length));
        const Bytes content = patternBytes(length);
        writeFile(name, content);
        auto image = loadFile(name);
        ASSERT_TRUE(image);
        ASSERT_TRUE(image->write(name, TagArea::Omitted, out, Padding::ToPowerOfTwo));
        const Bytes written = readFile(name);
        ASSERT_EQ(written.size(), padded) << length;
        EXPECT_TRUE(std::equal(content.begin(), content.end(), written.begin()));
        EXPECT_TRUE(std::all_of(written.begin() + static_cast<std::ptrdiff_t>(length), written.end(),
                                [](auto b) { return b == 0xFF; }));
    }
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace tagwright
