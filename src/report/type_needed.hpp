// The save type a game's need stands for, and the need in a player's words.
//
//   need                     type     tag
//   SRAM, 32 or 64 KiB       6        SRAM_V113 (no tag names 64 KiB; readers that read
//                                     strings give SRAM of 32 or 64 KiB alike)
//   Flash, 128 KiB           3        FLASH1M_V103
//   Flash, 64 KiB            4        FLASH_V123
//   Flash, size not shown    none     the size is the one thing a Flash tag says
//   EEPROM, 8 KiB            2        EEPROM_V124
//   EEPROM, 512 B or unsized 1        EEPROM_V120 (readers size EEPROM at run time)
//   none, unknown            none
//
// The need is known when it has a type; then the verdict, the suggested command and
// --fix use it in place of the types the strings ask for.
#pragma once

#include <optional>
#include <string>

#include "image/save_type.hpp"
#include "needs/game_needs.hpp"

namespace tagwright {

std::optional<SaveType> typeNeeded(const GameNeeds& needs);

// "SRAM, 32 KiB", "Flash, 128 KiB", "Flash (size not shown)", "EEPROM, 512 bytes",
// "no save memory", "not known".
std::string memoryText(SaveMemory memory, std::optional<std::uint32_t> bytes);

// "The game's code uses: SRAM, 32 KiB"; for a need a trial run decided, "The game, run
// for a trial, uses: ..."; for an unknown one, "The game's save memory: not known".
std::string needsHeadline(const GameNeeds& needs);

// The evidence items a report shows for a player: the deciding ones (at most three),
// else the supporting ones (at most three), else the first three.
std::vector<const NeedEvidence*> shownEvidence(const GameNeeds& needs);

// Where an item was seen: "at 0x08012A40" (its ROM offset as the processor sees it),
// "in frame 12 of the trial run", or nothing.
std::string evidencePlace(const NeedEvidence& evidence);

// The warning after a save that asked for `asked` when the game's code, judged alone,
// uses another memory; empty otherwise:
//   warning: game.gba: EEPROM asked, but the game's code uses SRAM (byte writes to
//   0x0E000000 at 0x08012A40); -s6 or -e6 gives it that
std::string codeDisagreement(const std::string& outputName, SaveType asked,
                             const GameNeeds& code);

}  // namespace tagwright
