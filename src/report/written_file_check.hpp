// The check after a save that asked for a save type: the bytes just written are judged
// by every modelled reader, as --info judges a file, and when one that a tag can change
// will not give the type asked, the warning line (save_warning.hpp) names who gives what,
// why, and what would avoid it. Reads and writes no file: every front end (the command
// line, the menus, the page) words its warning through it.
#pragma once

#include <string>

#include "image/rom_image.hpp"
#include "report/save_warning.hpp"

namespace tagwright {

// The warning for the file just saved under `storedName` (the name as the file system
// keeps it, which is what emulators see), or an empty text; `tagArea` as given to
// write(). Looking for what would avoid it, other tags are tried on `image` itself; it
// is left as it was but for its tag area, which a later save fills again.
std::string warningAfterSave(const std::string& storedName, RomImage& image, TagArea tagArea,
                             const SaveRequest& request);

}  // namespace tagwright
