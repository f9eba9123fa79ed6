// Exit statuses of the command line (the interactive mode always ends with 0):
//
//   0    everything the command line asked for was done
//   1    something asked was not done: an input not read, an output not written or
//        not padded, an -e that found no room, a save type outside 1-6, a library
//        string --replace had no room to overwrite
//   2    the command line was not understood in full: an unknown option, a missing
//        value, an argument passed over (reported after doing what still can be done)
//   255  no argument named a file ("Filename needed!"), -1 in the program
//
// A run that meets several of these ends with the worst: 255, then 2, then 1.
#pragma once

#include <algorithm>

namespace tagwright {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoFileName = -1;

// The worse of two statuses in the order above.
inline int worstStatus(int a, int b) {
    const auto rank = [](int status) { return status == kExitNoFileName ? 256 : status; };
    return rank(a) >= rank(b) ? a : b;
}

}  // namespace tagwright
