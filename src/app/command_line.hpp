// The one-shot command-line front end.
//
//   tagwright ROM [options]      options act in command-line order, before or after ROM
//   tagwright --in-place [options] ROM...   the same options on every ROM, each
//                                written over itself; never rompatched.gba
//
//   -cCODE  game code (first 4 characters)     -mXX    maker code (first 2 characters)
//   -tTEXT  title (first 12 characters)        -rN     version byte (low 8 bits of N)
//   -sN     append save tag N (1-6)            -eN     embed save tag N in empty space
//   -oFILE  output name (default rompatched.gba; a lone -o restores the default)
//   -p      pad the output to the next power of two
//   -v      no effect
//   --replace  with -sN or -eN: library save strings of another type are overwritten
//           by the tag's text first (library_strings.hpp), each change on stderr
//
// "/" works as a prefix as well as "-" (on POSIX systems an argument naming an
// existing file by its absolute path is a name). The first argument that is not an
// option names the input; later ones are passed over, with a line on stderr. The
// long options of long_options.hpp take precedence over all of this. Exit statuses:
// exit_status.hpp.
#pragma once

#include <iostream>
#include <span>
#include <string>

#include "app/exit_status.hpp"

namespace tagwright {

inline constexpr const char* kDefaultOutputName = "rompatched.gba";

// On standard error when memory ran out anywhere outside the image buffer.
inline constexpr const char* kOutOfMemory = "tagwright: out of memory";

// Runs one patching job. `arguments` are the arguments after the program's own path.
// The program's messages go to `out`; `err` gets only diagnostics beyond them.
int commandLineMode(std::span<const std::string> arguments, std::ostream& out = std::cout,
                    std::ostream& err = std::cerr);

}  // namespace tagwright
