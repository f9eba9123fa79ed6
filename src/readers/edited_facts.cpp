#include "readers/edited_facts.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "readers/judgement.hpp"
#include "readers/place_rules.hpp"

namespace tagwright {

namespace {

constexpr std::uint64_t kSmallestDerived = 4096;
// Bytes read after the last start of a range: more than any place reads.
constexpr std::uint64_t kReadAfter = 32;
static_assert(kReadAfter > kPlaceReach && kReadAfter >= kLongestText);

// [from, to) ranges of offsets, sorted and joined where they meet.
using Ranges = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

Ranges joined(Ranges ranges) {
    std::sort(ranges.begin(), ranges.end());
    Ranges out;
    for (const auto& [from, to] : ranges) {
        if (from >= to) {
            continue;
        }
        if (!out.empty() && from <= out.back().second) {
            out.back().second = std::max(out.back().second, to);
        } else {
            out.emplace_back(from, to);
        }
    }
    return out;
}

// Every place starting in one of `starts` (clipped to the file), repeats included.
std::vector<StringPlace> placesIn(const EditedBytes& file, const Ranges& starts) {
    std::vector<StringPlace> places;
    std::vector<std::uint8_t> bytes;
    const std::uint64_t size = file.size();
    for (const auto& [from, to] : starts) {
        const std::uint64_t first = from >= kLongestLead ? from - kLongestLead : 0;
        const std::uint64_t last = std::min(size, to + kReadAfter);
        if (first >= last) {
            continue;
        }
        bytes.resize(static_cast<std::size_t>(last - first));
        file.copy(first, bytes);
        const auto byteAt = [&](std::uint64_t offset) { return bytes[static_cast<std::size_t>(offset - first)]; };
        for (std::uint64_t p = from; p < std::min(to, size); ++p) {
            StringPlace place;
            const std::uint8_t* at = bytes.data() + (p - first);
            if (placeAt(at, static_cast<std::size_t>(last - p), p, byteAt, place)) {
                places.push_back(std::move(place));
            }
        }
    }
    return places;
}

bool inside(const Ranges& ranges, std::uint64_t offset) {
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), std::pair{offset, ~std::uint64_t{0}});
    return after != ranges.begin() && offset < std::prev(after)->second;
}

std::uint32_t crcOf(const EditedBytes& file) {
    Crc32 crc;
    if (file.patches.empty()) {
        crc.update(file.base);
        crc.update(file.appended);
        crc.updateFill(file.fill);
        return crc.value();
    }
    std::vector<std::uint8_t> piece(std::size_t{1} << 18);
    const std::uint64_t bytes = file.base.size() + file.appended.size();
    for (std::uint64_t at = 0; at < bytes; at += piece.size()) {
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), bytes - at));
        file.copy(at, std::span(piece).first(take));
        crc.update(std::span(piece).first(take));
    }
    crc.updateFill(file.fill);
    return crc.value();
}

// The CRC-32 of `edited` from that of `original` (whose size is base's).
std::uint32_t crcOfEdited(std::uint32_t crc, const EditedBytes& original, const EditedBytes& edited,
                          const Ranges& changed) {
    const std::uint64_t length = original.base.size();
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
    for (const auto& [from, to] : changed) {
        before.resize(static_cast<std::size_t>(to - from));
        after.resize(before.size());
        original.copy(from, before);
        edited.copy(from, after);
        crc = Crc32::withChange(crc, length, from, before, after);
    }
    Crc32 rest = Crc32::resumedFrom(crc);
    rest.update(edited.appended);
    rest.updateFill(edited.fill);
    return rest.value();
}

}  // namespace

void EditedBytes::copy(std::uint64_t from, std::span<std::uint8_t> out) const {
    const std::uint64_t to = from + out.size();
    std::uint8_t* put = out.data();
    // base, with its patches over it
    if (from < base.size()) {
        const std::uint64_t end = std::min<std::uint64_t>(to, base.size());
        std::memcpy(put, base.data() + from, static_cast<std::size_t>(end - from));
        for (const BytePatch& patch : patches) {
            const std::uint64_t a = std::max(from, patch.offset);
            const std::uint64_t b = std::min(end, patch.offset + patch.bytes.size());
            if (a < b) {
                std::memcpy(put + (a - from), patch.bytes.data() + (a - patch.offset),
                            static_cast<std::size_t>(b - a));
            }
        }
    }
    const std::uint64_t tail = base.size();
    for (std::uint64_t at = std::max(from, tail); at < to; ++at) {
        const std::uint64_t i = at - tail;
        put[at - from] = i < appended.size() ? appended[static_cast<std::size_t>(i)] : 0xFF;
    }
}

ImageFacts factsOfWhole(const EditedBytes& file, std::string name, bool repairedToo) {
    ImageScanner scanner(std::move(name), file.size(), repairedToo);
    std::vector<std::uint8_t> piece(std::size_t{1} << 18);
    const std::uint64_t bytes = file.base.size() + file.appended.size();
    for (std::uint64_t at = 0; at < bytes; at += piece.size()) {
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), bytes - at));
        file.copy(at, std::span(piece).first(take));
        scanner.feed(std::span(piece).first(take));
    }
    if (file.fill > 0) {
        scanner.feedFill(file.fill);
    }
    return scanner.finish();
}

