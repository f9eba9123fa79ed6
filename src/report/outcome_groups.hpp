// Readers grouped by what they give, for reports and warnings: the outcome once, then
// every reader that gives it, in the readers' own order; groups in the order of their
// first reader.
//
// Outcome texts (the size only where the reader fixes it):
//   EEPROM | EEPROM 512 B | EEPROM 8 KiB       SRAM 32 KiB | SRAM 64 KiB
//   Flash 64 KiB | Flash 128 KiB               no save memory
//   decided at run time | decided at run time, Flash 64 KiB | ..., Flash 128 KiB
//   refuses the file
//
// A reader's note says why, where that is not simply the file's one string type: its
// reason, else "by default" for a fallback, "by its table" or "by the game code" for
// those, "reads no strings" for a reader that reads none.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "readers/reader_result.hpp"

namespace tagwright {

struct OutcomeGroup {
    std::string outcome;                // the outcome text
    std::vector<std::size_t> members;  // indices into the results
};

std::string outcomeText(const ReaderResult& result);

// The note shown after the reader's name, or an empty text.
std::string readerNote(const ReaderResult& result);

// Groups the results whose index `include` accepts (all when it is empty).
std::vector<OutcomeGroup> groupByOutcome(std::span<const ReaderResult> results,
                                         const std::vector<bool>& include = {});

// "ares, gpSP (it skips ...), VBA-M, GBA.js": the members by name, those with the same
// note together, the note once in parentheses after the last of them, and those
// without a note last.
std::string membersText(std::span<const ReaderResult> results, const OutcomeGroup& group);

}  // namespace tagwright
