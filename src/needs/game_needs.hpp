// What save memory a game's own code uses, as plain values.
//
// The judgement never guesses: its outcome is the memory the evidence shows, or
// `unknown`. A wrong memory (SRAM for a Flash game) costs a player their saves; an
// `unknown` only sends them to check.
//
//   outcome   bytes                 seen as
//   sram      32768 or 65536        byte loads and stores in 0x0E000000-0x0E00FFFF that are
//                                   not Flash commands; a store at 0x0E008000 or above
//                                   means 64 KiB
//   flash     65536 or 131072       0xAA to 0x0E005555, 0x55 to 0x0E002AAA, then a command
//                                   to 0x0E005555; a bank switch (0xB0, then the bank to
//                                   0x0E000000) means 128 KiB
//   eeprom    512 or 8192           DMA channel 3 moving halfwords to or from
//                                   0x0D000000-0x0DFFFFFF; 9- or 73-bit transfers mean
//                                   512 B, 17- or 81-bit ones 8 KiB
//   none      (none)                no save protocol anywhere in the reachable code; reads
//                                   of the save area alone are not use
//   unknown   (none)                the evidence does not decide (or disagrees)
//
// Evidence comes from three sources, in this order of weight: the code reachable from
// the entry point (`code`), a trial run in an emulator core (`trial`), and the save
// library's strings (`string`): a string says a library is linked, not that it runs,
// so it never decides against the code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tagwright {

enum class SaveMemory : std::uint8_t { Sram, Flash, Eeprom, None, Unknown };
enum class NeedSource : std::uint8_t { Code, Trial, String };
// How much one piece of evidence weighs: it decides alone; it agrees with what decides
// but would not decide alone; it lies in code that is linked but never reached (shown,
// never counted).
enum class Sureness : std::uint8_t { Decides, Supports, Unreached };

struct NeedEvidence {
    NeedSource source = NeedSource::Code;
    SaveMemory memory = SaveMemory::Unknown;
    std::optional<std::uint32_t> bytes;      // the size this piece shows, when it shows one
    Sureness sureness = Sureness::Supports;
    std::string what;                        // for a player: "byte writes to 0x0E000000"
    std::string detail;                      // for a developer: instructions, registers
    std::optional<std::uint32_t> romOffset;  // where in the file (code or string)
    std::optional<std::uint32_t> frame;      // when in the trial run
};

struct GameNeeds {
    SaveMemory outcome = SaveMemory::Unknown;
    std::optional<std::uint32_t> bytes;
    NeedSource by = NeedSource::Code;        // the source that decided
    std::vector<NeedEvidence> evidence;      // the deciding pieces first
    bool trialAvailable = false;             // this build can run a trial
    bool trialRun = false;                   // a trial was run for this judgement
};

const char* saveMemoryWord(SaveMemory memory);  // "sram", "flash", "eeprom", "none", "unknown"
const char* needSourceWord(NeedSource source);  // "code", "trial", "string"
const char* surenessWord(Sureness sureness);    // "decides", "supports", "unreached"

class CodePrescan;

// What a game's code needs, from the code reachable from its entry point and its save
// strings; the image is the whole ROM as loaded at 0x08000000. Fast enough for every
// --info: it reads only the code it reaches, and the places a pass over the whole ROM
// found (needs/code_prescan.hpp), which a caller that reads the ROM in parts can make
// as it reads and give here.
GameNeeds judgeGameCode(std::span<const std::uint8_t> rom);
GameNeeds judgeGameCode(std::span<const std::uint8_t> rom, const CodePrescan& prescan);

// A trial run, where one can be made: given the ROM, adds what the run saw and decides
// when the code did not. Set by the build that has an emulator core; nullptr elsewhere.
using TrialRunner = std::vector<NeedEvidence> (*)(std::span<const std::uint8_t> rom);

// judgeGameCode(), then, when its outcome is `unknown` and a runner is given, the trial.
GameNeeds judgeGameNeeds(std::span<const std::uint8_t> rom, TrialRunner trial);
GameNeeds judgeGameNeeds(std::span<const std::uint8_t> rom, TrialRunner trial, const CodePrescan& prescan);

}  // namespace tagwright
