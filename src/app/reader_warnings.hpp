// After a save that wrote a save tag, the bytes just written are judged by the same
// readers as --info. When one of the five string readers will not give the tag's
// type, one line goes to standard error, naming who gives what, why, and what
// avoids it, for example:
//
//   warning: rompatched.gba: ares gives no save memory (it skips a file's last 16
//   bytes); padding (-p) or empty space patching (-e6) avoids this
//
// Standard output and the exit status are never affected.
#pragma once

#include <iostream>
#include <string>

#include "image/rom_image.hpp"
#include "image/save_readers.hpp"

namespace tagwright {

// The scan of what write() put into the file for these arguments.
SaveStringScan scanOfWrittenFile(const RomImage& image, bool omitTagArea, Padding padding);

// The warning for a file that should read as `written`, or an empty text when every
// string reader gives that type.
std::string readerWarning(const std::string& name, const SaveStringScan& scan, SaveType written);

// Prints readerWarning() for the file just saved, if there is one.
void warnAboutReaders(const std::string& name, const RomImage& image, bool omitTagArea,
                      Padding padding, SaveType written, std::ostream& err);

}  // namespace tagwright
