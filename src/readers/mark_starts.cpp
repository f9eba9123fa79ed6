#include "readers/mark_starts.hpp"

#include <algorithm>
#include <cstring>

#include "image/vector_width.hpp"

namespace tagwright {

namespace {

// How far past a place its pairs look: the S of FLAS, three bytes on.
constexpr std::size_t kReach = 3;
// Places tested together before asking whether any was a start.
constexpr std::size_t kStretch = 1024;

bool startsAt(const std::uint8_t* bytes, std::size_t at, std::size_t available) {
    const std::uint8_t b = bytes[at];
    const std::uint8_t next = at + 1 < available ? bytes[at + 1] : 0;
    if (b == 'E') {
        return next == 'E';
    }
    if (b == 'S') {
        return next == 'R' || next == 'I' || next == 'h';
    }
    return b == 'F' && at + kReach < available && bytes[at + kReach] == 'S';
}

// Whether any of `size` bytes (a multiple of 8) at `vector` is not zero.
bool anyByte(const void* vector, std::size_t size) {
    std::uint64_t any = 0;
    for (std::size_t at = 0; at < size; at += 8) {
        std::uint64_t lane;
        std::memcpy(&lane, static_cast<const std::uint8_t*>(vector) + at, sizeof lane);
        any |= lane;
    }
    return any != 0;
}

// Appends `first` + i for each byte i of the `size` at `vector` that is not zero.
void takeStarts(const void* vector, std::size_t size, std::size_t first, std::vector<std::size_t>& out) {
    for (std::size_t at = 0; at < size; ++at) {
        if (static_cast<const std::uint8_t*>(vector)[at] != 0) {
            out.push_back(first + at);
        }
    }
}

void findOneByOne(const std::uint8_t* bytes, std::size_t from, std::size_t to, std::size_t available,
                  std::vector<std::size_t>& out) {
    for (std::size_t at = from; at < to; ++at) {
        if (startsAt(bytes, at, available)) {
            out.push_back(at);
        }
    }
}

#define MARK_STARTS_WIDTH 16
#define MARK_STARTS_FUNCTION findIn16
#define MARK_STARTS_TARGET
#define MARK_STARTS_LEAVE()
#include "readers/mark_starts_stretches.inc"
#undef MARK_STARTS_WIDTH
#undef MARK_STARTS_FUNCTION
#undef MARK_STARTS_TARGET
#undef MARK_STARTS_LEAVE

#ifdef TAGWRIGHT_WIDE_VECTORS
#define MARK_STARTS_WIDTH 32
#define MARK_STARTS_FUNCTION findIn32
#define MARK_STARTS_TARGET TAGWRIGHT_TARGET_AVX2
#define MARK_STARTS_LEAVE()
#include "readers/mark_starts_stretches.inc"
#undef MARK_STARTS_WIDTH
#undef MARK_STARTS_FUNCTION
#undef MARK_STARTS_TARGET
#undef MARK_STARTS_LEAVE

#define MARK_STARTS_WIDTH 64
#define MARK_STARTS_FUNCTION findIn64
#define MARK_STARTS_TARGET TAGWRIGHT_TARGET_AVX512
#define MARK_STARTS_LEAVE TAGWRIGHT_CLEAR_AVX512_REGISTERS
#include "readers/mark_starts_stretches.inc"
#undef MARK_STARTS_WIDTH
#undef MARK_STARTS_FUNCTION
#undef MARK_STARTS_TARGET
#undef MARK_STARTS_LEAVE
#endif

}  // namespace

void findMarkStarts(const std::uint8_t* bytes, std::size_t from, std::size_t to, std::size_t available,
                    std::vector<std::size_t>& out) {
    std::size_t at = from;
    switch (vectorWidth()) {
#ifdef TAGWRIGHT_WIDE_VECTORS
        case 64:
            at = findIn64(bytes, from, to, available, out);
            break;
        case 32:
            at = findIn32(bytes, from, to, available, out);
            break;
#endif
        default:
            at = findIn16(bytes, from, to, available, out);
            break;
    }
    findOneByOne(bytes, at, to, available, out);
}

}  // namespace tagwright
