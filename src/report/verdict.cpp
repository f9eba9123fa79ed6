#include "report/verdict.hpp"

#include <algorithm>

#include "report/type_asked.hpp"
#include "report/type_needed.hpp"

namespace tagwright {

Verdict verdictOf(const HeaderFacts& header, const ImageFacts& facts,
                  std::span<const ReaderResult> results, const GameNeeds& needs) {
    Verdict verdict;
    verdict.headerStarts = header.starts();
    verdict.asked = typesTheStringsAsk(facts);
    verdict.needed = typeNeeded(needs);
    if (const auto judged = verdict.judged(); judged.size() == 1) {
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i].tagCanChange && !givesTypeAsked(results[i], judged.front())) {
                verdict.disagreeing.push_back(i);
            }
        }
    }
    return verdict;
}

void findCommands(Verdict& verdict, const ImageFacts& facts, std::span<const std::uint8_t> bytes,
                  const std::string& outputName) {
    verdict.commands.clear();
    if (!verdict.needsCommand()) {
        return;
    }
    // As a save has the file before its tag: the header repaired, nothing else changed.
    SearchStart start;
    start.facts = &facts;
    start.original.base = bytes;
    start.header.overlay(bytes.first(std::min(bytes.size(), CartridgeHeader::kSize)));
    start.header.finalizeFrom(CartridgeHeader{});
    for (const SaveType type : verdict.judged()) {
        const auto found = workingCommands(start, outputName, type, 1);
        verdict.commands.emplace_back(type, found.empty() ? std::nullopt
                                                          : std::optional<TagCommand>(found[0]));
    }
}

}  // namespace tagwright
