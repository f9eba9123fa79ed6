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

}  // namespace tagwright
