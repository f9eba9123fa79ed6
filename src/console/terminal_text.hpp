// Names and arguments the program did not write itself (file names, command-line
// arguments) are shown through this one rule, so that no byte of theirs can act on a
// terminal or start a line of its own:
//
//   0x1B -> \e   0x0A -> \n   0x0D -> \r   0x09 -> \t
//   any other byte 0x00-0x1F, and 0x7F -> \xNN (two upper-case hex digits)
//   a C1 control U+0080-U+009F written in UTF-8 (C2 80 .. C2 9F) -> \xC2\xNN
//   a byte 0x80-0x9F that belongs to no valid UTF-8 sequence (image/utf8_text.hpp) -> \xNN
//   every other byte (printable ASCII, other UTF-8 sequences, other stray bytes) as it is
//
// A terminal takes U+009B, and the lone byte 0x9B in a Latin-1 locale, as the start of
// a control sequence, just as it takes ESC [.
//
// The program's own words around a name are never passed through it.
#pragma once

#include <string>
#include <string_view>

namespace tagwright {

std::string terminalSafe(std::string_view text);

}  // namespace tagwright
