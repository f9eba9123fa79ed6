// The -s and -e options of the command line: appended and empty-space save tagging.
#pragma once

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "image/library_strings.hpp"
#include "image/rom_image.hpp"

namespace tagwright {

// The tags a run has put into its image, and which of them came last.
struct TagsWritten {
    std::optional<SaveType> appended;  // in the tag area: in the file with TagArea::Included
    std::optional<SaveType> embedded;  // inside the image: in the file in both modes
    bool embeddedLast = false;
    // The last type an option asked for, whether that option was -e, and whether its
    // search found room (a tag was written).
    std::optional<SaveType> asked;
    bool askedEmbedded = false;
    bool foundRoom = true;

    // The type the file written with `tagArea` should read as: that of the last tag that
    // is in it; nothing when it holds no tag.
    std::optional<SaveType> expected(TagArea tagArea) const;
};

// What one -s or -e did.
struct SaveTagOutcome {
    bool tagged = false;       // false: no value, not a type 1-6, or -e found no room
    bool noRoom = false;       // -e found no room
    bool underHeader = false;  // -s on an image whose tag area lies under the header
};

// Handles one argument whose option letter is 's' or 'e'. Whether the output carries
// the tag area changes first (included for -s, omitted for -e), whatever follows the letter; then a
// digit 1 to 6 tags the image, nothing prints "Need value for <arg>", and any
// other character does nothing more. An -s on an image of up to 188 bytes writes no
// tag (RomImage::appendedTagFits()) and says so in the outcome. (--replace acts once
// for the whole run, before the tags: patch_run.hpp.)
SaveTagOutcome applySaveTagOption(const std::string& argument, RomImage& image, TagArea& tagArea,
                                  TagsWritten& tags, std::ostream& out = std::cout);

}  // namespace tagwright
