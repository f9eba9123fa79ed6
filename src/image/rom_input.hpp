// What a file must be for the program to take it as a ROM, and what it says when the
// file is not, in every front end (the command line, the menus, --info):
//
//   the file                                  what is said
//   does not open, or is not a regular file   There was a problem opening the file you specified!
//   2 GiB or more (sizes are signed 32-bit)   The ROM file is too large (2 GiB or more).
//   changed or cut short while it was read    There was a problem reading the file you specified!
//   an archive (archive_magic.hpp)            its refusal under the file's name, e.g.
//                                             "game.zip: a ZIP archive, not a ROM: unzip it first"
//
// The first three go where they always went (standard output, or the --info report);
// an archive's refusal goes to standard error ("tagwright: " first) and into --info's
// report. Nothing is written for a file that is refused.
#pragma once

#include <cstdint>
#include <limits>

namespace tagwright {

inline constexpr std::uint64_t kLargestRom = std::numeric_limits<std::int32_t>::max();

inline constexpr const char* kCannotOpenRom = "There was a problem opening the file you specified!";
inline constexpr const char* kRomTooLarge = "The ROM file is too large (2 GiB or more).";
inline constexpr const char* kCannotReadRom = "There was a problem reading the file you specified!";

}  // namespace tagwright
