// The verdict on one file: whether the console starts it, which types its strings ask
// for, which type its game needs, and which readers that a tag can change do not give
// the type judged: the one the game needs where that is known (type_needed.hpp), else
// the one its strings ask for.
//
// A file is "ok" when its header starts on the console, there is exactly one type to
// judge (the need, or a single type the save-library strings ask for), and every
// reader that reads strings (DeSmuME's slot 2 aside, which serves its save file as
// plain bytes whatever it reads) gives that type, as type_asked.hpp judges it. Readers
// that read no strings are reported but never judged: no tag can change them.
//
// When readers disagree, the command that makes them all give each type judged is
// looked for (remedy_search.hpp), or found to be missing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/save_type.hpp"
#include "needs/game_needs.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"
#include "report/header_facts.hpp"
#include "report/remedy_search.hpp"

namespace tagwright {

struct Verdict {
    bool headerStarts = false;
    std::vector<SaveType> asked;            // the types the strings ask for, in file order
    std::optional<SaveType> needed;         // the type the game needs, when known
    std::vector<std::size_t> disagreeing;   // with the one type judged: readers judged not giving it
    // For each type judged, when readers disagree: the command that mends it, or none.
    std::vector<std::pair<SaveType, std::optional<TagCommand>>> commands;
    // When a reader that differs refuses the file for its name: the name it opens
    // (name_remedy.hpp), under which the commands are judged; empty otherwise. With
    // no command, renaming the file is all it needs.
    std::string rename;

    // The types judged: the one needed when known, else those the strings ask for.
    std::vector<SaveType> judged() const {
        return needed ? std::vector<SaveType>{*needed} : asked;
    }
    bool ok() const { return headerStarts && judged().size() == 1 && disagreeing.empty(); }
    // Whether a command is worth looking for: a type is judged and not every reader gives it.
    bool needsCommand() const {
        const auto types = judged();
        return !types.empty() && (types.size() > 1 || !disagreeing.empty());
    }
};

Verdict verdictOf(const HeaderFacts& header, const ImageFacts& facts,
                  std::span<const ReaderResult> results, const GameNeeds& needs = {});

// Fills verdict.commands by trying commands on `bytes`, the file as read, whose facts
// are `facts` (see remedy_search.hpp); the output a command writes is judged under
// `outputName`.
void findCommands(Verdict& verdict, const ImageFacts& facts, std::span<const std::uint8_t> bytes,
                  const std::string& outputName);

}  // namespace tagwright
