// Where an embedded save tag may go.
//
// A usable run is 12 zero bytes starting at offset s, where
//   * s >= 228 (0xE4): the first 192 bytes of every written file are replaced by
//     the working header, so a tag there would be lost, and some loaders (the 3DS's
//     open_agb_firm, GBA.js) start looking at 0xE4, past the multiboot fields;
//   * s is a multiple of 4: the tag must sit at a word-aligned address, and
//     emulators only look for it at such offsets.
// The search takes positions p = 0, 1, ... in order; p completes a run when
// s = p - 11 meets both rules and bytes s..p are all zero. The lowest such p wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tagwright {

inline constexpr std::size_t kEmptyRunLength = 12;
inline constexpr std::size_t kEmptyRunFirstOffset = 228;
inline constexpr std::size_t kEmptyRunAlignment = 4;

// Start offset of the first usable run in `image`, or nothing when there is none.
std::optional<std::size_t> findEmptyRun(std::span<const std::uint8_t> image);

}  // namespace tagwright
