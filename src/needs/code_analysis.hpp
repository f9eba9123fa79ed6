// The code a game can run, followed from its entry point, and the save protocols in it.
//
// Code is followed from the branch at 0x08000000 (ARM), along direct branches and
// calls, BX and other jumps to values the constant propagation knows (ARM/Thumb by
// bit 0), ARM jump tables (LDR PC, [PC, Rn, LSL #2] and ADD PC, PC, Rn, LSL #2), BX to
// a word of a table in the ROM chosen by an index (every code address in the table, as
// a state machine's function pointers), and to code reached through values that arrive
// from callers (a helper doing BX r3 on its caller's value). Beside those it enters:
//   - the interrupt handler whose address is stored to 0x03007FFC (ARM, as the BIOS
//     calls it);
//   - Thumb functions whose addresses (odd, in the ROM) are passed to a call or stored,
//     or stand in a table that a ROM address the code loads, or that initialised data
//     the start-up code copies holds, points at (a C++ class's virtual functions); a
//     save address built from such a function's argument is an offset into that area;
//   - code copied to IWRAM or EWRAM, where the copy is seen: a loop loading with
//     write-back from a ROM address and storing with write-back to a RAM one (bases
//     known on entering the loop, or passed in by its callers), CpuSet/CpuFastSet
//     (SWI 0x0B/0x0C), a DMA3 transfer from ROM to RAM, or a call with a RAM address in
//     r0 and a ROM one in r1 (memcpy); the RAM address then reads as that ROM.
// Registers are followed per function (see register_values.hpp); a function's save
// accesses are read in address order as one sequence, once for each of its callers
// where their values resolve the function's own arguments (a Flash command routine
// whose command comes in r0).
//
// A Flash command routine (the command comes in a register) is noted as such.
//
// What cannot be followed is listed as a gap: a jump to a value not known, code in RAM
// whose copy was not seen, an undefined instruction on the way. With gaps, code may be
// reached that was not seen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "needs/halfword_marks.hpp"
#include "needs/save_protocol.hpp"

namespace tagwright {

struct CodeGap {
    std::uint32_t romOffset = 0;
    std::string what;
};

struct CodeAnalysis {
    ProtocolFindings found;           // in the code reached
    std::vector<CodeGap> gaps;        // the first few, in the order met
    std::uint32_t gapCount = 0;
    HalfwordMarks reached;            // per halfword of the ROM: an instruction decoded there
    std::uint32_t instructions = 0;   // decoded in the last pass over the code reached
    std::uint32_t functions = 0;
    std::uint32_t copies = 0;         // RAM areas seen holding copied code
    // A routine sends Flash commands its callers choose: with gaps, a caller not seen
    // may send the bank switch.
    bool flashCommandsFromCallers = false;
    // Where the code reached first stores a save or EEPROM address to memory (outside
    // the save area): code that loads it back and uses it is not followed.
    std::optional<std::uint32_t> saveAddressStored;
};

CodeAnalysis analyseReachableCode(std::span<const std::uint8_t> rom);

}  // namespace tagwright
