#include "readers/image_facts.hpp"

#include <algorithm>
#include <cstring>

#include "reader_tables.hpp"

namespace tagwright {

namespace {

constexpr std::array<std::string_view, kMarkCount> kMarkTexts = {
    "EEPR", "EEPROM", "EEPROM_", "EEPROM_V", "SRAM", "SRAM_", "SRAM_V", "SRAM_F_V",
    "FLAS", "FLASH",  "FLASH_",  "FLASH_V",  "FLASH512_", "FLASH512_V", "FLASH1M_", "FLASH1M_V",
    "SIIR", "Shantae",
};

constexpr std::size_t kLongestLead = 16;
constexpr std::size_t kLongestText = 16;
constexpr std::size_t kZerosCounted = 4;

bool startsWith(const std::uint8_t* at, std::size_t available, std::string_view prefix) {
    return available >= prefix.size() && std::memcmp(at, prefix.data(), prefix.size()) == 0;
}

bool isTextCharacter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Every mark begins with one of the pairs EE, SR, SI, Sh or FL, and few places of a ROM
// do. The scan reads 8 bytes at a time (and the 8 from one byte further) and tests the
// places of the stretch only when one of them starts such a pair; a cheaper look for
// an E, S or F comes first. Byte tests are done on whole 64-bit words: zeroByte()
// flags every zero byte (and at worst a byte above one, which only costs a test).
constexpr std::size_t kStretch = 8;
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighs = 0x8080808080808080u;

std::uint64_t load(const std::uint8_t* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
}

constexpr std::uint64_t zeroByte(std::uint64_t x) { return (x - kOnes) & ~x & kHighs; }

constexpr std::uint64_t equal(std::uint64_t word, char letter) {
    return zeroByte(word ^ (kOnes * static_cast<std::uint8_t>(letter)));
}

// Needs 9 bytes from `at`.
bool pairStartsIn(const std::uint8_t* at) {
    const std::uint64_t first = load(at);
    if ((equal(first, 'E') | equal(first, 'S') | equal(first, 'F')) == 0) {
        return false;
    }
    const std::uint64_t second = load(at + 1);
    return ((equal(first, 'E') & equal(second, 'E')) |
            (equal(first, 'S') & (equal(second, 'R') | equal(second, 'I') | equal(second, 'h'))) |
            (equal(first, 'F') & equal(second, 'L'))) != 0;
}

}  // namespace

std::size_t markLength(Mark mark) { return kMarkTexts[static_cast<std::size_t>(mark)].size(); }

std::optional<std::uint8_t> ImageFacts::byteAt(std::size_t offset) const {
    if (offset < head.size()) {
        return head[offset];
    }
    return std::nullopt;
}

std::string_view ImageFacts::textAt(std::size_t offset, std::size_t length) const {
    if (offset >= head.size()) {
        return {};
    }
    return {reinterpret_cast<const char*>(head.data()) + offset,
            std::min(length, head.size() - offset)};
}

namespace {

constexpr std::array<std::uint64_t, 2> kBuffers = {kOneMiB, kOneMiB / 16};

}  // namespace

ImageScanner::ImageScanner(std::string fileName, std::optional<std::uint64_t> expectedSize)
    : expectedSize_(expectedSize) {
    if (!expectedSize_) {
        ring_.reset(new std::uint8_t[kRing]);  // only bytes fed are ever read back
    }
    facts_.name = std::move(fileName);
}

std::uint8_t ImageScanner::recentByte(std::uint64_t offset) const {
    if (chunk_ != nullptr && offset >= chunkBase_) {
        return chunk_[offset - chunkBase_];
    }
    return recent_[offset % kRecent];
}

void ImageScanner::record(StringPlace hit) {
    ++facts_.placeCount;
    if (hit.offset >= 0x100) {
        std::string kind(reinterpret_cast<const char*>(&hit.marks), sizeof hit.marks);
        kind.push_back(static_cast<char>(hit.libraryString));
        kind.push_back(static_cast<char>(hit.zerosInFile));
        kind.push_back(static_cast<char>(hit.roomAfter));
        kind.push_back(static_cast<char>(hit.offset % 4));
        const std::uint64_t block = hit.offset / kOneMiB;
        kind.append(reinterpret_cast<const char*>(&block), sizeof block);
        kind += hit.lead;
        if (!seenKinds_.insert(std::move(kind)).second) {
            return;
        }
    }
    if (facts_.hits.size() < ImageFacts::kMaxHits) {
        facts_.hits.push_back(std::move(hit));
    }
}

void ImageScanner::testAt(const std::uint8_t* at, std::size_t available, std::uint64_t offset) {
    if (at[0] != 'E' && at[0] != 'S' && at[0] != 'F') {
        return;
    }
    std::uint32_t marks = 0;
    for (std::size_t m = 0; m < kMarkCount; ++m) {
        if (kMarkTexts[m][0] == static_cast<char>(at[0]) && startsWith(at, available, kMarkTexts[m])) {
            marks |= 1u << m;
        }
    }
    if (marks == 0) {
        return;
    }
    StringPlace hit;
    hit.offset = offset;
    hit.marks = marks;
    const auto library = tables::sdkStrings();
    for (std::size_t i = 0; i < library.size(); ++i) {
        const std::string_view text = library[i].cell[0];
        if (!startsWith(at, available, text)) {
            continue;
        }
        hit.libraryString = static_cast<int>(i);
        const std::size_t room = std::min(available - text.size(), kZerosCounted);
        hit.roomAfter = static_cast<std::uint8_t>(room);
        while (hit.zerosInFile < room && at[text.size() + hit.zerosInFile] == 0) {
            ++hit.zerosInFile;
        }
        hit.zerosOneMiBBuffer = hit.zerosSixtyFourKiBBuffer = hit.zerosInFile;
        break;
    }
    for (std::size_t back = 1; back <= kLongestLead && back <= offset; ++back) {
        const std::uint8_t c = recentByte(offset - back);
        if (!isTextCharacter(c)) {
            break;
        }
        hit.lead.insert(hit.lead.begin(), static_cast<char>(c));
    }
    for (std::size_t i = 0; i < std::min(available, kLongestText) && isTextCharacter(at[i]); ++i) {
        hit.text.push_back(static_cast<char>(at[i]));
    }
    record(std::move(hit));
}

void ImageScanner::scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                             std::size_t available, std::uint64_t base) {
    std::size_t i = from;
    for (; i + kStretch <= to && i + kStretch + 1 <= available; i += kStretch) {
        if (pairStartsIn(bytes + i)) {
            for (std::size_t j = i; j < i + kStretch; ++j) {
                testAt(bytes + j, available - j, base + j);
            }
        }
    }
    for (; i < to; ++i) {
        testAt(bytes + i, available - i, base + i);
    }
}

