#include "readers/image_facts.hpp"

#include <algorithm>
#include <cstring>

#include "image/save_library.hpp"
#include "reader_tables.hpp"
#include "readers/judgement.hpp"

namespace tagwright {

namespace {

// The marks that end in V are the save library's prefixes.
constexpr std::array<std::string_view, kMarkCount> kMarkTexts = {
    "EEPR", "EEPROM", "EEPROM_", library::kEepromPrefix,
    "SRAM", "SRAM_", library::kSramPrefix, library::kSramFastPrefix,
    "FLAS", "FLASH", "FLASH_", library::kFlashPrefix, "FLASH512_", library::kFlash512Prefix,
    "FLASH1M_", library::kFlash1MPrefix,
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

// Every mark holds an E or an S among its first four bytes: EEPR at its start, SRAM,
// SIIR and Shantae at their start, FLAS at the fourth byte. Few bytes of a ROM are
// either, and the C library finds a byte far faster than a loop over every place, so
// the scan looks for those two bytes and tests only the places they imply.

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

// The 2 MiB tail buffer of the last scanner of this thread, kept for the next: a fresh
// one would cost its pages again for every file.
// The browser build has one thread and no thread-local storage.
#ifdef __EMSCRIPTEN__
std::unique_ptr<std::uint8_t[]> spareRing;
#else
thread_local std::unique_ptr<std::uint8_t[]> spareRing;
#endif

}  // namespace

ImageScanner::ImageScanner(std::string fileName, std::optional<std::uint64_t> expectedSize)
    : expectedSize_(expectedSize) {
    if (!expectedSize_) {
        ring_ = spareRing ? std::move(spareRing) : std::unique_ptr<std::uint8_t[]>(new std::uint8_t[kRing]);
        // only bytes fed are ever read back
    }
    facts_.name = std::move(fileName);
}

ImageScanner::~ImageScanner() {
    if (ring_ && !spareRing) {
        spareRing = std::move(ring_);
    }
}

std::uint8_t ImageScanner::recentByte(std::uint64_t offset) const {
    if (chunk_ != nullptr && offset >= chunkBase_) {
        return chunk_[offset - chunkBase_];
    }
    return recent_[offset % kRecent];
}

void ImageScanner::record(StringPlace place) {
    ++facts_.placeCount;
    if (place.offset >= 0x100) {
        std::string kind(reinterpret_cast<const char*>(&place.marks), sizeof place.marks);
        kind.push_back(static_cast<char>(place.libraryString));
        kind.push_back(static_cast<char>(place.zerosInFile));
        kind.push_back(static_cast<char>(place.roomAfter));
        kind.push_back(static_cast<char>(place.offset % 4));
        const std::uint64_t block = place.offset / kOneMiB;
        kind.append(reinterpret_cast<const char*>(&block), sizeof block);
        kind += place.lead;
        if (!seenKinds_.insert(std::move(kind)).second) {
            return;
        }
    }
    if (facts_.places.size() < ImageFacts::kMaxPlaces) {
        facts_.places.push_back(std::move(place));
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
    StringPlace place;
    place.offset = offset;
    place.marks = marks;
    const auto library = tables::sdkStrings();
    for (std::size_t i = 0; i < library.size(); ++i) {
        const std::string_view text = library[i].cell[0];
        if (!startsWith(at, available, text)) {
            continue;
        }
        place.libraryString = static_cast<int>(i);
        const std::size_t room = std::min(available - text.size(), kZerosCounted);
        place.roomAfter = static_cast<std::uint8_t>(room);
        while (place.zerosInFile < room && at[text.size() + place.zerosInFile] == 0) {
            ++place.zerosInFile;
        }
        place.zerosOneMiBBuffer = place.zerosSixtyFourKiBBuffer = place.zerosInFile;
        break;
    }
    for (std::size_t back = 1; back <= kLongestLead && back <= offset; ++back) {
        const std::uint8_t c = recentByte(offset - back);
        if (!isTextCharacter(c)) {
            break;
        }
        place.lead.insert(place.lead.begin(), static_cast<char>(c));
    }
    for (std::size_t i = 0; i < std::min(available, kLongestText) && isTextCharacter(at[i]); ++i) {
        place.text.push_back(static_cast<char>(at[i]));
    }
    record(std::move(place));
}

void ImageScanner::scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                             std::size_t available, std::uint64_t base) {
    candidates_.clear();
    auto find = [&](std::size_t at, std::size_t end, char letter) -> std::size_t {
        const void* found = at < end ? std::memchr(bytes + at, letter, end - at) : nullptr;
        return found == nullptr ? end : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes);
    };
    auto next = [&](std::size_t at) { return at + 1 < available ? bytes[at + 1] : 0; };
    for (std::size_t at = find(from, to, 'E'); at < to; at = find(at + 1, to, 'E')) {
        if (next(at) == 'E') {
            candidates_.push_back(at);
        }
    }
    const std::size_t sEnd = std::min(to + 3, available);
    for (std::size_t at = find(from, sEnd, 'S'); at < sEnd; at = find(at + 1, sEnd, 'S')) {
        if (at >= from + 3 && at - 3 < to && bytes[at - 3] == 'F') {
            candidates_.push_back(at - 3);  // a FLAS ending here
        }
        const std::uint8_t after = next(at);
        if (at < to && (after == 'R' || after == 'I' || after == 'h')) {
            candidates_.push_back(at);
        }
    }
    std::sort(candidates_.begin(), candidates_.end());
    std::size_t last = to;  // no place twice
    for (const std::size_t at : candidates_) {
        if (at != last) {
            testAt(bytes + at, available - at, base + at);
            last = at;
        }
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
    if (crcNeeded_) {
        if (*crcNeeded_) {
            checksum(bytes);
        }
    } else if (fed_ + bytes.size() >= facts_.kHeadSize) {
        crcNeeded_ = checksumNeeded(facts_);
        if (*crcNeeded_) {
            checksum(facts_.head);  // fed_ is 0 here for the head's first byte
            checksum(bytes.subspan(static_cast<std::size_t>(facts_.kHeadSize - fed_)));
        }
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
    // Fed as bytes until the head is in and the places before the fill have their
    // window behind them; past that no place can start in 0xFF bytes, so the rest only
    // lengthens the file, enters the checksum and the kept tail.
    const std::uint64_t asBytes = std::max<std::uint64_t>(2 * kWindow, facts_.kHeadSize > fed_ ? facts_.kHeadSize - fed_ : 0);
    while (count > 0 && (fed_ < facts_.kHeadSize || !carry_.empty() || count <= asBytes)) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>({count, fill.size(), asBytes}));
        feed({fill.data(), take});
        count -= take;
        flushCarry();  // only fill bytes are carried now: no place starts there
    }
    if (count == 0) {
        return;
    }
    if (crcNeeded_.value_or(false)) {
        for (std::uint64_t left = count; left > 0;) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, fill.size()));
            checksum({fill.data(), take});
            left -= take;
        }
    }
    const std::uint64_t tail = std::min<std::uint64_t>(count, ring_ ? kRing : 0);
    fed_ += count - tail;
    for (std::uint64_t left = tail; left > 0;) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, fill.size()));
        keepRing({fill.data(), take});
        fed_ += take;
        left -= take;
    }
    if (!ring_) {
        // The loaders' windows, when they fall in the fill.
        for (std::size_t b = 0; b < kBuffers.size(); ++b) {
            if (*expectedSize_ < kBuffers[b]) {
                continue;
            }
            const std::uint64_t from = *expectedSize_ - kBuffers[b];
            for (std::uint64_t at = from; at < from + 16; ++at) {
                if (at >= fed_ - count && at < fed_) {
                    window_[b][static_cast<std::size_t>(at - from)] = 0xFF;
                }
            }
        }
    }
    recent_.fill(0xFF);
    carryOffset_ = fed_;
}

