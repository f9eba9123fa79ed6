#include "app/save_tag_option.hpp"

namespace tagwright {

std::optional<SaveType> TagsWritten::expected(WriteMode mode) const {
    const bool appendedInFile = mode == WriteMode::Appended && appended;
    if (embedded && (embeddedLast || !appendedInFile)) {
        return embedded;
    }
    return appendedInFile ? appended : std::nullopt;
}

void applySaveTagOption(const std::string& argument, RomImage& image, WriteMode& mode,
                        TagsWritten& tags, std::ostream& out) {
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
        tags.appended = type;
        tags.embeddedLast = false;
    } else if (image.findEmptySpace(out)) {
        image.embedSaveTag(*type);
        tags.embedded = type;
        tags.embeddedLast = true;
    }
}

}  // namespace tagwright
