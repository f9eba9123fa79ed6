#include "readers/image_facts.hpp"

#include <algorithm>
#include <cstring>

#include "image/cartridge_header.hpp"
#include "readers/judgement.hpp"
#include "readers/mark_starts.hpp"
#include "readers/place_rules.hpp"

namespace tagwright {

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

constexpr std::array<std::uint64_t, 2> kBuffers = {kLargeBuffer, kSmallBuffer};

// The 2 MiB tail buffer of the last scanner of this thread, kept for the next: a fresh
// one would cost its pages again for every file.
// The browser build has one thread and no thread-local storage.
#ifdef __EMSCRIPTEN__
std::unique_ptr<std::uint8_t[]> spareRing;
#else
thread_local std::unique_ptr<std::uint8_t[]> spareRing;
#endif

}  // namespace

ImageScanner::ImageScanner(std::string fileName, std::optional<std::uint64_t> expectedSize,
                           bool repairedToo)
    : repairedToo_(repairedToo), expectedSize_(expectedSize) {
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
    if (isLibraryStringPlace(place) && facts_.libraryStrings.size() < ImageFacts::kMaxPlaces) {
        facts_.libraryStrings.push_back(place.offset);
    }
    if (place.offset >= kFirstRepeatOffset) {
        if (facts_.placeKinds[placeKind(place)]++ != 0) {
            return;
        }
    }
    if (facts_.places.size() < ImageFacts::kMaxPlaces) {
        facts_.places.push_back(std::move(place));
    }
}

void ImageScanner::testAt(const std::uint8_t* at, std::size_t available, std::uint64_t offset) {
    StringPlace place;
    if (placeAt(at, available, offset, [this](std::uint64_t o) { return recentByte(o); }, place)) {
        record(std::move(place));
    }
}

// Tests only the places where a mark may start (readers/mark_starts.hpp).
void ImageScanner::scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                             std::size_t available, std::uint64_t base) {
    candidates_.clear();
    findMarkStarts(bytes, from, to, available, candidates_);
    for (const std::size_t at : candidates_) {
        testAt(bytes + at, available - at, base + at);
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
        crcNeeded_ = neededFor(facts_);
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

bool ImageScanner::neededFor(const ImageFacts& facts) const {
    if (checksumNeeded(facts)) {
        return true;
    }
    if (!repairedToo_) {
        return false;
    }
    CartridgeHeader header;
    header.overlay(std::span(facts.head).first(std::min(facts.head.size(), CartridgeHeader::kSize)));
    header.finalizeFrom(CartridgeHeader{});
    ImageFacts repaired;
    repaired.head = facts.head;
    const auto bytes = header.toBytes();
    repaired.head.resize(std::max(repaired.head.size(), bytes.size()));
    std::copy(bytes.begin(), bytes.end(), repaired.head.begin());
    return checksumNeeded(repaired);
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
    return tagwright::zerosThroughBuffer(place, buffer, [&](std::uint64_t source) -> std::uint8_t {
        if (source < facts_.head.size()) {
            return facts_.head[static_cast<std::size_t>(source)];
        }
        if (expectedSize_) {
            return window_[buffer == kBuffers[0] ? 0 : 1][static_cast<std::size_t>(source + buffer - facts_.size)];
        }
        return ring_[static_cast<std::size_t>(source % kRing)];
    });
}

ImageFacts ImageScanner::finish() {
    flushCarry();
    facts_.size = fed_;
    if (!crcNeeded_) {
        crcNeeded_ = neededFor(facts_);  // a file shorter than the head
        if (*crcNeeded_) {
            checksum(facts_.head);
        }
    }
    if (*crcNeeded_ && !checksumNeeded(facts_)) {
        facts_.crc32ForCopies = crc_.value();  // only a saved copy's header needs it
    } else if (*crcNeeded_) {
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
