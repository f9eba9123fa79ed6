// Names and arguments the program did not write itself (file names, command-line
// arguments) are shown through this one rule, so that no byte of theirs can act on a
// terminal or start a line of its own:
//
//   0x1B -> \e   0x0A -> \n   0x0D -> \r   0x09 -> \t
//   any other byte 0x00-0x1F, and 0x7F -> \xNN (two upper-case hex digits)
//   every other byte (printable ASCII, UTF-8 sequences) as it is
//
// The program's own words around a name are never passed through it.
#pragma once

#include <string>
#include <string_view>

namespace tagwright {

std::string terminalSafe(std::string_view text);

}  // namespace tagwright
