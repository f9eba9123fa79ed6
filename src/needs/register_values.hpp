// What the code analysis knows of a register's value at one instruction, and how each
// decoded instruction changes it (a constant propagation, no more):
//
//   unknown     nothing
//   const c     exactly c (literal loads, MOV/MVN/ADD/SUB/RSB/AND/ORR/EOR/BIC and
//               shifts of known values, PC, loads from the ROM)
//   based b     c + an offset not known, where c >= b lies in the same 16 MiB area
//               (a pointer walking the save area, or two save addresses meeting)
//   arg f r +k  the value register r had when function f was entered, plus k: the code
//               of a function that stores its argument to 0x0E005555 is resolved at its
//               callers (ORR of bits above the lowest 16 counts as adding them: a DMA
//               count with its enable bit)
//   argbased    arg f r plus an offset not known
//   popped      loaded by a pop from the stack: a return address where it is jumped to
//   table t     a word loaded from the ROM at t plus an index not known (LDR Rd, [Rn, Rm]
//               with one of them t): where it is jumped to, a table of code addresses.
//               A table whose first word is in the save or EEPROM space gives a pointer
//               based there instead
//
// Where two paths meet, equal values stay; different ones become based when they share
// a 16 MiB area of the save or EEPROM space, else unknown. A BL leaves r0-r3, r12 and
// LR unknown (the callee may change them) and keeps r4-r11 and SP.
//
// The code memory maps the addresses code runs at to the ROM: the ROM itself and its
// wait-state mirrors (0x08000000-0x0DFFFFFF, code; literal reads from 0x08000000-
// 0x0CFFFFFF, below the EEPROM space), and RAM areas the code was seen to copy there.
// A word loaded from such RAM other than as a literal is a variable's: it is taken for
// the value the copy gave it only where that is an address in the save or EEPROM space
// (a pointer to the save memory kept in an initialised variable).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "needs/arm_decoder.hpp"

namespace tagwright {

struct RegValue {
    enum Kind : std::uint32_t { Unknown, Const, Based, Arg, ArgBased, Popped, Table };
    Kind kind : 3 = Unknown;
    std::uint32_t reg : 4 = 0;    // Arg, ArgBased: the register at entry
    std::uint32_t func : 25 = 0;  // Arg, ArgBased: the function entered
    std::uint32_t value = 0;      // Const: the value; Based: the lowest base; Arg: k; Table: t

    static RegValue constant(std::uint32_t v) { return {Const, 0, 0, v}; }
    static RegValue argument(std::uint32_t f, std::uint8_t r) { return {Arg, r, f, 0}; }
    static RegValue popped() { return {Popped, 0, 0, 0}; }
    static RegValue table(std::uint32_t t) { return {Table, 0, 0, t}; }
    bool known() const { return kind == Const; }
    bool symbolic() const { return kind == Arg || kind == ArgBased; }
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

using RegState = std::array<RegValue, 16>;  // r0-r15 (r15 is never read from here)

RegValue meetValues(const RegValue& a, const RegValue& b);
// Meets `from` into `into`; true when `into` changed.
bool meetState(RegState& into, const RegState& from);

// The RAM areas that code was copied to, and the ROM behind everything.
class CodeMemory {
public:
    explicit CodeMemory(std::span<const std::uint8_t> rom) : rom_(rom) {}
    // The ROM offset of `bytes` bytes at `address` where code can run, if any.
    std::optional<std::uint32_t> codeOffset(std::uint32_t address, std::uint32_t bytes) const;
    // A constant read: the ROM (below the EEPROM space), copied code when pcRelative, or
    // a save address a copied variable starts with.
    std::optional<std::uint32_t> read(std::uint32_t address, std::uint8_t width, bool pcRelative) const;
    // RAM at ramAddress holds a copy of ROM from romAddress (length 0: not known).
    // Returns false when it was known already.
    bool addCopy(std::uint32_t ramAddress, std::uint32_t romAddress, std::uint32_t length);
    // The ROM offset and length (0: not known) of each copy.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copiedRom() const;
    static bool isRam(std::uint32_t address);
    bool isRom(std::uint32_t address) const;
    std::span<const std::uint8_t> rom() const { return rom_; }

private:
    struct Copy {
        std::uint32_t ram, romOffset, length;
    };
    std::optional<std::uint32_t> ramOffset(std::uint32_t address, std::uint32_t bytes) const;
    std::span<const std::uint8_t> rom_;
    std::vector<Copy> copies_;
};

// One load or store an instruction makes, with what is known of its address and value.
struct MemoryAccess {
    bool write = false;
    std::uint8_t width = 4;
    RegValue address;
    RegValue value;  // stored (writes) or loaded (reads)
};

// The value of register r as the instruction at `address` reads it.
RegValue readRegister(const RegState& state, std::uint8_t r, std::uint32_t address, bool thumb);
// Applies `insn` (at `address`) to `state`; appends its memory accesses to `accesses`
// when given. Control flow is the caller's: this changes registers only.
void stepInstruction(const ArmInsn& insn, std::uint32_t address, bool thumb, const CodeMemory& memory,
                     RegState& state, std::vector<MemoryAccess>* accesses);
// What an ALU instruction writes to rd (its PC-writing forms included).
RegValue aluResult(const ArmInsn& insn, const RegState& state, std::uint32_t address, bool thumb);
// The state after a call returns: r0-r3, r12, LR unknown.
void clobberAfterCall(RegState& state);

}  // namespace tagwright
