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
// Each candidate's file is an edit of the file as read (its header, replaced strings,
// a tag, padding), so its facts are derived from the file's facts and the edited bytes
// (readers/edited_facts.hpp): a few microseconds each, whatever the size, no copy of
// the image and no second read. The search stops as soon as it has found what it was
// asked for.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/cartridge_header.hpp"
#include "image/save_type.hpp"
#include "readers/edited_facts.hpp"
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

// The file the commands are tried on, as a save has it before placing its tag:
// `original` is the file as read (with `facts`, its facts), `header` the working header
// as a save finalises it, and `changes` the other bytes a save changed over
// original.base before its tag (strings it replaced; an embedded tag taken out again),
// later ones over earlier ones.
struct SearchStart {
    const ImageFacts* facts = nullptr;
    EditedBytes original;
    CartridgeHeader header;
    std::vector<BytePatch> changes;
};

// The file a save writes from `start` with `command` (its --replace and -c left to the
// caller: the start holds them), as an edit of start.original.base. `bytes` receives
// what a file under 192 bytes is rewritten as, which the result refers to. Nothing for
// -e without room.
std::optional<EditedBytes> savedFile(const SearchStart& start, const std::vector<BytePatch>& changes,
                                     const CartridgeHeader& header, const TagCommand& command,
                                     std::vector<std::uint8_t>& bytes);

// Whether every reader that a tag can change gives `asked`.
bool allTagChangeableGive(std::span<const ReaderResult> results, SaveType asked);

// The file a command writes and who gives what there.
struct TriedCommand {
    TagCommand command;
    std::vector<ReaderResult> results;  // empty when the command writes no tag (-e, no room)
    bool works = false;
};

// Tries the candidates on `start`, judged under the name `outputName`, and keeps at
// most `limit` that work, in order of preference, leaving out those `skip` accepts
// (never judged).
std::vector<TagCommand> workingCommands(const SearchStart& start, const std::string& outputName,
                                        SaveType asked, std::size_t limit,
                                        const std::function<bool(const TagCommand&)>& skip = {});

}  // namespace tagwright
