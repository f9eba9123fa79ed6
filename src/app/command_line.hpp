// The one-shot command-line front end.
//
//   tagwright ROM [options]      options act in command-line order, before or after ROM
//
//   -cCODE  game code (first 4 characters)     -mXX    maker code (first 2 characters)
//   -tTEXT  title (first 12 characters)        -rN     version byte (low 8 bits of N)
//   -sN     append save tag N (1-6)            -eN     embed save tag N in empty space
//   -oFILE  output name (default rompatched.gba; a lone -o restores the default)
//   -p      pad the output to the next power of two
//   -v      no effect
//
// "/" works as a prefix as well as "-". The first argument that is not an option
// names the input; later ones are passed over. The long options (long_options.hpp)
// take precedence over all of this.
#pragma once

#include <iostream>
#include <span>
#include <string>

namespace tagwright {

inline constexpr int kExitSuccess = 0;
// The output was not written or padded in full, or the input could not be loaded.
inline constexpr int kExitFailure = 1;
// No argument named a file; shows as 255 where only the low 8 bits are kept.
inline constexpr int kExitNoFileName = -1;

inline constexpr const char* kDefaultOutputName = "rompatched.gba";

// On standard error when memory ran out anywhere outside the image buffer.
inline constexpr const char* kOutOfMemory = "tagwright: out of memory";

// Runs one patching job. `arguments` are the arguments after the program's own path.
// The program's messages go to `out`; `err` gets only diagnostics beyond them.
int commandLineMode(std::span<const std::string> arguments, std::ostream& out = std::cout,
                    std::ostream& err = std::cerr);

}  // namespace tagwright
