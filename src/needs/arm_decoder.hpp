// A small decoder for the ARM7TDMI's instruction sets (ARMv4T: ARM and Thumb), for the
// code analysis of what save memory a game uses. It decodes what that analysis follows
// and tells everything else only by which registers it overwrites:
//
//   branches      B, B<cond>, BL (ARM; Thumb as its two-halfword pair), BX Rm,
//                 and anything that writes PC (MOV/ADD/LDR/POP/LDM to PC)
//   data          MOV, MVN, ADD, SUB, RSB, AND, ORR, EOR, BIC with an immediate or a
//                 register shifted by an immediate (LSL, LSR, ASR, ROR); Thumb's
//                 LSL/LSR/ASR immediate, MOV/ADD/SUB #imm8, ALU register forms, high
//                 register ADD/MOV, ADD Rd, PC/SP, #imm; compares set no register
//   memory        LDR/STR, LDRB/STRB, LDRH/STRH, LDRSB/LDRSH: immediate or register
//                 offsets, pre/post-indexed, write-back; PC-relative literal loads;
//                 LDM/STM (Thumb PUSH/POP, LDMIA/STMIA) with their register lists
//   SWI           its number (ARM: bits 23-16 as the BIOS reads them; Thumb: bits 7-0)
//   the rest      multiplies, MRS, SWP, ADC/SBC/ROR by register...: the registers they
//                 overwrite, as `clobbers`; undefined encodings (and coprocessor ones,
//                 which the GBA has none of) are Invalid and end a block.
//
// PC reads as the instruction's address + 8 (ARM) or + 4 (Thumb); Thumb PC-relative
// loads and ADR use it rounded down to a word.
#pragma once

#include <cstdint>

namespace tagwright {

enum class ArmOp : std::uint8_t {
    Other,     // only `clobbers` matters
    Invalid,   // undefined here: the block ends before it
    Branch,    // B / B<cond> to target
    Call,      // BL to target (LR = return address)
    BranchExchange,  // BX rm (bit 0 of the value chooses Thumb)
    Alu,       // rd = alu(rn, operand2)
    Load,      // rd = memory[address]
    Store,     // memory[address] = rd
    LoadMultiple,
    StoreMultiple,
    Swi,
};

enum class AluOp : std::uint8_t { Mov, Mvn, Add, Sub, Rsb, And, Orr, Eor, Bic };
enum class ShiftOp : std::uint8_t { Lsl, Lsr, Asr, Ror };

constexpr std::uint8_t kPc = 15;
constexpr std::uint8_t kLr = 14;
constexpr std::uint8_t kSp = 13;
constexpr std::uint8_t kAlways = 14;  // condition field: always

// The second operand: an immediate, or a register shifted by an immediate.
struct ArmOperand {
    bool immediate = true;
    std::uint32_t value = 0;   // the immediate (already rotated or scaled)
    std::uint8_t rm = 0;
    ShiftOp shift = ShiftOp::Lsl;
    std::uint8_t amount = 0;   // 0 with Lsr/Asr means 32, as the hardware reads it
    bool byRegister = false;   // shifted by a register: the value is not followed
};

struct ArmInsn {
    ArmOp op = ArmOp::Invalid;
    std::uint8_t size = 4;         // bytes: 4 (ARM, Thumb BL pair) or 2
    std::uint8_t cond = kAlways;
    AluOp alu = AluOp::Mov;
    std::uint8_t rd = 0;
    std::uint8_t rn = 0;
    ArmOperand operand;
    // memory: width in bytes; pre-indexed (else post), offset added (else subtracted),
    // base written back
    std::uint8_t width = 4;
    bool signedLoad = false;
    bool pre = true;
    bool up = true;
    bool writeback = false;
    std::uint16_t registers = 0;   // LDM/STM list
    std::uint32_t target = 0;      // Branch/Call
    std::uint32_t swi = 0;
    std::uint16_t clobbers = 0;    // registers overwritten with values not followed
    bool thumbBlPrefix = false;    // a lone first half of a Thumb BL
};

// `address` is where the instruction is executed (its PC is derived from it).
ArmInsn decodeArm(std::uint32_t word, std::uint32_t address);
// `next` is the halfword after, for the two-halfword BL.
ArmInsn decodeThumb(std::uint16_t half, std::uint16_t next, std::uint32_t address);

// Whether the instruction writes PC (a jump whose target may be a register value).
bool writesPc(const ArmInsn& insn);

}  // namespace tagwright
