// The program-wide image through which every front end measures its input file.
#pragma once

#include "image/rom_image.hpp"

namespace tagwright {

// Never holds image data; only receives RomImage::probeSize().
extern RomImage probeImage;

}  // namespace tagwright
