// The verdict on one file: whether the console starts it, which types its strings ask
// for, and which readers that a tag can change do not give that type.
//
// A file is "ok" when its header starts on the console, its save-library strings ask
// for exactly one type, and every reader that reads strings (DeSmuME's slot 2 aside,
// which serves its save file as plain bytes whatever it reads) gives that type, as
// type_asked.hpp judges it. Readers that read no strings are reported but never judged:
// no tag can change them.
//
// When readers disagree, the command that makes them all give each type asked is
// looked for (remedy_search.hpp), or found to be missing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/save_type.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"
#include "report/header_facts.hpp"
#include "report/remedy_search.hpp"

namespace tagwright {

struct Verdict {
    bool headerStarts = false;
    std::vector<SaveType> asked;            // the types the strings ask for, in file order
    std::vector<std::size_t> disagreeing;   // with the one type asked: readers judged not giving it
    // For each type asked, when readers disagree: the command that mends it, or none.
    std::vector<std::pair<SaveType, std::optional<TagCommand>>> commands;
    // When a reader that differs refuses the file for its name: the name it opens
    // (name_remedy.hpp), under which the commands are judged; empty otherwise. With
    // no command, renaming the file is all it needs.
    std::string rename;

    bool ok() const { return headerStarts && asked.size() == 1 && disagreeing.empty(); }
    // Whether a command is worth looking for: a type is asked and not every reader gives it.
    bool needsCommand() const { return !asked.empty() && (asked.size() > 1 || !disagreeing.empty()); }
};

Verdict verdictOf(const HeaderFacts& header, const ImageFacts& facts,
                  std::span<const ReaderResult> results);

// Fills verdict.commands by trying commands on `bytes`, the file as read, whose facts
// are `facts` (see remedy_search.hpp); the output a command writes is judged under
// `outputName`.
void findCommands(Verdict& verdict, const ImageFacts& facts, std::span<const std::uint8_t> bytes,
                  const std::string& outputName);

}  // namespace tagwright
