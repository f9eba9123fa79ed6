#include "needs/trial_evidence.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "needs/save_protocol.hpp"

namespace tagwright {

namespace {

constexpr std::uint32_t kRomStart = 0x08000000;
constexpr std::uint32_t kRomEnd = 0x0E000000;

ProtocolPlace placeOf(std::uint32_t pc, std::uint32_t frame) {
    ProtocolPlace place;
    place.frame = frame;
    if (pc >= kRomStart && pc < kRomEnd) {
        place.romOffset = (pc - kRomStart) & 0x01FFFFFFu;
    }
    return place;
}

bool uses(SaveMemory memory) {
    return memory == SaveMemory::Sram || memory == SaveMemory::Flash ||
           memory == SaveMemory::Eeprom;
}

// The one size the pieces from `source` about `memory` agree on, if they show one.
std::optional<std::uint32_t> agreedSize(std::span<const NeedEvidence> evidence, NeedSource source,
                                        SaveMemory memory) {
    std::optional<std::uint32_t> said;
    for (const NeedEvidence& item : evidence) {
        if (item.source == source && item.memory == memory && item.bytes) {
            if (said && *said != *item.bytes) {
                return std::nullopt;
            }
            said = item.bytes;
        }
    }
    return said;
}

}  // namespace

bool startsWithAJump(std::span<const std::uint8_t> rom) {
    if (rom.size() < 4) {
        return false;
    }
    const std::uint32_t first = static_cast<std::uint32_t>(rom[0]) |
                                static_cast<std::uint32_t>(rom[1]) << 8 |
                                static_cast<std::uint32_t>(rom[2]) << 16 |
                                static_cast<std::uint32_t>(rom[3]) << 24;
    return (first >> 24) == 0xEA || (first & 0xFFFFF000u) == 0xE59FF000u;
}

std::vector<NeedEvidence> trialEvidence(const TrialTrace& trace) {
    NeedEvidence run;
    run.source = NeedSource::Trial;
    run.sureness = Sureness::Supports;
    if (!trace.ran) {
        run.what = std::string("no trial run: ") +
                   (trace.notRun != nullptr ? trace.notRun : "the emulator core refused the ROM");
        return {run};
    }
    SaveProtocol protocol;
    std::size_t a = 0;
    std::size_t d = 0;
    while (a < trace.accesses.size() || d < trace.dmaStarts.size()) {
        const bool access = d == trace.dmaStarts.size() ||
                            (a < trace.accesses.size() &&
                             trace.accesses[a].sequence < trace.dmaStarts[d].sequence);
        if (access) {
            const SaveAreaAccess& seen = trace.accesses[a++];
            SaveAccess item;
            item.address = seen.address;
            item.width = seen.width;
            item.write = seen.write;
            if (seen.write) {
                item.value = seen.value;
            }
            item.where = placeOf(seen.pc, seen.frame);
            protocol.access(item);
        } else {
            const Dma3Start& seen = trace.dmaStarts[d++];
            Dma3Transfer item;
            item.source = seen.source;
            item.destination = seen.destination;
            item.count = seen.count;
            item.control = seen.control;
            item.where = placeOf(seen.pc, seen.frame);
            protocol.dma3(item);
        }
    }
    const ProtocolFindings& found = protocol.findings();
    const ProtocolVerdict verdict = judgeFindings(found, false);
    const bool decides = uses(verdict.memory);
    std::vector<NeedEvidence> evidence = findingsEvidence(
        found, NeedSource::Trial, decides ? Sureness::Decides : Sureness::Supports);
    for (NeedEvidence& item : evidence) {
        // A run that stored nothing at 0x0E008000 or above has not shown 32 KiB: the
        // game may not have reached its upper half yet.
        if (item.memory == SaveMemory::Sram && found.sramHighWrites.count == 0) {
            item.bytes.reset();
        }
    }
    run.memory = decides ? verdict.memory : SaveMemory::None;
    run.what = "the trial run: " + std::to_string(trace.frames) + " frames" +
               (trace.cutShort ? " (its 2 s of processor time ran out)" : "") +
               (found.any() ? "" : ", no access to the save areas");
    if (!verdict.why.empty()) {
        run.what += "; " + verdict.why;
    }
    evidence.push_back(std::move(run));
    return evidence;
}

void weighTrial(GameNeeds& needs, std::vector<NeedEvidence> trial) {
    needs.trialRun = true;
    std::optional<SaveMemory> memory;
    std::optional<std::uint32_t> bytes;
    bool agree = true;
    for (const NeedEvidence& item : trial) {
        if (item.sureness != Sureness::Decides) {
            continue;
        }
        agree = agree && (!memory || *memory == item.memory);
        memory = item.memory;
        if (item.bytes) {
            agree = agree && (!bytes || *bytes == *item.bytes);
            bytes = item.bytes;
        }
    }
    // The code's own evidence in reached code outweighs a partial run that disagrees.
    for (const NeedEvidence& item : needs.evidence) {
        if (memory && item.source == NeedSource::Code && item.sureness != Sureness::Unreached &&
            uses(item.memory) && item.memory != *memory) {
            agree = false;
        }
    }
    if (memory && agree) {
        needs.outcome = *memory;
        needs.bytes = bytes;
        needs.by = NeedSource::Trial;
        // A run that showed no size takes the one size the rest agrees on: for Flash its
        // strings; for SRAM the code's own stores (reached or not: their extent does not
        // depend on how far the run got), else its strings.
        if (!bytes && *memory == SaveMemory::Flash) {
            needs.bytes = agreedSize(needs.evidence, NeedSource::String, *memory);
        } else if (!bytes && *memory == SaveMemory::Sram) {
            needs.bytes = agreedSize(needs.evidence, NeedSource::Code, *memory);
            if (!needs.bytes) {
                needs.bytes = agreedSize(needs.evidence, NeedSource::String, *memory);
            }
        }
    } else {
        for (NeedEvidence& item : trial) {
            if (item.sureness == Sureness::Decides) {
                item.sureness = Sureness::Supports;
            }
        }
    }
    needs.evidence.insert(needs.evidence.begin(), std::make_move_iterator(trial.begin()),
                          std::make_move_iterator(trial.end()));
}

}  // namespace tagwright
