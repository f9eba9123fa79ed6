#include "needs/game_needs.hpp"

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

// Placeholder until the code analysis lands: it decides nothing.
GameNeeds judgeGameCode(std::span<const std::uint8_t>) { return {}; }

GameNeeds judgeGameNeeds(std::span<const std::uint8_t> rom, TrialRunner trial) {
    GameNeeds needs = judgeGameCode(rom);
    needs.trialAvailable = trial != nullptr;
    return needs;
}

}  // namespace tagwright
