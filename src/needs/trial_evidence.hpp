// What a trial run saw (needs/trial_run.hpp runs it), as plain values, and how it is
// weighed: the trace is classified by the save protocol rules (save_protocol.hpp) as a
// partial view, which proves what it saw and no absence.
//
//   the run saw                       its evidence            the need
//   SRAM, Flash or EEPROM use         "decides", that memory  that memory, unless the
//                                                             code's own evidence names
//                                                             another (then unknown)
//   SRAM with no store at 0x0E008000  size not shown          SRAM, size not shown
//   Flash with no bank switch         size not shown          Flash: the size the Flash
//                                                             strings agree on, if any
//   more than one memory, or EEPROM   "supports"              unknown
//     of both sizes
//   reads only, or nothing            "supports", none        unknown (a run that saw
//                                                             nothing proves nothing)
//   the core refused the ROM, or it   "supports", unknown     unknown
//     does not start with a jump
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "needs/game_needs.hpp"

namespace tagwright {

struct SaveAreaAccess {
    std::uint64_t sequence = 0;  // order among accesses and DMA starts
    std::uint32_t frame = 0;
    std::uint32_t pc = 0;        // the instruction's address
    std::uint32_t address = 0;   // folded into 0x0E000000-0x0E00FFFF
    std::uint32_t value = 0;     // stored, or loaded
    std::uint8_t width = 1;      // bytes: 1, 2 or 4
    bool write = false;
};

struct Dma3Start {
    std::uint64_t sequence = 0;
    std::uint32_t frame = 0;
    std::uint32_t pc = 0;
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
    std::uint16_t count = 0;     // 0x040000DC as written (0 means 0x4000)
    std::uint16_t control = 0;   // 0x040000DE as written
};

struct TrialTrace {
    bool ran = false;                    // the core took the ROM
    const char* notRun = nullptr;        // when it did not: why
    std::uint32_t frames = 0;            // frames run
    bool cutShort = false;               // the budget ran out before the last frame
    double seconds = 0;                  // processor time the run took
    std::vector<SaveAreaAccess> accesses;
    std::vector<Dma3Start> dmaStarts;
};

// Whether a ROM can start at all: its first word is an ARM branch ("b", 0xEA......) or a
// load of the PC from a literal ("ldr pc, [pc, #n]"), where the console's start-up code
// jumps (0x08000000); anything else would run the header as code.
bool startsWithAJump(std::span<const std::uint8_t> rom);

// The evidence a trace shows (source `trial`), as the table above weighs it, and one
// last item that says how far the run went.
std::vector<NeedEvidence> trialEvidence(const TrialTrace& trace);

// Adds a trial run's evidence to a judgement the code left unknown, deciding by the
// table above; the trial's items come first.
void weighTrial(GameNeeds& needs, std::vector<NeedEvidence> trial);

}  // namespace tagwright
