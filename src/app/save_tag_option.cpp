#include "app/save_tag_option.hpp"

namespace tagwright {

void applySaveTagOption(const std::string& argument, RomImage& image, WriteMode& mode,
                        std::ostream& out) {
    const bool append = argument.at(1) == 's';
    mode = append ? WriteMode::Appended : WriteMode::InPlace;
    if (argument.size() < 3) {
        out << "Need value for " << argument << '\n' << std::flush;
        return;
    }
    const auto type = saveTypeFromNumber(argument[2] - '0');
    if (!type) {
        return;
    }
    if (append) {
        image.appendSaveTag(*type);
    } else if (image.findEmptySpace(out)) {
        image.embedSaveTag(*type);
    }
}

}  // namespace tagwright
