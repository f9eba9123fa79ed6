#include "report/file_report.hpp"

#include <utility>

#include "readers/judgement.hpp"

namespace tagwright {

FileReport reportOf(ImageFacts facts) {
    FileReport report;
    report.header = headerFactsOf(facts.head, facts.size);
    report.results = judgeImage(facts);
    report.verdict = verdictOf(report.header, facts, report.results);
    report.facts = std::move(facts);
    return report;
}

bool listedAsString(const StringPlace& hit) {
    return hit.has(Mark::EepromUnderscore) || hit.has(Mark::SramUnderscore) ||
           hit.has(Mark::FlashUnderscore) || hit.has(Mark::Flash512Underscore) ||
           hit.has(Mark::Flash1MUnderscore) || hit.has(Mark::Shantae);
}

}  // namespace tagwright
