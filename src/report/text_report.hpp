// The --info report of one file, for people:
//
//   game.gba  16384 bytes (power of two)
//     needs    The game's code uses: SRAM, 32 KiB
//              - byte writes to the save area at 0x0800012C
//                STRB r1, [r0]: stores a byte at 0x0E000020
//     header   "MYGAME" BMGE 01 v0   logo ok  0xB2 ok  complement 0x95 ok
//     strings  SRAM_V113 at 0x800 (aligned)
//     readers  SRAM 32 KiB: VBA-M, VBA-M libretro, NanoBoyAdvance, ...
//              SRAM 64 KiB: GBARunner2 (by default), EZ-Flash Omega (reads no strings)
//              decided at run time, Flash 64 KiB: gpSP (by default), Meteor, ...
//     verdict  ok: every reader that reads strings gives SRAM
//
// The game's need comes first (type_needed.hpp): its headline, then the evidence that
// decides (at most three pieces), each with the developer's detail under it; a build
// without a trial run says so under a need it could not tell.
//
// Readers are grouped by outcome (outcome_groups.hpp), a group's names wrapped at 80
// columns. When readers that read strings disagree, a line "command" follows the
// verdict: the one tagwright command that makes them all give the type judged (the one
// the game needs where that is known, else the one the strings ask for), or "none" when
// no command can (one line per type when the strings ask for more than one). The name
// goes through terminalSafe(), quoted for a POSIX shell in the command when it needs
// to be.
#pragma once

#include <ostream>
#include <string>

#include "report/file_report.hpp"

namespace tagwright {

void printTextReport(const FileReport& report, std::ostream& out);

// The one-line report of a file that could not be read.
void printUnreadable(const std::string& name, const std::string& problem, std::ostream& out);

// `name` as one word of a POSIX shell command ('...' quoted when it needs to be).
std::string shellWord(const std::string& name);

}  // namespace tagwright
