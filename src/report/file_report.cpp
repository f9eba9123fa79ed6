#include "report/file_report.hpp"

#include <utility>

#include "readers/judgement.hpp"

namespace tagwright {

FileReport reportOf(ImageFacts facts, GameNeeds needs) {
    FileReport report;
    report.header = headerFactsOf(facts.head, facts.size);
    report.results = judgeImage(facts);
    report.verdict = verdictOf(report.header, facts, report.results, needs);
    report.needs = std::move(needs);
    report.facts = std::move(facts);
    return report;
}

}  // namespace tagwright