void ImageScanner::checksum(std::span<const std::uint8_t> bytes) {
    if (crcFed_ < kMaxRomSize && crcFed_ + bytes.size() >= kMaxRomSize) {
        const auto first = static_cast<std::size_t>(kMaxRomSize - crcFed_);
        crc_.update(bytes.first(first));
        facts_.crc32FirstThirtyTwoMiB = crc_.value();
        crc_.update(bytes.subspan(first));
    } else {
        crc_.update(bytes);
    }
    crcFed_ += bytes.size();
}

void ImageScanner::flushCarry() {
    chunk_ = nullptr;
    scanRange(carry_.data(), 0, carry_.size(), carry_.size(), carryOffset_);
    carryOffset_ += carry_.size();
    carry_.clear();
}

std::uint8_t ImageScanner::zerosThroughBuffer(const StringPlace& place, std::uint64_t buffer) const {
    if (place.zerosInFile < place.roomAfter) {
        return place.zerosInFile;  // a byte of the file ends the run
    }
    const std::uint64_t end = place.offset + tables::sdkStrings()[static_cast<std::size_t>(place.libraryString)].cell[0].size();
    std::uint8_t zeros = place.zerosInFile;
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
    if (!crcNeeded_) {
        crcNeeded_ = checksumNeeded(facts_);  // a file shorter than the head
        if (*crcNeeded_) {
            checksum(facts_.head);
        }
    }
    if (*crcNeeded_) {
        facts_.crc32 = crc_.value();
        if (fed_ < kMaxRomSize) {
            facts_.crc32FirstThirtyTwoMiB = facts_.crc32;
        }
    }
    const bool windowsKept = !expectedSize_ || *expectedSize_ == fed_;
    for (StringPlace& place : facts_.places) {
        if (windowsKept && place.libraryString >= 0 && place.roomAfter < kZerosCounted) {
            place.zerosOneMiBBuffer = zerosThroughBuffer(place, kBuffers[0]);
            place.zerosSixtyFourKiBBuffer = zerosThroughBuffer(place, kBuffers[1]);
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
