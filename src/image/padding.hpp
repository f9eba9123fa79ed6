// Padding: a written file is extended with 0xFF bytes up to the next power of two
// at or above its length. A length that already is a power of two stays; an empty
// file becomes one 0xFF byte long.
#pragma once

#include <cstdint>

namespace tagwright {

inline constexpr std::uint8_t kPaddingByte = 0xFF;

// The length a file of `length` bytes has after padding.
std::uint64_t paddedLength(std::uint64_t length);

}  // namespace tagwright
