// The trial run: the ROM run headless in an emulator core, its save-area traffic traced.
//
// A ROM that does not start with a jump (trial_evidence.hpp) is not run. The run starts
// the ROM with the core's built-in BIOS and no save file attached, runs
// 600 frames (ten seconds of game time), pressing nothing for the first 180 frames and
// then, every 60 frames, Start for 6 frames and, 30 frames later, A for 6 frames. It
// stops early when its budget of 2 s of processor time (one core) is spent. It traces:
//
//   every load and store by the processor to 0x0E000000-0x0E00FFFF (and its mirrors
//   up to 0x0FFFFFFF, folded to 0x0E000000-0x0E00FFFF): frame, instruction address,
//   width, value;
//   every start of DMA channel 3 (a write that sets bit 15 of 0x040000DE) whose source
//   or destination lies in 0x0D000000-0x0DFFFFFF: frame, instruction address, source,
//   destination, count and control word;
//
// each in the order the game made them (trial_evidence.hpp holds the trace and weighs
// it).
//
// Until the game has written to the save area, its reads there answer 0xFF (erased
// Flash, fresh SRAM) without the core taking them for SRAM; its first write to
// 0x0E005555 gives it a 128 KiB Flash chip (whose identity a 64 KiB driver may refuse,
// but whose banks a 128 KiB driver needs), any other first write SRAM, a DMA towards
// 0x0D000000 EEPROM, as the core decides. A Flash write or erase completes at once, so
// a driver that reads back without polling goes on to its next step. The trace keeps
// at most 65536 stores, 8192 loads and 4096 DMA starts.
//
// No file is read or written: the ROM comes from memory, the save memory lives in
// memory and is dropped with the core, and no configuration is loaded.
#pragma once

#include <cstdint>
#include <span>

#include "needs/game_needs.hpp"
#include "needs/trial_evidence.hpp"

namespace tagwright {

inline constexpr std::uint32_t kTrialFrames = 600;
inline constexpr double kTrialBudgetSeconds = 2.0;

// Whether this build carries an emulator core, and its name ("mGBA 0.10.1").
bool trialRunAvailable();
const char* trialCoreName();

// Runs the ROM as described above. Without a core, returns a trace that did not run.
TrialTrace traceTrialRun(std::span<const std::uint8_t> rom, std::uint32_t frames = kTrialFrames,
                         double budgetSeconds = kTrialBudgetSeconds);

// This build's trial runner for judgeGameNeeds(): the run, then its evidence; nullptr
// when the build has no core.
TrialRunner trialRunner();

}  // namespace tagwright
