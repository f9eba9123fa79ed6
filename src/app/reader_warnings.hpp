// After a save that asked for a save type, the game's code is judged alone (no trial
// run: a save stays quick); when it uses another memory than the one asked, a line says
// so on standard error (report/type_needed.hpp). Then the warning about readers that
// will not give the type asked (report/written_file_check.hpp). Standard output and the
// exit status are never affected.
#pragma once

#include <iostream>
#include <string>

#include "image/rom_image.hpp"
#include "report/save_warning.hpp"

namespace tagwright {

// Prints the warning for the file just saved as `name`, if there is one, judged under
// the name the file system stored; `tagArea` as given to write(). `image` is left as
// warningAfterSave() leaves it.
void warnAboutReaders(const std::string& name, RomImage& image, TagArea tagArea,
                      const SaveRequest& request, std::ostream& err);

}  // namespace tagwright
