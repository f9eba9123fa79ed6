// Where a save string's mark may start: the only places the scanner tests.
//
// Every mark begins with two bytes no other mark begins with, or has an S three bytes
// after its F:
//
//   EEPR...      "EE"
//   SRAM...      "SR"
//   SIIRTC...    "SI"
//   Shantae...   "Sh"
//   FLASH...     'F', then 'S' three bytes later
//
// Such pairs are rare in a ROM (a few in 65536 places of random bytes), far rarer than
// either letter alone, so the search tests every place for all five pairs at once, a
// vector of places at a time (image/vector_width.hpp), and looks at single places only
// in a stretch that holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagwright {

// Appends to `out`, in ascending order, every place p in [from, to) at which a mark
// may start. bytes[0, available) may be read (available >= to); a pair that would
// need a byte at or past `available` is not there.
void findMarkStarts(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                    std::size_t available, std::vector<std::size_t>& out);

}  // namespace tagwright
