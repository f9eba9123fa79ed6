#include "app/save_tag_option.hpp"

#include "console/terminal_text.hpp"

namespace tagwright {

std::optional<SaveType> TagsWritten::expected(TagArea tagArea) const {
    const bool appendedInFile = tagArea == TagArea::Included && appended;
    if (embedded && (embeddedLast || !appendedInFile)) {
        return embedded;
    }
    return appendedInFile ? appended : std::nullopt;
}

SaveTagOutcome applySaveTagOption(const std::string& argument, RomImage& image, TagArea& tagArea,
                                  TagsWritten& tags, std::ostream& out) {
    SaveTagOutcome outcome;
    const bool append = argument.at(1) == 's';
    tagArea = append ? TagArea::Included : TagArea::Omitted;
    if (argument.size() < 3) {
        out << "Need value for " << terminalSafe(argument) << '\n' << std::flush;
        return outcome;
    }
    const auto type = saveTypeFromNumber(argument[2] - '0');
    if (!type) {
        return outcome;
    }
    tags.asked = type;
    tags.askedEmbedded = !append;
    tags.foundRoom = append;  // an -e finds room below
    if (append && !image.appendedTagFits()) {
        tags.foundRoom = false;
        outcome.underHeader = true;
    } else if (append) {
        image.appendSaveTag(*type);
        tags.appended = type;
        tags.embeddedLast = false;
        outcome.tagged = true;
    } else if (image.findEmptySpace(out)) {
        image.embedSaveTag(*type);
        tags.embedded = type;
        tags.embeddedLast = true;
        outcome.tagged = true;
        tags.foundRoom = true;
    } else {
        outcome.noRoom = true;
    }
    return outcome;
}

}  // namespace tagwright
