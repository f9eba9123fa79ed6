// What --fix writes into one ROM: the save type its game needs (judged from its code,
// then a trial run where this build has one), by the command the remedy search finds
// for that type (report/remedy_search.hpp: embedded where there is room, else appended
// and padded, with --replace where another type's string stands), so that every reader
// that reads strings gives it.
//
//   need                          the ROM            status  its line says
//   SRAM, Flash or EEPROM known   written            0       the need and the options
//   none                          left as it is      0       that it needs no tag
//   unknown, or Flash of no size  left as it is      1       what to check
//   known, but no command works   left as it is      1       that, and the nearest -sN
#pragma once

#include <optional>
#include <string>

#include "image/rom_image.hpp"
#include "needs/game_needs.hpp"
#include "report/remedy_search.hpp"

namespace tagwright {

struct FixPlan {
    GameNeeds needs;
    std::optional<TagCommand> command;  // nothing: the ROM is left as it is
    int status = 0;                     // 0 or 1, for this ROM
    std::string left;                   // without a command: why, for the ROM's line
};

// Judges `image` (loaded, header edits applied) and finds the command, judged under
// `outputName`; the image is left as it was.
FixPlan planFix(RomImage& image, const std::string& outputName);

// "the game's code uses SRAM, 32 KiB: -s6 -p"
std::string fixDone(const FixPlan& plan);

}  // namespace tagwright