ImageFacts factsOfEdited(const ImageFacts& facts, const EditedBytes& original,
                         const EditedBytes& edited, std::string name) {
    const std::uint64_t length = original.base.size();
    const std::uint64_t size = edited.size();
    if (facts.places.size() >= ImageFacts::kMaxPlaces ||
        facts.libraryStrings.size() >= ImageFacts::kMaxPlaces || length < kSmallestDerived ||
        size > kMaxRomSize || facts.size != length) {
        return factsOfWhole(edited, std::move(name));
    }
    // Where the two may differ, and where places may read differently.
    Ranges changedList;
    for (const EditedBytes* file : {&original, &edited}) {
        for (const BytePatch& patch : file->patches) {
            changedList.emplace_back(patch.offset, patch.offset + patch.bytes.size());
        }
    }
    const Ranges changed = joined(changedList);
    Ranges reach;
    for (const auto& [from, to] : changed) {
        reach.emplace_back(from >= kPlaceReach ? from - kPlaceReach : 0, to + kLongestLead);
    }
    const std::uint64_t ends = length + edited.appended.size();  // no place starts in fill
    if (size != length) {
        reach.emplace_back(length >= kPlaceReach ? length - kPlaceReach : 0, ends);
    }
    reach = joined(std::move(reach));
    Ranges reachBefore;
    for (const auto& [from, to] : reach) {
        reachBefore.emplace_back(from, std::min(to, length));
    }
    reachBefore = joined(std::move(reachBefore));
    const std::vector<StringPlace> gone = placesIn(original, reachBefore);
    std::vector<StringPlace> fresh = placesIn(edited, reach);

    ImageFacts out;
    out.name = std::move(name);
    out.size = size;
    out.placeCount = facts.placeCount - gone.size() + fresh.size();
    out.placeKinds = facts.placeKinds;
    for (const StringPlace& place : gone) {
        if (place.offset >= kFirstRepeatOffset) {
            auto kind = out.placeKinds.find(placeKind(place));
            if (kind != out.placeKinds.end() && --kind->second == 0) {
                out.placeKinds.erase(kind);
            }
        }
    }
    for (const StringPlace& place : fresh) {
        if (place.offset >= kFirstRepeatOffset) {
            ++out.placeKinds[placeKind(place)];
        }
    }

    // The list: the listed places no edit reaches, and those read again, in file order,
    // each kind listed once.
    std::vector<StringPlace> merged;
    merged.reserve(facts.places.size() + fresh.size());
    std::size_t next = 0;
    for (const StringPlace& place : facts.places) {
        if (inside(reach, place.offset)) {
            continue;
        }
        while (next < fresh.size() && fresh[next].offset < place.offset) {
            merged.push_back(std::move(fresh[next++]));
        }
        merged.push_back(place);
    }
    while (next < fresh.size()) {
        merged.push_back(std::move(fresh[next++]));
    }
    std::map<std::string, std::uint64_t> firstOfKind;  // kind -> offset of its listed place
    for (const StringPlace& place : merged) {
        if (place.offset < kFirstRepeatOffset) {
            out.places.push_back(place);
            continue;
        }
        std::string kind = placeKind(place);
        if (firstOfKind.emplace(std::move(kind), place.offset).second &&
            out.places.size() < ImageFacts::kMaxPlaces) {
            out.places.push_back(place);
        }
    }
    // A listed place read again may have repeats that no edit reached, unknown here:
    // they stay repeats only when a place of its kind still comes no later than it did.
    for (const StringPlace& place : facts.places) {
        if (place.offset < kFirstRepeatOffset || !inside(reach, place.offset)) {
            continue;
        }
        const std::string kind = placeKind(place);
        const auto readAgain = static_cast<std::uint64_t>(std::count_if(
            gone.begin(), gone.end(), [&](const StringPlace& g) { return placeKind(g) == kind; }));
        const auto listed = firstOfKind.find(kind);
        if (facts.placeKinds.at(kind) > readAgain &&
            (listed == firstOfKind.end() || listed->second > place.offset)) {
            return factsOfWhole(edited, out.name);
        }
    }

    for (const std::uint64_t offset : facts.libraryStrings) {
        if (!inside(reach, offset)) {
            out.libraryStrings.push_back(offset);
        }
    }
    for (const StringPlace& place : merged) {
        if (inside(reach, place.offset) && isLibraryStringPlace(place)) {
            out.libraryStrings.push_back(place.offset);
        }
    }
    std::sort(out.libraryStrings.begin(), out.libraryStrings.end());

    out.head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, ImageFacts::kHeadSize)));
    edited.copy(0, out.head);
    for (StringPlace& place : out.places) {
        if (place.libraryString < 0 || place.roomAfter >= kZerosCounted) {
            continue;
        }
        for (const std::uint64_t buffer : {kLargeBuffer, kSmallBuffer}) {
            const std::uint8_t zeros = zerosThroughBuffer(place, buffer, [&](std::uint64_t source) {
                std::uint8_t byte = 0;
                if (source < size && (size >= buffer || source < ImageFacts::kHeadSize)) {
                    edited.copy(source, std::span(&byte, 1));
                }
                return byte;
            });
            (buffer == kLargeBuffer ? place.zerosOneMiBBuffer : place.zerosSixtyFourKiBBuffer) = zeros;
        }
    }
    if (checksumNeeded(out)) {
        const std::uint32_t before = facts.crc32            ? *facts.crc32
                                     : facts.crc32ForCopies ? *facts.crc32ForCopies
                                                            : crcOf(original);
        out.crc32 = crcOfEdited(before, original, edited, changed);
        out.crc32FirstThirtyTwoMiB = out.crc32;
    }
    return out;
}

}  // namespace tagwright
