// UTF-8 as the program takes it everywhere (names, header text, reports): a sequence
// is valid only in its shortest form, never a surrogate (U+D800..U+DFFF), never above
// U+10FFFF:
//
//   lead byte   length   second byte   further bytes
//   00..7F      1        -             -
//   C2..DF      2        80..BF        -
//   E0          3        A0..BF        80..BF
//   E1..EC EE EF 3       80..BF        80..BF
//   ED          3        80..9F        80..BF
//   F0          4        90..BF        80..BF
//   F1..F3      4        80..BF        80..BF
//   F4          4        80..8F        80..BF
//
// Any other byte (80..C1, F5..FF as a lead) starts no valid sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tagwright {

// The length of the valid sequence that starts at text[at] (at < text.size()), with its
// code point in `codePoint`; 0 when none starts there (codePoint is then unspecified).
std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& codePoint);

// Whether every byte of `text` belongs to a valid sequence.
bool isValidUtf8(std::string_view text);

}  // namespace tagwright
