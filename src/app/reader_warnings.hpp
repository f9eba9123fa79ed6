// After a save that asked for a save type, the bytes just written are judged by every
// modelled reader, as --info judges a file; when one that a tag can change will not give
// the type asked, one line goes to standard error (report/save_warning.hpp), naming who
// gives what, why, and what would avoid it. Standard output and the exit status are
// never affected.
#pragma once

#include <iostream>
#include <string>

#include "image/rom_image.hpp"
#include "readers/image_facts.hpp"
#include "report/save_warning.hpp"

namespace tagwright {

// Prints the warning for the file just saved, if there is one; `tagArea` as given
// to write(). Looking for what would avoid it, other tags are tried on `image` itself;
// it is left as it was but for its tag area, which a later save fills again.
void warnAboutReaders(const std::string& name, RomImage& image, TagArea tagArea,
                      const SaveRequest& request, std::ostream& err);

}  // namespace tagwright
