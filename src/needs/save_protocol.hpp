// The protocols of the GBA's save memories, and their classifier: given the accesses a
// game makes to the save areas and the DMA channel 3 transfers it starts, in program
// order, which memory they use. The code analysis and the trial run both feed it.
//
//   SRAM     bytes at 0x0E000000-0x0E00FFFF read and written one at a time (8-bit bus);
//            a store at 0x0E008000 or above means a 64 KiB SRAM, else 32 KiB.
//   Flash    every command: 0xAA to 0x0E005555, 0x55 to 0x0E002AAA, then the command to
//            0x0E005555:
//              0x90 enter ID mode (the ID is then read at 0x0E000000/0x0E000001)
//              0xF0 leave ID mode
//              0x80 erase; then a second unlock and 0x30 to a sector (sector erase) or
//                   0x10 to 0x0E005555 (chip erase)
//              0xA0 program; the next store is the byte programmed
//              0xB0 bank switch; the next store, to 0x0E000000, is the bank number:
//                   only 128 KiB chips have banks
//            A store that follows an erase, program or bank command is part of it, not
//            an SRAM write.
//   EEPROM   DMA channel 3 (source 0x040000D4, destination 0x040000D8, count 0x040000DC,
//            control 0x040000DE) moving halfwords to or from 0x0D000000-0x0DFFFFFF, one
//            bit per halfword: a read request is 9 bits (2 + 6-bit address: 512 B) or 17
//            (2 + 14-bit address: 8 KiB), a write 73 or 81 bits; the read answer is 68
//            bits from the EEPROM (it shows no size).
//   Reads    of the save area alone are not use: a test that reads 0x0E000000 to see
//            that nothing answers needs no save memory.
//
// Values may be unknown (the code analysis cannot always tell them): an unknown value
// at the command step of a Flash sequence is a command of unknown kind; an unknown
// address based in the save area is an access somewhere in it.
//
// The judgement from the findings is right or says it cannot tell: two memories at
// once, EEPROM transfers of both sizes, or a Flash chip whose size was not shown, give
// no memory or no size. Seeing the whole program (the code) proves absences, such as
// of a bank switch; seeing part of a run (the trial) proves only what it saw.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "needs/game_needs.hpp"

namespace tagwright {

// Where an access happens: at an instruction in the ROM, or in a frame of a run.
struct ProtocolPlace {
    std::optional<std::uint32_t> romOffset;
    std::optional<std::uint32_t> frame;
};

struct SaveAccess {
    std::uint32_t address = 0;       // exact, or the known base when !exactAddress
    bool exactAddress = true;
    std::uint8_t width = 1;          // bytes: 1, 2 or 4
    bool write = false;
    std::optional<std::uint32_t> value;  // the value stored, when known
    ProtocolPlace where;
};

// One DMA channel 3 transfer as started (the enable bit set), with the register values
// as far as they are known. count is the 16-bit count field (0 means 0x4000).
struct Dma3Transfer {
    std::optional<std::uint32_t> source;
    std::optional<std::uint32_t> destination;
    std::optional<std::uint32_t> count;
    std::optional<std::uint32_t> control;  // the upper halfword of 0x040000DC
    ProtocolPlace where;
};

// How often one kind of access was seen, and where first.
struct ProtocolSeen {
    std::uint32_t count = 0;
    ProtocolPlace first;
    std::string detail;  // of the first, for a developer
};

struct ProtocolFindings {
    ProtocolSeen sramWrites;       // stores in the save area outside any Flash command
    ProtocolSeen sramHighWrites;   // of those, at 0x0E008000 or above (64 KiB SRAM)
    ProtocolSeen saveReads;        // loads from the save area (never use by themselves)
    ProtocolSeen flashCommands;    // complete unlock-and-command sequences
    std::array<ProtocolSeen, 256> flashCommandKinds;  // by command value, when known
    ProtocolSeen flashUnknownCommands;  // command value not known
    ProtocolSeen flashBankSwitches;     // 0xB0 (its bank store follows)
    ProtocolSeen flashDataWrites;       // stores that belong to an erase, program or bank
    ProtocolSeen eeprom512;             // 9- or 73-bit transfers to the EEPROM space
    ProtocolSeen eeprom8k;              // 17- or 81-bit transfers
    ProtocolSeen eepromOther;           // other transfers to or from it (68-bit reads, unknown counts)

    bool any() const;
};

// Feeds accesses in program order; endSequence() between unrelated runs of code (the
// code analysis calls it between functions), so that no Flash sequence spans them.
class SaveProtocol {
public:
    void access(const SaveAccess& access);
    void dma3(const Dma3Transfer& transfer);
    void endSequence();
    const ProtocolFindings& findings() const { return found_; }

private:
    enum class Step : std::uint8_t { Idle, SawAA, Saw55 };
    enum class Pending : std::uint8_t { None, Erase, Program, Bank };
    void flashCommand(std::optional<std::uint32_t> command, const SaveAccess& at);

    ProtocolFindings found_;
    Step step_ = Step::Idle;
    Pending pending_ = Pending::None;
    bool eraseArmed_ = false;  // 0x80 seen: the next unlock's command is an erase
};

// The memory the findings show. sure is false when they show a memory but not its
// size (bytes is then empty), or disagree (memory is Unknown).
struct ProtocolVerdict {
    SaveMemory memory = SaveMemory::None;
    std::optional<std::uint32_t> bytes;
    bool sure = true;
    std::string why;  // when not sure: what is missing or disagrees
};

// wholeProgram: the findings cover every access the program can make (the code
// analysis), so an absence proves something; false for a partial view (a trial run).
ProtocolVerdict judgeFindings(const ProtocolFindings& found, bool wholeProgram);

// The findings as evidence items, the use first, then reads.
std::vector<NeedEvidence> findingsEvidence(const ProtocolFindings& found, NeedSource source,
                                           Sureness sureness);

// "0x0E005555"
std::string hexAddress(std::uint32_t value);

}  // namespace tagwright
