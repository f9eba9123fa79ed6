// The -s and -e options of the command line: appended and empty-space save tagging.
#pragma once

#include <iostream>
#include <string>

#include "image/rom_image.hpp"

namespace tagwright {

// In-place writes the image's own bytes; appended adds the 12-byte tag area.
enum class WriteMode { InPlace, Appended };

// Handles one argument whose option letter is 's' or 'e'. The write mode changes
// first (appended for -s, in-place for -e), whatever follows the letter; then a
// digit 1 to 6 tags the image, nothing prints "Need value for <arg>", and any
// other character does nothing more.
void applySaveTagOption(const std::string& argument, RomImage& image, WriteMode& mode,
                        std::ostream& out = std::cout);

}  // namespace tagwright
