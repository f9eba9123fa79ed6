// The rules by which one string place is read from the bytes around it, shared by the
// scan (image_facts.hpp) and by the facts of an edited copy (edited_facts.hpp), which
// reads the places again only where an edit reaches them.
//
// A place at offset p is read from the bytes [p - kLongestLead, p + kPlaceReach): its
// lead before it, its marks, its library string with the zeros after it, and its text.
// Where the file ends inside that span, the end counts too (roomAfter).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/image_facts.hpp"

namespace tagwright {

inline constexpr std::size_t kLongestLead = 16;
inline constexpr std::size_t kLongestText = 16;
inline constexpr std::size_t kZerosCounted = 4;
// The longest library string (13) and the zeros counted after it.
inline constexpr std::size_t kPlaceReach = 13 + kZerosCounted;
// Places from here on are listed once per kind (see image_facts.hpp).
inline constexpr std::uint64_t kFirstRepeatOffset = 0x100;
// The DS loaders' read buffers, through which zeros past a file's end are seen.
inline constexpr std::uint64_t kLargeBuffer = kOneMiB;
inline constexpr std::uint64_t kSmallBuffer = kOneMiB / 16;

bool isTextCharacter(std::uint8_t c);

// The marks, library string, zeros and text of a place at `at` (offset `offset`), with
// `available` bytes from there to the file's end (or at least kWindow of them). False
// when no mark starts there. The lead is left to the caller (leadOf()).
bool placeWithoutLead(const std::uint8_t* at, std::size_t available, std::uint64_t offset,
                      StringPlace& place);

// The lead of a place at `offset`, from `byteAt(o)`, the file's byte o (o < offset).
template <typename ByteAt>
std::string leadOf(std::uint64_t offset, ByteAt byteAt) {
    std::string lead;
    for (std::size_t back = 1; back <= kLongestLead && back <= offset; ++back) {
        const std::uint8_t c = byteAt(offset - back);
        if (!isTextCharacter(c)) {
            break;
        }
        lead.insert(lead.begin(), static_cast<char>(c));
    }
    return lead;
}

template <typename ByteAt>
bool placeAt(const std::uint8_t* at, std::size_t available, std::uint64_t offset, ByteAt byteAt,
             StringPlace& place) {
    if (!placeWithoutLead(at, available, offset, place)) {
        return false;
    }
    place.lead = leadOf(offset, byteAt);
    return true;
}

// What makes two places (from kFirstRepeatOffset on) repeats of one another: every
// recorded respect, and the 1 MiB block.
std::string placeKind(const StringPlace& place);

// Whether a library string (image/save_library.hpp) starts at the place, from offset 192
// on (where --replace looks).
bool isLibraryStringPlace(const StringPlace& place);

// The length of the place's library string (0 when it has none).
std::size_t libraryLength(const StringPlace& place);

// The zeros after the place's library string as a DS loader sees them through its
// read buffer of `buffer` bytes, in a file of `size` bytes: the file's bytes, then
// past its end the bytes the buffer still holds, `byteAt(o)` being the file's byte o.
template <typename ByteAt>
std::uint8_t zerosThroughBuffer(const StringPlace& place, std::uint64_t buffer, ByteAt byteAt) {
    if (place.zerosInFile < place.roomAfter) {
        return place.zerosInFile;  // a byte of the file ends the run
    }
    const std::uint64_t end = place.offset + libraryLength(place);
    std::uint8_t zeros = place.zerosInFile;
    for (std::uint64_t at = end + zeros; zeros < kZerosCounted; ++at, ++zeros) {
        // A part of the buffer never filled reads zero; else the file's byte one
        // buffer earlier.
        const std::uint8_t byte = at >= buffer ? byteAt(at - buffer) : 0;
        if (byte != 0) {
            break;
        }
    }
    return zeros;
}

}  // namespace tagwright
