// The warning after a save that asked for a save type (both front ends), one line for
// standard error, given exactly when some reader that a tag can change will not give the
// type asked (type_asked.hpp), whatever the reason. For example:
//
//   warning: rompatched.gba: SRAM asked, but some readers differ: no save memory: ares
//   (it skips strings in a file's last 16 bytes); refuses the file: SkyEmu (it opens
//   only names ending in .gba); -s6 -p or -e6 avoids this
//
// Readers are grouped by outcome, each group's outcome said once, each reader with its
// reason. Then what would avoid it: the commands (remedy_search.hpp) that would work,
// other than the one just used, at most two; "no tagwright command avoids this" when
// none would; "renaming it GAME.gba" when a reader refused the name (name_remedy.hpp); header text of
// UTF-8 (-t, -c, -m) when a reader refused the header, alone when that is all. Facts that explain
// it come first: a library string of another type still in the file ("it already holds
// EEPROM_V122 at 0x1F2C0") or, after --replace, each remaining text of another type a
// reader takes for a save string, with its offset ("plain text FLASHCARD at 0x4000"),
// each only when a reader that differs gives the type it stands for.
// (An -e that found no room has its own line from the front end.)
#pragma once

#include <span>
#include <string>
#include <vector>

#include "image/save_type.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"
#include "report/remedy_search.hpp"

namespace tagwright {

// What a save just did, as the warning needs it.
struct SaveRequest {
    SaveType type = SaveType::Sram512k;  // the type asked: the last -s/-e value, or the menu item
    bool embedded = false;               // -e, or the empty-space screen
    bool foundRoom = true;               // with embedded: whether a tag was written
    bool padded = false;                 // -p
    bool replaced = false;               // --replace

    // The command this request stands for, as the remedy search names commands.
    TagCommand command() const;
};

// Whether a reader refuses the file for its header (only header text that is not
// UTF-8 remains to be refused after a save; the user chooses that text).
bool refusesHeader(const ReaderResult& result);

// Whether the written file needs a warning.
bool needsWarning(const SaveRequest& request, std::span<const ReaderResult> written);

// The warning line (without its line end), or an empty text when none is needed.
// `remedies` are the commands that would work (other than the one used).
std::string saveWarning(const std::string& outputName, const SaveRequest& request,
                        const ImageFacts& written, std::span<const ReaderResult> results,
                        const std::vector<TagCommand>& remedies);

}  // namespace tagwright
