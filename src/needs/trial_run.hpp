// The trial run: the ROM run headless in an emulator core, its save-area traffic traced.
//
// The run starts the ROM with the core's built-in BIOS and no save file attached, runs
// 600 frames (ten seconds of game time), pressing nothing for the first 180 frames and
// then, every 60 frames, Start for 6 frames and, 30 frames later, A for 6 frames. It
// stops early when its budget of 2 s of processor time (one core) is spent. It traces:
//
//   every load and store by the processor to 0x0E000000-0x0E00FFFF (and its mirrors
//   up to 0x0FFFFFFF, folded to 0x0E000000-0x0E00FFFF): frame, instruction address,
//   width, value;
//   every start of DMA channel 3 (a write that sets bit 15 of 0x040000DE) whose source
//   or destination lies in 0x0D000000-0x0DFFFFFF: frame, instruction address, source,
//   destination, count (0 meaning 0x4000) and control word.
//
// Until the game has written to the save area, its reads there answer 0xFF (erased
// Flash, fresh SRAM) without the core taking them for SRAM; its first write to
// 0x0E005555 gives it a 128 KiB Flash chip (whose identity a 64 KiB driver may refuse,
// but whose banks a 128 KiB driver needs), any other first write SRAM, a DMA towards
// 0x0D000000 EEPROM, as the core decides.
//
// No file is read or written: the ROM comes from memory, the save memory lives in
// memory and is dropped with the core, and no configuration is loaded.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "needs/game_needs.hpp"

namespace tagwright {

struct SaveAreaAccess {
    std::uint32_t frame = 0;
    std::uint32_t pc = 0;        // the instruction's address
    std::uint32_t address = 0;   // folded into 0x0E000000-0x0E00FFFF
    std::uint32_t value = 0;     // stored, or loaded
    std::uint8_t width = 1;      // bytes: 1, 2 or 4
    bool write = false;
};

struct Dma3Start {
    std::uint32_t frame = 0;
    std::uint32_t pc = 0;
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
    std::uint32_t count = 0;     // units moved (0x4000 for a count of 0)
    std::uint16_t control = 0;   // 0x040000DE as written
};

struct TrialTrace {
    bool ran = false;                    // the core took the ROM
    std::uint32_t frames = 0;            // frames run
    bool cutShort = false;               // the budget ran out before the last frame
    double seconds = 0;                  // processor time the run took
    std::vector<SaveAreaAccess> accesses;
    std::vector<Dma3Start> dmaStarts;
};

inline constexpr std::uint32_t kTrialFrames = 600;
inline constexpr double kTrialBudgetSeconds = 2.0;

// Whether this build carries an emulator core, and its name ("mGBA 0.10.1").
bool trialRunAvailable();
const char* trialCoreName();

// Runs the ROM as described above. Without a core, returns a trace that did not run.
TrialTrace traceTrialRun(std::span<const std::uint8_t> rom, std::uint32_t frames = kTrialFrames,
                         double budgetSeconds = kTrialBudgetSeconds);

// The evidence a trace shows, classified by the save protocol rules.
std::vector<NeedEvidence> trialEvidence(const TrialTrace& trace);

// This build's trial runner for judgeGameNeeds(): the run, then its evidence; nullptr
// when the build has no core.
TrialRunner trialRunner();

}  // namespace tagwright
