// One ROM patched by the single-letter options: loaded whole (an archive refused,
// read_rom.hpp); with --replace, the library strings of other types than the last
// -sN/-eN asks for overwritten, once; every option applied in command-line order; with
// --fix, the options of the command fix_plan.hpp chooses after the user's (-s and -e
// are not among those; a ROM it leaves as it is is not written); the header
// finalised; the output written (and padded) in one step; and the save warnings for
// what was written. The program's own messages
// ("Invalid option: ...", the empty-space search, file problems) go to `out` as
// they always have; the caller reports the outcome.
//
// A save over the input (the output name spelled as the input's, or naming the file
// read) replaces that file only if it is still there unchanged, and nothing else.
#pragma once

#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/fix_plan.hpp"
#include "app/save_tag_option.hpp"
#include "image/file_layer.hpp"
#include "image/library_strings.hpp"

namespace tagwright {

struct PatchRequest {
    std::span<const std::string> arguments;
    const std::vector<bool>* isOption = nullptr;  // which arguments are options
    bool replace = false;                         // --replace
    std::optional<std::string> output;            // the output name, whatever -o says
    bool fix = false;                             // --fix: the tag the game needs (fix_plan.hpp)
    files::HeldSignals* keepHeld = nullptr;       // signals held past the replacement
};

struct PatchOutcome {
    bool loaded = false;
    std::string refusal;  // not loaded: why the file is not a ROM (an archive), else empty
    bool written = false;
    std::string outputName;
    bool padded = false;
    TagArea tagArea = TagArea::Omitted;
    TagsWritten tags;
    std::vector<std::string> noRoom;            // the -e arguments that found no room
    std::vector<std::string> underHeader;       // the -s arguments of an image too short
    std::vector<LibraryStringChange> replaced;  // every change --replace listed
    std::optional<FixPlan> fix;                 // with --fix: what it chose
    // When the input was not read or the output not written: which file, and why.
    std::string failedName;
    std::string failure;
};

PatchOutcome patchRom(const std::string& input, const PatchRequest& request, std::ostream& out,
                      std::ostream& err);

}  // namespace tagwright
