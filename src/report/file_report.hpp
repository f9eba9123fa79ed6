// Everything a report says about one file, as plain values: its facts, its header, what
// save memory its game needs, every reader's result and the verdict. The text and JSON forms only format this.
#pragma once

#include <string>
#include <vector>

#include "needs/game_needs.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"
#include "report/header_facts.hpp"
#include "report/verdict.hpp"

namespace tagwright {

inline constexpr int kReportOk = 0;
inline constexpr int kReportFallsShort = 1;
inline constexpr int kReportUnreadable = 2;

struct FileReport {
    ImageFacts facts;
    HeaderFacts header;
    GameNeeds needs;
    std::vector<ReaderResult> results;
    Verdict verdict;

    int status() const { return verdict.ok() ? kReportOk : kReportFallsShort; }
};

// Judges the file, whose game needs what `needs` says (judged by the caller, who holds
// its bytes); the commands are not looked for yet (findCommands()).
FileReport reportOf(ImageFacts facts, GameNeeds needs = {});

}  // namespace tagwright
