// The facts of an edited file, derived from the original's facts and the edited bytes,
// against a fresh scan of the edited file: random images, random edits of the kinds a
// save makes (a header, tags and strings over bytes, zeros, bytes after the end, 0xFF
// fill), sizes around the DS loaders' 64 KiB and 1 MiB buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/cartridge_header.hpp"
#include "image/padding.hpp"
#include "readers/crc32.hpp"
#include "readers/edited_facts.hpp"
#include "readers/image_facts.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::size_t below(std::size_t n) { return next() % n; }

  private:
    std::uint32_t state_;
};

// Texts the scan and the readers care about, repeats and near misses among them.
const std::vector<std::string> kTexts = {
    std::string("SRAM_V113\0\0\0", 12), std::string("EEPROM_V124\0", 12), "FLASH1M_V103",
    std::string("FLASH_V123\0\0", 12), std::string("SRAM_F_V103\0", 12), "FLASH512_V131",
    "EEPROM_V999", "SRAM", "FLASH", "EEPR", "SIIRTC_V001", "Shantae", "ABC_SRAM_V110",
    std::string(12, '\0'), std::string(16, '\0'), "SRAM_V1", "FLASH_V12"};

void put(Bytes& bytes, std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < text.size() && offset + i < bytes.size(); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(text[i]);
    }
}

// An offset near one of the interesting ones: the header, a string put, the end, the
// buffers' starts one buffer before the end.
std::size_t nearSomething(Random& random, const std::vector<std::size_t>& spots, std::size_t size) {
    const std::size_t spot = spots[random.below(spots.size())];
    const std::size_t offset = spot + random.below(48) - std::min<std::size_t>(spot, 24);
    return std::min(offset, size - 1);
}

Bytes randomImage(Random& random, std::size_t size, std::vector<std::size_t>& spots) {
    Bytes image(size);
    const int style = static_cast<int>(random.below(3));
    for (auto& byte : image) {
        byte = style == 0 ? 0xFF : style == 1 ? static_cast<std::uint8_t>(random.next()) : 0;
    }
    spots = {0xC0, 0x100, size, size - std::min<std::size_t>(size, 1u << 20),
             size - std::min<std::size_t>(size, 1u << 16)};
    // The same text many times in one block: repeats the list shows once.
    const std::string repeated = kTexts[random.below(kTexts.size())];
    for (int n = 0; n < 40; ++n) {
        const std::size_t at = random.below(2) == 0 ? random.below(size) : nearSomething(random, spots, size);
        put(image, at, random.below(3) == 0 ? repeated : kTexts[random.below(kTexts.size())]);
        spots.push_back(at);
    }
    return image;
}

void expectSameFacts(const ImageFacts& derived, const ImageFacts& scanned, const std::string& what) {
    EXPECT_EQ(derived.name, scanned.name) << what;
    EXPECT_EQ(derived.size, scanned.size) << what;
    EXPECT_EQ(derived.head, scanned.head) << what;
    EXPECT_EQ(derived.placeCount, scanned.placeCount) << what;
    EXPECT_EQ(derived.placeKinds, scanned.placeKinds) << what;
    EXPECT_EQ(derived.libraryStrings, scanned.libraryStrings) << what;
    EXPECT_EQ(derived.crc32, scanned.crc32) << what;
    EXPECT_EQ(derived.crc32FirstThirtyTwoMiB, scanned.crc32FirstThirtyTwoMiB) << what;
    ASSERT_EQ(derived.places.size(), scanned.places.size()) << what;
    for (std::size_t i = 0; i < derived.places.size(); ++i) {
        const StringPlace& a = derived.places[i];
        const StringPlace& b = scanned.places[i];
        EXPECT_TRUE(a.offset == b.offset && a.marks == b.marks && a.libraryString == b.libraryString &&
                    a.zerosInFile == b.zerosInFile && a.roomAfter == b.roomAfter &&
                    a.zerosOneMiBBuffer == b.zerosOneMiBBuffer &&
                    a.zerosSixtyFourKiBBuffer == b.zerosSixtyFourKiBBuffer && a.lead == b.lead &&
                    a.text == b.text)
            << what << ": place " << i << " at " << b.offset;
    }
}

