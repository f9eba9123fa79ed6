// How every interactive screen that works on a ROM starts: ask for the file, measure
// it through probeImage, build the screen's own image and load the file into it
// (read_rom.hpp).
#pragma once

#include <iostream>
#include <memory>
#include <string>

#include "image/rom_image.hpp"

namespace tagwright {

// Stores the name typed in `name`. Returns nothing when the input ended before a
// name that opens, or when the file could not be loaded (the engine has said why) or
// was refused (an archive: said on `err`); the screen then returns to the main menu
// without showing its own menu.
std::unique_ptr<RomImage> loadRomForScreen(std::string& name, std::istream& in, std::ostream& out,
                                           std::ostream& err);

}  // namespace tagwright
