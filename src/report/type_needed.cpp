#include "report/type_needed.hpp"

#include "console/terminal_text.hpp"
#include "image/hex_number.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

constexpr std::size_t kShown = 3;
constexpr std::uint32_t kRomBase = 0x08000000;

bool known(SaveMemory memory) {
    return memory == SaveMemory::Sram || memory == SaveMemory::Flash ||
           memory == SaveMemory::Eeprom;
}

}  // namespace

std::optional<SaveType> typeNeeded(const GameNeeds& needs) {
    switch (needs.outcome) {
        case SaveMemory::Sram:
            return SaveType::Sram512k;
        case SaveMemory::Flash:
            if (needs.bytes == 131072u) {
                return SaveType::Flash1M;
            }
            if (needs.bytes == 65536u) {
                return SaveType::Flash512k;
            }
            return std::nullopt;
        case SaveMemory::Eeprom:
            return needs.bytes == 8192u ? SaveType::Eeprom128k : SaveType::Eeprom64k;
        case SaveMemory::None:
        case SaveMemory::Unknown:
            break;
    }
    return std::nullopt;
}

std::string memoryText(SaveMemory memory, std::optional<std::uint32_t> bytes) {
    std::string name;
    switch (memory) {
        case SaveMemory::Sram: name = "SRAM"; break;
        case SaveMemory::Flash: name = "Flash"; break;
        case SaveMemory::Eeprom: name = "EEPROM"; break;
        case SaveMemory::None: return "no save memory";
        case SaveMemory::Unknown: return "not known";
    }
    if (!bytes) {
        return name + " (size not shown)";
    }
    if (*bytes % 1024 == 0) {
        return name + ", " + std::to_string(*bytes / 1024) + " KiB";
    }
    return name + ", " + std::to_string(*bytes) + " bytes";
}

std::string needsHeadline(const GameNeeds& needs) {
    if (needs.outcome == SaveMemory::Unknown) {
        return "The game's save memory: not known";
    }
    const std::string memory = memoryText(needs.outcome, needs.bytes);
    switch (needs.by) {
        case NeedSource::Trial: return "The game, run for a trial, uses: " + memory;
        case NeedSource::String: return "The game's save strings ask for: " + memory;
        case NeedSource::Code: break;
    }
    return "The game's code uses: " + memory;
}

std::vector<const NeedEvidence*> shownEvidence(const GameNeeds& needs) {
    for (const Sureness wanted : {Sureness::Decides, Sureness::Supports}) {
        std::vector<const NeedEvidence*> shown;
        for (const NeedEvidence& item : needs.evidence) {
            if (item.sureness == wanted && shown.size() < kShown) {
                shown.push_back(&item);
            }
        }
        if (!shown.empty()) {
            return shown;
        }
    }
    std::vector<const NeedEvidence*> shown;
    for (std::size_t i = 0; i < needs.evidence.size() && i < kShown; ++i) {
        shown.push_back(&needs.evidence[i]);
    }
    return shown;
}

std::string evidencePlace(const NeedEvidence& evidence) {
    if (evidence.romOffset) {
        return "at " + hex(kRomBase + *evidence.romOffset, 8);
    }
    if (evidence.frame) {
        return "in frame " + std::to_string(*evidence.frame) + " of the trial run";
    }
    return {};
}

std::string codeDisagreement(const std::string& outputName, SaveType asked,
                             const GameNeeds& code) {
    if (!known(code.outcome)) {
        return {};
    }
    const auto needed = typeNeeded(code);
    const bool sameClass = needed ? sameTypeAsked(*needed, asked)
                                  : (asked == SaveType::Flash1M || asked == SaveType::Flash512k);
    if (sameClass) {
        return {};
    }
    std::string text = "warning: " + terminalSafe(outputName) + ": " + typeAskedText(asked) +
                       " asked, but the game's code uses " +
                       memoryText(code.outcome, code.bytes);
    const auto shown = shownEvidence(code);
    if (!shown.empty()) {
        const std::string place = evidencePlace(*shown.front());
        text += " (" + shown.front()->what + (place.empty() ? "" : " " + place) + ")";
    }
    if (needed) {
        const std::string n = std::to_string(static_cast<int>(*needed));
        text += "; -s" + n + " or -e" + n + " gives it that";
    } else {
        text += "; -s3 gives it Flash 128 KiB, -s4 Flash 64 KiB";
    }
    return text;
}

}  // namespace tagwright