TEST(EditedFacts, EqualAFreshScanOfTheEditedBytes) {
    Random random(2024);
    const std::vector<std::size_t> sizes = {4096, 5000, 65536 + 3, 65536 * 3 - 1, (1u << 20) - 2,
                                            (1u << 20) + 9, (1u << 21) - 12};
    int derivedCases = 0;
    for (int trial = 0; trial < 70; ++trial) {
        const std::size_t size = sizes[static_cast<std::size_t>(trial) % sizes.size()];
        std::vector<std::size_t> spots;
        const Bytes image = randomImage(random, size, spots);

        // The edit: a header (bootable half the time, so the CRC-32 is needed), strings
        // and zeros over the bytes, then maybe a tag area and padding.
        EditedBytes edited;
        edited.base = image;
        CartridgeHeader header;
        header.overlay(std::span(image).first(CartridgeHeader::kSize));
        if (random.below(2) == 0) {
            header.finalizeFrom(CartridgeHeader{});
        }
        const auto headerBytes = header.toBytes();
        edited.patches.push_back({0, {headerBytes.begin(), headerBytes.end()}});
        const std::size_t changes = random.below(4);
        for (std::size_t n = 0; n < changes; ++n) {
            const std::string& text = kTexts[random.below(kTexts.size())];
            const std::size_t at = std::max<std::size_t>(
                CartridgeHeader::kSize, std::min(nearSomething(random, spots, size), size - text.size()));
            edited.patches.push_back({at, {text.begin(), text.end()}});
        }
        if (random.below(2) == 0) {
            const std::string tag = kTexts[random.below(6)];
            edited.appended.assign((4 - size % 4) % 4, 0);
            edited.appended.insert(edited.appended.end(), tag.begin(), tag.end());
        }
        if (random.below(2) == 0) {
            const std::uint64_t length = size + edited.appended.size();
            edited.fill = random.below(2) == 0 ? paddedLength(length) - length : random.below(20);
        }

        // The original as the scan met it: the image itself; and, as a save has it, the
        // edited strings in base with the bytes they replaced patched back.
        const EditedBytes original{image, {}, {}, 0};
        const ImageFacts facts = factsOfWhole(original, "in.gba");
        const std::string what = "trial " + std::to_string(trial) + ", size " + std::to_string(size);
        expectSameFacts(factsOfEdited(facts, original, edited, "out.gba"),
                        factsOfWhole(edited, "out.gba"), what);

        Bytes saved = image;
        EditedBytes before{saved, {}, {}, 0};
        for (const BytePatch& patch : edited.patches) {
            if (patch.offset >= CartridgeHeader::kSize) {
                before.patches.push_back({patch.offset, Bytes(image.begin() + static_cast<std::ptrdiff_t>(patch.offset),
                                                              image.begin() + static_cast<std::ptrdiff_t>(patch.offset + patch.bytes.size()))});
                std::copy(patch.bytes.begin(), patch.bytes.end(), saved.begin() + static_cast<std::ptrdiff_t>(patch.offset));
            }
        }
        EditedBytes after = edited;
        after.base = saved;
        after.patches.resize(1);  // the header; the rest is in base now
        expectSameFacts(factsOfEdited(facts, before, after, "out.gba"), factsOfWhole(after, "out.gba"),
                        what + ", edited in place");
        ++derivedCases;
    }
    EXPECT_EQ(derivedCases, 70);
}

TEST(EditedFacts, Crc32OfAChangeAndOfLongFillFollowFromTheirParts) {
    Bytes bytes(300000);
    Random random(5);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random.next());
    }
    Crc32 whole;
    whole.update(bytes);
    Bytes changed = bytes;
    const Bytes before(bytes.begin() + 1000, bytes.begin() + 1013);
    const std::string text = "FLASH1M_V103!";
    std::copy(text.begin(), text.end(), changed.begin() + 1000);
    Crc32 direct;
    direct.update(changed);
    EXPECT_EQ(Crc32::withChange(whole.value(), bytes.size(), 1000, before,
                                Bytes(text.begin(), text.end())),
              direct.value());
    for (const std::uint64_t count : {65536u, 65537u, 1000000u}) {
        Crc32 fast = Crc32::resumedFrom(whole.value());
        fast.updateFill(count);
        Crc32 slow = Crc32::resumedFrom(whole.value());
        const Bytes fill(count, 0xFF);
        slow.update(fill);
        EXPECT_EQ(fast.value(), slow.value()) << count;
    }
}

}  // namespace
}  // namespace tagwright
