#include "app/fix_plan.hpp"

#include <algorithm>

#include "needs/trial_run.hpp"
#include "readers/edited_facts.hpp"
#include "report/type_asked.hpp"
#include "report/type_needed.hpp"

namespace tagwright {

namespace {

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

}  // namespace

FixPlan planFix(RomImage& image, const std::string& outputName) {
    FixPlan plan;
    const auto rom = image.buffer().first(static_cast<std::size_t>(std::max(image.size(), 0)));
    plan.needs = judgeGameNeeds(rom, trialRunner());
    const auto type = typeNeeded(plan.needs);
    if (plan.needs.outcome == SaveMemory::None) {
        plan.left = "left as it is: " + lowerFirst(needsHeadline(plan.needs)) + "; it needs no save tag";
        return plan;
    }
    plan.status = 1;
    if (plan.needs.outcome == SaveMemory::Flash && !type) {
        plan.left = "left as it is: " + lowerFirst(needsHeadline(plan.needs)) +
                    "; check which Flash chip the game expects, then use -s3 (128 KiB) or -s4 "
                    "(64 KiB)";
        return plan;
    }
    if (!type) {
        plan.left = "left as it is: which save memory the game uses is not known; check its "
                    "source or documentation, then use -sN (tagwright --info shows what was seen)";
        return plan;
    }
    // As a save has the file before its tag: the header edits and repair, nothing else.
    SearchStart start;
    start.original.base = rom;
    const ImageFacts before = factsOfWhole(start.original, outputName, true);
    start.facts = &before;
    start.header = image.header();
    start.header.finalizeFrom(CartridgeHeader{});
    const auto found = workingCommands(start, outputName, *type, 1);
    if (found.empty()) {
        const std::string n = std::to_string(static_cast<int>(*type));
        plan.left = "left as it is: " + lowerFirst(needsHeadline(plan.needs)) +
                    ", but no tagwright command makes every reader that reads strings give " +
                    typeAskedText(*type) + "; -s" + n + " gives it to most";
        return plan;
    }
    plan.command = found.front();
    plan.status = 0;
    return plan;
}

std::string fixDone(const FixPlan& plan) {
    return lowerFirst(needsHeadline(plan.needs)) + ": " +
           (plan.command ? plan.command->optionsAndNeeds() : std::string());
}

}  // namespace tagwright