void ImageScanner::keepRecent(std::span<const std::uint8_t> bytes) {
    const std::size_t keep = std::min(bytes.size(), kRecent);
    for (std::size_t i = bytes.size() - keep; i < bytes.size(); ++i) {
        recent_[(fed_ + i) % kRecent] = bytes[i];
    }
}

void ImageScanner::keepRing(std::span<const std::uint8_t> bytes) {
    if (expectedSize_) {
        for (std::size_t b = 0; b < kBuffers.size(); ++b) {
            if (*expectedSize_ < kBuffers[b]) {
                continue;
            }
            const std::uint64_t from = *expectedSize_ - kBuffers[b];  // past the end: from + 0..3
            for (std::uint64_t at = std::max(from, fed_); at < from + 16 && at < fed_ + bytes.size(); ++at) {
                window_[b][static_cast<std::size_t>(at - from)] = bytes[static_cast<std::size_t>(at - fed_)];
            }
        }
        return;
    }
    const std::size_t keep = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), kRing));
    std::size_t from = bytes.size() - keep;
    while (from < bytes.size()) {
        const std::size_t at = static_cast<std::size_t>((fed_ + from) % kRing);
        const std::size_t take = std::min(bytes.size() - from, static_cast<std::size_t>(kRing - at));
        std::memcpy(ring_.get() + at, bytes.data() + from, take);
        from += take;
    }
}

