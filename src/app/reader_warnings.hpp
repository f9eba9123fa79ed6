// After a save that asked for a save type, the bytes just written are judged by every
// modelled reader, as --info judges a file; when one that a tag can change will not give
// the type asked, one line goes to standard error (report/save_warning.hpp), naming who
// gives what, why, and what would avoid it. Standard output and the exit status are
// never affected.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "image/rom_image.hpp"
#include "readers/image_facts.hpp"
#include "report/save_warning.hpp"

namespace tagwright {

// The image as it stood before the save's tag: the working header over its first 192
// bytes and, after an embedded tag, zeros where the tag went (the run it was put in).
std::vector<std::uint8_t> untaggedImage(const RomImage& image, const SaveRequest& request);

// Prints the warning for the file just saved, if there is one; `omitTagArea` as given
// to write().
void warnAboutReaders(const std::string& name, const RomImage& image, bool omitTagArea,
                      const SaveRequest& request, std::ostream& err);

}  // namespace tagwright
