// Reading a named ROM into a working image, as the command line and the menus do:
// measured through probeImage, loaded whole, and refused when it is an archive
// (image/rom_input.hpp: what each refusal says, and where).
#pragma once

#include <iostream>
#include <memory>
#include <string>

#include "image/rom_image.hpp"

namespace tagwright {

struct RomRead {
    std::unique_ptr<RomImage> image;  // nothing when the file was refused
    // Why an archive was refused ("a ZIP archive, not a ROM: unzip it first"), for the
    // caller to put under the file's name; empty when the engine said why on `out`.
    std::string refusal;
    // Why the file could not be read ("No such file or directory"), when it could not.
    std::string failure;
};

RomRead readRom(const std::string& name, std::ostream& out);

}  // namespace tagwright
