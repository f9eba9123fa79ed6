// One patch as the page asks for it, and what came of it.
//
// The bytes produced are those the command line writes for the same choices:
//
//   placement   command line
//   Append      -sN          (tag after the image, at the next multiple of 4)
//   Embed       -eN          (tag over the first usable run of 12 zero bytes; the
//                             file keeps its size; no run: nothing is produced)
//   Automatic   -eN when the image has such a run, else -sN -p
//
// with -tTITLE, -cCODE, -mXX, -rN for the fields given, -p when pad is set and
// --replace when leftover library save strings of other types are to be replaced
// (before the tag is placed, as the command line does).
// The header is repaired in every case, as every save of the program does. The new
// file is judged under its name as the command line judges what it saves: when a
// reader will not give the type asked, `warning` holds the line the command line
// writes to standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/library_strings.hpp"
#include "image/save_type.hpp"

namespace tagwright::web {

enum class Placement : std::uint8_t { Append, Embed, Automatic };

struct PatchRequest {
    std::string outputName;  // the name the new file will have
    SaveType type = SaveType::Sram512k;
    Placement placement = Placement::Automatic;
    bool pad = false;
    bool replaceStrings = false;
    std::optional<std::string> title;      // as -t: an empty text leaves the title
    std::optional<std::string> gameCode;   // as -c
    std::optional<std::string> makerCode;  // as -m
    std::optional<std::uint8_t> version;   // as -r
};

struct PatchResult {
    bool written = false;
    std::string problem;                  // in words, when nothing was written
    std::vector<std::uint8_t> bytes;      // the new file
    std::uint64_t fill = 0;               // of which the last `fill` bytes are padding
    std::optional<std::uint64_t> embeddedAt;  // where the tag went inside the image
    bool padded = false;
    std::vector<LibraryStringChange> replaced;  // every change listed, made or not
    std::string warning;                        // empty when every reader gives the type
    // The game's code uses another save memory than the type written gives (the
    // command line's warning after a save).
    bool codeDisagrees = false;
};

// Patches a copy of `image`; the input is never changed.
PatchResult patchImage(std::span<const std::uint8_t> image, const PatchRequest& request);

}  // namespace tagwright::web
