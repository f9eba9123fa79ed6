#include "report/outcome_groups.hpp"

#include <algorithm>
#include <utility>

namespace tagwright {

namespace {

std::string sizeText(std::uint32_t bytes) {
    if (bytes % 1024 == 0) {
        return std::to_string(bytes / 1024) + " KiB";
    }
    return std::to_string(bytes) + " B";
}

}  // namespace

std::string outcomeText(const ReaderResult& result) {
    switch (result.outcome) {
        case SaveKind::Eeprom:
            return result.bytes ? "EEPROM " + sizeText(*result.bytes) : "EEPROM";
        case SaveKind::Sram:
            return "SRAM " + sizeText(result.bytes.value_or(32768));
        case SaveKind::Flash:
            return "Flash " + sizeText(result.bytes.value_or(65536));
        case SaveKind::None:
            return "no save memory";
        case SaveKind::Runtime:
            return result.bytes ? "decided at run time, Flash " + sizeText(*result.bytes)
                                : "decided at run time";
        case SaveKind::Refused:
            break;
    }
    return "refuses the file";
}

std::string readerNote(const ReaderResult& result) {
    if (!result.reason.empty()) {
        return result.reason;
    }
    if (result.fallback || result.decidedBy == DecidedBy::Default) {
        return "by default";
    }
    if (result.decidedBy == DecidedBy::Table) {
        return "by its table";
    }
    if (result.decidedBy == DecidedBy::GameCode) {
        return "by the game code";
    }
    if (!result.readsStrings) {
        return "reads no strings";
    }
    return {};
}

std::vector<OutcomeGroup> groupByOutcome(std::span<const ReaderResult> results,
                                         const std::vector<bool>& include) {
    std::vector<OutcomeGroup> groups;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!include.empty() && !include[i]) {
            continue;
        }
        const std::string outcome = outcomeText(results[i]);
        OutcomeGroup* group = nullptr;
        for (OutcomeGroup& existing : groups) {
            if (existing.outcome == outcome) {
                group = &existing;
            }
        }
        if (group == nullptr) {
            group = &groups.emplace_back();
            group->outcome = outcome;
        }
        group->members.push_back(i);
    }
    return groups;
}

std::string membersText(std::span<const ReaderResult> results, const OutcomeGroup& group) {
    // Members that share a note stand together, the note once after the last of them.
    std::vector<std::pair<std::string, std::string>> byNote;  // note, names
    for (const std::size_t i : group.members) {
        const std::string note = readerNote(results[i]);
        auto same = std::find_if(byNote.begin(), byNote.end(),
                                 [&note](const auto& entry) { return entry.first == note; });
        if (same == byNote.end()) {
            same = byNote.insert(byNote.end(), {note, {}});
        }
        same->second += same->second.empty() ? "" : ", ";
        same->second += results[i].name;
    }
    // Those without a note last, so that no note seems to cover them.
    std::stable_partition(byNote.begin(), byNote.end(),
                          [](const auto& entry) { return !entry.first.empty(); });
    std::string text;
    for (const auto& [note, names] : byNote) {
        text += text.empty() ? "" : ", ";
        text += names;
        if (!note.empty()) {
            text += " (" + note + ")";
        }
    }
    return text;
}

}  // namespace tagwright
