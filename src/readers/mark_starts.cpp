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

#define VECTOR_BODY "readers/mark_starts_stretches.inc"
#include "image/each_vector_width.inc"

}  // namespace

void findMarkStarts(const std::uint8_t* bytes, std::size_t from, std::size_t to, std::size_t available,
                    std::vector<std::size_t>& out) {
    const std::size_t at = TAGWRIGHT_BY_VECTOR_WIDTH(findIn, bytes, from, to, available, out);
    findOneByOne(bytes, at, to, available, out);
}

}  // namespace tagwright
