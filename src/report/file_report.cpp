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

bool listedAsString(const StringPlace& place) {
    return place.has(Mark::EepromUnderscore) || place.has(Mark::SramUnderscore) ||
           place.has(Mark::FlashUnderscore) || place.has(Mark::Flash512Underscore) ||
           place.has(Mark::Flash1MUnderscore) || place.has(Mark::Shantae);
}

}  // namespace tagwright
