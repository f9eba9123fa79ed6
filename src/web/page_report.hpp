// The report the page shows for a file's bytes, as one JSON object:
//
//   {"report": the object tagwright --info --json gives for the same bytes and name,
//    "groups": [{"outcome": text, "readers": [{"id": text, "name": text,
//                                             "note": text}, ...]}, ...],
//    "readers": [{"id": text, "place": text, "outcome": text, "note": text,
//                 "gives": [type numbers]}, ...],
//    "needs": {"outcome": text, "bytes": n or null, "type": n or null,
//              "memory": text, "why": text}}
//
// "groups" are the readers grouped by what they give, with the outcome and notes in the
// words of the text report (report/outcome_groups.hpp).
//
// "readers" lists every reader in the readers' own order with where people play it,
// its outcome in the same words, and the save types (1 to 6) whose tag it would
// honour as asked (report/type_asked.hpp). Places:
//
//   computers and phones   VBA-M, VBA-M libretro, NanoBoyAdvance, SkyEmu, ares, mGBA,
//                          gpSP, Mesen2, Hades, RustBoyAdvance-ng, GBA.js, IodineGBA,
//                          Meteor, Delta, GBA.emu, VBA-GX (Wii and GameCube)
//   DS and 3DS             NooDS, DeSmuME slot 2, open_agb_firm, GBARunner2,
//                          GBARunner3, TWiLight Menu++ Slot-2
//   flash carts and FPGA   EZ-Flash Omega, MiSTer, Analogue Pocket
//
// "needs" is what the game's own code needs (needs/game_needs.hpp), only for a file
// opened: outcome sram, flash, eeprom, none or unknown; the save type that gives
// exactly that memory (SRAM 32 KiB 5, 64 KiB 6; Flash 64 KiB 4, 128 KiB 3; EEPROM
// 512 B 1, 8 KiB 2), or null; the memory in the report's words ("SRAM 64 KiB"), and
// the deciding evidence in a player's words.
//
// The commands that would mend the file are looked for only when asked: the report of
// a patched file leaves them out, as they would be commands to patch the patched file
// again (the warning after the patch names those for the file opened).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/save_type.hpp"

namespace tagwright::web {

enum class Commands : bool { Omit, Find };

// The file is `bytes` followed by `fill` bytes 0xFF (padding), which the scan passes
// over without reading them.
std::string pageReport(std::span<const std::uint8_t> bytes, std::uint64_t fill,
                       const std::string& name, Commands commands);

// The save memory a save type's tag asks for, in the report's words: "SRAM 64 KiB".
std::string saveTypeMemory(SaveType type);

}  // namespace tagwright::web
