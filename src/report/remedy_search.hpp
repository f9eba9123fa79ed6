// The tagwright command that makes every reader that reads strings (and that a tag can
// change) give the type asked, found by trying commands on the bytes in memory and
// judging the file each would write, exactly as a save writes it.
//
// A reader that refuses the header (the console-checked bytes are repaired by every save,
// so only header text that is not UTF-8 remains) does not stop a candidate; the
// candidate then says that it needs header text (needsTextHeader).
//
// Candidates, in order of preference (N the type asked):
//
//   -sN     -sN -p     -eN
//   the same three with --replace, only when the file holds a library string of
//     another type (otherwise --replace changes nothing)
//   all six again with -cZTGP (a game code in no reader's table and under no letter
//     rule), only when none of the above works and a table or the game code decided
//     a reader that did not agree
//
// For type 5 (SRAM_F_V103), the same candidates with type 6 follow: SRAM_V113 asks for
// the same class and more readers read it.
//
// The plain candidates are tried on the image in place (no copy: a save's check stays
// within the memory of the save); each costs one pass over the image, and the search
// stops as soon as it has found what it was asked for.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/rom_image.hpp"
#include "image/save_type.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

inline constexpr const char* kNeutralGameCode = "ZTGP";

struct TagCommand {
    SaveType type = SaveType::Sram512k;
    bool embed = false;    // -eN, else -sN
    bool pad = false;      // -p
    bool replace = false;  // --replace
    std::string gameCode;  // -c<code>, empty when not given
    // It works only once the header's title, game code and maker code are UTF-8 text,
    // which only the user can choose (-t, -c, -m): a reader refuses the header otherwise.
    bool needsTextHeader = false;

    // "-s6 -p --replace -cZTGP"
    std::string options() const;
    // options(), then what else it needs: " (once the title, game code and maker code
    // are UTF-8 text: -t, -c, -m)".
    std::string optionsAndNeeds() const;
    friend bool operator==(const TagCommand&, const TagCommand&) = default;
};

// The facts of the file that write() makes of `image` with these arguments, gathered
// from the bytes in memory under the file's `name`.
ImageFacts factsOfOutput(const RomImage& image, const std::string& name, TagArea tagArea,
                         Padding padding);

// Whether every reader that a tag can change gives `asked`.
bool allTagChangeableGive(std::span<const ReaderResult> results, SaveType asked);

// The file a command writes and who gives what there.
struct TriedCommand {
    TagCommand command;
    std::vector<ReaderResult> results;  // empty when the command writes no tag (-e, no room)
    bool works = false;
};

// Tries the candidates on `image`, judged under the name `outputName`, and keeps at
// most `limit` that work, in order of preference, leaving out those `skip` accepts
// (never judged). `image` holds the bytes as they stand before tagging (no embedded
// tag), its working header is finalised as a save would, and its tag area is left
// holding a tag; the other bytes stay as they were (--replace and -c are tried on a
// copy). Returns nothing when a copy cannot be held in memory.
std::vector<TagCommand> workingCommands(RomImage& image, const std::string& outputName,
                                        SaveType asked, std::size_t limit,
                                        const std::function<bool(const TagCommand&)>& skip = {});

}  // namespace tagwright