// carry_ holds the last places fed that lack a whole window of bytes behind them
// (fewer than kWindow of them); every place before carryOffset_ has been tested.
void ImageScanner::feed(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    if (fed_ < facts_.kHeadSize) {
        const std::size_t take =
            std::min(bytes.size(), static_cast<std::size_t>(facts_.kHeadSize - fed_));
        facts_.head.insert(facts_.head.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    }
    if (fed_ < kMaxRomSize && fed_ + bytes.size() >= kMaxRomSize) {
        const std::size_t first = static_cast<std::size_t>(kMaxRomSize - fed_);
        crc_.update(bytes.first(first));
        facts_.crc32FirstThirtyTwoMiB = crc_.value();
        crc_.update(bytes.subspan(first));
    } else {
        crc_.update(bytes);
    }
    keepRing(bytes);
    chunk_ = bytes.data();
    chunkBase_ = fed_;
    if (!carry_.empty()) {
        std::array<std::uint8_t, 2 * kWindow> joint{};
        const std::size_t take = std::min(bytes.size(), kWindow - 1);
        std::copy(carry_.begin(), carry_.end(), joint.begin());
        std::copy_n(bytes.begin(), take, joint.begin() + static_cast<std::ptrdiff_t>(carry_.size()));
        const std::size_t length = carry_.size() + take;
        const std::size_t ready = std::min(carry_.size(), length >= kWindow ? length - kWindow + 1 : 0);
        scanRange(joint.data(), 0, ready, length, carryOffset_);
        carryOffset_ += ready;
        if (ready < carry_.size()) {
            // The piece was too short to complete the carried places: all of it waits too.
            carry_.assign(joint.begin() + static_cast<std::ptrdiff_t>(ready),
                          joint.begin() + static_cast<std::ptrdiff_t>(length));
            keepRecent(bytes);
            fed_ += bytes.size();
            chunk_ = nullptr;
            return;
        }
        carry_.clear();
    }
    if (bytes.size() < kWindow) {
        carry_.assign(bytes.begin(), bytes.end());
    } else {
        const std::size_t ready = bytes.size() - kWindow + 1;
        scanRange(bytes.data(), 0, ready, bytes.size(), carryOffset_);
        carry_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(ready), bytes.end());
        carryOffset_ += ready;
    }
    keepRecent(bytes);
    fed_ += bytes.size();
    chunk_ = nullptr;
}

void ImageScanner::feedFill(std::uint64_t count) {
    std::array<std::uint8_t, 1 << 16> fill;
    fill.fill(0xFF);
    while (count > 0) {
        const std::size_t take = count < fill.size() ? static_cast<std::size_t>(count) : fill.size();
        feed({fill.data(), take});
        count -= take;
    }
}

void ImageScanner::flushCarry() {
    chunk_ = nullptr;
    scanRange(carry_.data(), 0, carry_.size(), carry_.size(), carryOffset_);
    carryOffset_ += carry_.size();
    carry_.clear();
}

std::uint8_t ImageScanner::zerosThroughBuffer(const StringPlace& hit, std::uint64_t buffer) const {
    if (hit.zerosInFile < hit.roomAfter) {
        return hit.zerosInFile;  // a byte of the file ends the run
    }
    const std::uint64_t end = hit.offset + tables::sdkStrings()[static_cast<std::size_t>(hit.libraryString)].cell[0].size();
    std::uint8_t zeros = hit.zerosInFile;
    for (std::uint64_t at = end + zeros; zeros < kZerosCounted; ++at, ++zeros) {
        std::uint8_t byte = 0;  // a part of the buffer never filled
        if (at >= buffer) {
            const std::uint64_t source = at - buffer;  // the file's byte one buffer earlier
            if (source < facts_.head.size()) {
                byte = facts_.head[static_cast<std::size_t>(source)];
            } else if (expectedSize_) {
                byte = window_[buffer == kBuffers[0] ? 0 : 1][static_cast<std::size_t>(at - facts_.size)];
            } else {
                byte = ring_[static_cast<std::size_t>(source % kRing)];
            }
        }
        if (byte != 0) {
            break;
        }
    }
    return zeros;
}

ImageFacts ImageScanner::finish() {
    flushCarry();
    facts_.size = fed_;
    facts_.crc32 = crc_.value();
    if (fed_ < kMaxRomSize) {
        facts_.crc32FirstThirtyTwoMiB = facts_.crc32;
    }
    const bool windowsKept = !expectedSize_ || *expectedSize_ == fed_;
    for (StringPlace& hit : facts_.hits) {
        if (windowsKept && hit.libraryString >= 0 && hit.roomAfter < kZerosCounted) {
            hit.zerosOneMiBBuffer = zerosThroughBuffer(hit, kBuffers[0]);
            hit.zerosSixtyFourKiBBuffer = zerosThroughBuffer(hit, kBuffers[1]);
        }
    }
    ImageFacts result = std::move(facts_);
    return result;
}

ImageFacts factsOfBytes(std::span<const std::uint8_t> bytes, std::string fileName) {
    ImageScanner scanner(std::move(fileName));
    scanner.feed(bytes);
    return scanner.finish();
}

}  // namespace tagwright
