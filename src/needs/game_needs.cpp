#include "needs/game_needs.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "needs/code_analysis.hpp"
#include "needs/code_prescan.hpp"
#include "needs/code_sweep.hpp"
#include "needs/save_protocol.hpp"
#include "needs/trial_evidence.hpp"

namespace tagwright {

const char* saveMemoryWord(SaveMemory memory) {
    switch (memory) {
        case SaveMemory::Sram: return "sram";
        case SaveMemory::Flash: return "flash";
        case SaveMemory::Eeprom: return "eeprom";
        case SaveMemory::None: return "none";
        case SaveMemory::Unknown: break;
    }
    return "unknown";
}

const char* needSourceWord(NeedSource source) {
    switch (source) {
        case NeedSource::Code: return "code";
        case NeedSource::Trial: return "trial";
        case NeedSource::String: break;
    }
    return "string";
}

const char* surenessWord(Sureness sureness) {
    switch (sureness) {
        case Sureness::Decides: return "decides";
        case Sureness::Supports: return "supports";
        case Sureness::Unreached: break;
    }
    return "unreached";
}

namespace {

// The save library's strings, each prefix's first: they say a library is linked.
std::vector<NeedEvidence> saveStrings(const CodePrescan& prescan) {
    std::vector<NeedEvidence> found;
    for (std::size_t k = 0; k < library::kPrefixes.size(); ++k) {
        const auto at = prescan.firstStrings()[k];
        if (!at) {
            continue;
        }
        NeedEvidence item;
        item.source = NeedSource::String;
        switch (library::kPrefixes[k].kind) {
            case library::Kind::Eeprom: item.memory = SaveMemory::Eeprom; break;
            case library::Kind::Sram: item.memory = SaveMemory::Sram; item.bytes = 32768; break;
            case library::Kind::Flash64k: item.memory = SaveMemory::Flash; item.bytes = 65536; break;
            case library::Kind::Flash128k: item.memory = SaveMemory::Flash; item.bytes = 131072; break;
        }
        item.what = "the save library's string " + std::string(library::kPrefixes[k].text) +
                    " (linked, not necessarily used)";
        item.romOffset = static_cast<std::uint32_t>(*at);
        found.push_back(std::move(item));
    }
    return found;
}

bool uses(const ProtocolVerdict& verdict) { return verdict.memory != SaveMemory::None; }

}  // namespace

GameNeeds judgeGameCode(std::span<const std::uint8_t> rom) {
    CodePrescan prescan;
    prescan.finish(rom);
    return judgeGameCode(rom, prescan);
}

GameNeeds judgeGameCode(std::span<const std::uint8_t> rom, const CodePrescan& prescan) {
    if (!prescan.finished()) {
        CodePrescan finished = prescan;
        finished.finish(rom);
        return judgeGameCode(rom, finished);
    }
    const CodeAnalysis code = analyseReachableCode(rom);
    const ProtocolFindings unreached = sweepUnreachedCode(rom, code.reached, prescan);
    const std::vector<NeedEvidence> strings = saveStrings(prescan);
    const ProtocolVerdict reachedVerdict = judgeFindings(code.found, true);
    const ProtocolVerdict unreachedVerdict = judgeFindings(unreached, true);
    const bool complete = code.gapCount == 0;

    GameNeeds needs;
    needs.by = NeedSource::Code;
    std::string why;
    std::optional<std::uint32_t> whyAt;  // where what keeps the code from deciding lies
    if (code.instructions == 0) {
        why = "no code found at the entry point";
    } else if (reachedVerdict.memory == SaveMemory::Unknown || !reachedVerdict.sure) {
        why = reachedVerdict.why;
    } else if (uses(reachedVerdict)) {
        const bool disagrees = uses(unreachedVerdict) &&
                               (unreachedVerdict.memory != reachedVerdict.memory ||
                                (unreachedVerdict.bytes && unreachedVerdict.bytes != reachedVerdict.bytes));
        if (!complete && disagrees) {
            why = std::string("code not followed uses ") + saveMemoryWord(unreachedVerdict.memory);
        } else if (!complete && code.flashCommandsFromCallers && reachedVerdict.bytes == 65536u) {
            why = "Flash commands come from callers, and code not followed may ask for a bank switch (128 KiB)";
        } else {
            needs.outcome = reachedVerdict.memory;
            needs.bytes = reachedVerdict.bytes;
        }
    } else if (!complete && uses(unreachedVerdict)) {
        why = std::string("save code (") + saveMemoryWord(unreachedVerdict.memory) +
              ") lies where the analysis could not follow the code";
    } else if (!complete && !strings.empty()) {
        why = "a save library is linked, and the analysis could not follow all the code";
    } else if (code.saveAddressStored) {
        why = "the code keeps a save address in memory, and what it does with it from there is not followed";
        whyAt = code.saveAddressStored;
    } else if (const auto data = saveAddressAsData(rom, prescan)) {
        why = "a save address lies in the ROM as data, and code may reach the save memory through it";
        whyAt = data;
    } else {
        needs.outcome = SaveMemory::None;
    }

    const bool decided = needs.outcome != SaveMemory::Unknown;
    for (NeedEvidence& item : findingsEvidence(code.found, NeedSource::Code, Sureness::Supports)) {
        if (decided && item.memory == needs.outcome && item.sureness == Sureness::Supports &&
            item.memory != SaveMemory::None) {
            item.sureness = Sureness::Decides;
        }
        needs.evidence.push_back(std::move(item));
    }
    std::stable_sort(needs.evidence.begin(), needs.evidence.end(), [](const NeedEvidence& a, const NeedEvidence& b) {
        return a.sureness == Sureness::Decides && b.sureness != Sureness::Decides;
    });
    if (!why.empty()) {
        NeedEvidence item;
        item.memory = SaveMemory::Unknown;
        item.what = "the code does not decide: " + why;
        if (whyAt) {
            item.romOffset = whyAt;
        } else if (!complete && !code.gaps.empty()) {
            item.detail = code.gaps.front().what + " (" + std::to_string(code.gapCount) + " such places)";
            item.romOffset = code.gaps.front().romOffset;
        }
        needs.evidence.insert(needs.evidence.begin(), std::move(item));
    }
    if (decided && needs.outcome == SaveMemory::None) {
        NeedEvidence item;
        item.memory = SaveMemory::None;
        item.sureness = Sureness::Decides;
        item.what = "no save protocol in the code reached from the entry point";
        item.detail = std::to_string(code.instructions) + " instructions in " + std::to_string(code.functions) +
                      " functions followed";
        needs.evidence.insert(needs.evidence.begin(), std::move(item));
    }
    for (NeedEvidence& item : findingsEvidence(unreached, NeedSource::Code, Sureness::Unreached)) {
        if (item.memory == SaveMemory::None) {
            continue;  // reads in code never reached tell nothing
        }
        item.what = "not reached: " + item.what;
        needs.evidence.push_back(std::move(item));
    }
    needs.evidence.insert(needs.evidence.end(), strings.begin(), strings.end());
    return needs;
}

// cppcheck-suppress constParameter ; a function pointer
GameNeeds judgeGameNeeds(std::span<const std::uint8_t> rom, TrialRunner trial) {
    CodePrescan prescan;
    prescan.finish(rom);
    return judgeGameNeeds(rom, trial, prescan);
}

// cppcheck-suppress constParameter ; a function pointer
GameNeeds judgeGameNeeds(std::span<const std::uint8_t> rom, TrialRunner trial, const CodePrescan& prescan) {
    GameNeeds needs = judgeGameCode(rom, prescan);
    needs.trialAvailable = trial != nullptr;
    if (trial != nullptr && needs.outcome == SaveMemory::Unknown) {
        weighTrial(needs, trial(rom));
    }
    return needs;
}

}  // namespace tagwright
