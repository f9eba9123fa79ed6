// The name to give a file that a reader refuses for its name alone. Every reader that
// judges names opens one ending in ".gba" in lower case (Hades takes .gba and .bin in
// lower case, SkyEmu .gba), so the file keeps its name up to its last dot and takes
// that ending:
//
//   GAME.GBA -> GAME.gba     roms/game.bin -> game.gba     game -> game.gba
//
// Only the file's own name is given, without its folder: "rename it GAME.gba". A name
// that already ends so is its own answer: the reader refuses it for another reason.
#pragma once

#include <span>
#include <string>

#include "readers/reader_result.hpp"

namespace tagwright {

std::string nameReadersOpen(const std::string& name);

// `path` in its own folder under `name`: ("roms/GAME.GBA", "GAME.gba") -> "roms/GAME.gba".
std::string renamedPath(const std::string& path, const std::string& name);

// Whether a reader among `results` at the positions `among` refuses the file for its name.
bool anyRefusesName(std::span<const ReaderResult> results, std::span<const std::size_t> among);

}  // namespace tagwright
