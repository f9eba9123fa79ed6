#include "needs/arm_decoder.hpp"

namespace tagwright {

namespace {

std::uint32_t bits(std::uint32_t value, int high, int low) {
    return (value >> low) & ((1u << (high - low + 1)) - 1);
}
bool bit(std::uint32_t value, int n) { return ((value >> n) & 1) != 0; }
std::uint8_t reg(std::uint32_t value, int low) { return static_cast<std::uint8_t>(bits(value, low + 3, low)); }
std::uint8_t lowReg(std::uint32_t value, int low) { return static_cast<std::uint8_t>(bits(value, low + 2, low)); }
std::uint32_t signExtend(std::uint32_t value, int width) {
    const std::uint32_t sign = 1u << (width - 1);
    return (value ^ sign) - sign;
}
std::uint16_t only(std::uint8_t r) { return static_cast<std::uint16_t>(1u << r); }

ArmOperand immediate(std::uint32_t value) {
    ArmOperand operand;
    operand.value = value;
    return operand;
}

ArmOperand registerOperand(std::uint8_t rm, ShiftOp shift = ShiftOp::Lsl, std::uint8_t amount = 0) {
    ArmOperand operand;
    operand.immediate = false;
    operand.rm = rm;
    operand.shift = shift;
    operand.amount = amount;
    return operand;
}

// ARM's shifted-register operand (bits 11-0), data-processing and load/store forms alike.
ArmOperand armShifted(std::uint32_t word) {
    ArmOperand operand = registerOperand(reg(word, 0), static_cast<ShiftOp>(bits(word, 6, 5)),
                                         static_cast<std::uint8_t>(bits(word, 11, 7)));
    operand.byRegister = bit(word, 4);
    return operand;
}

ArmInsn alu(AluOp op, std::uint8_t rd, std::uint8_t rn, ArmOperand operand) {
    ArmInsn insn;
    insn.op = ArmOp::Alu;
    insn.alu = op;
    insn.rd = rd;
    insn.rn = rn;
    insn.operand = operand;
    return insn;
}

ArmInsn other(std::uint16_t clobbers) {
    ArmInsn insn;
    insn.op = ArmOp::Other;
    insn.clobbers = clobbers;
    return insn;
}

ArmInsn memory(bool load, std::uint8_t width, std::uint8_t rd, std::uint8_t rn, ArmOperand offset) {
    ArmInsn insn;
    insn.op = load ? ArmOp::Load : ArmOp::Store;
    insn.width = width;
    insn.rd = rd;
    insn.rn = rn;
    insn.operand = offset;
    return insn;
}

ArmInsn armDataProcessing(std::uint32_t word) {
    const std::uint32_t opcode = bits(word, 24, 21);
    const bool setFlags = bit(word, 20);
    const std::uint8_t rd = reg(word, 12);
    const std::uint8_t rn = reg(word, 16);
    ArmOperand operand;
    if (bit(word, 25)) {
        const std::uint32_t rotate = bits(word, 11, 8) * 2;
        const std::uint32_t value = bits(word, 7, 0);
        operand = immediate(rotate != 0u ? (value >> rotate) | (value << (32 - rotate)) : value);
    } else {
        operand = armShifted(word);
    }
    if (opcode >= 8 && opcode <= 11 && !setFlags) {
        // MRS (writes rd) or MSR (writes only the status registers).
        return other(bit(word, 21) ? 0 : only(rd));
    }
    switch (opcode) {
        case 0: return alu(AluOp::And, rd, rn, operand);
        case 1: return alu(AluOp::Eor, rd, rn, operand);
        case 2: return alu(AluOp::Sub, rd, rn, operand);
        case 3: return alu(AluOp::Rsb, rd, rn, operand);
        case 4: return alu(AluOp::Add, rd, rn, operand);
        case 12: return alu(AluOp::Orr, rd, rn, operand);
        case 13: return alu(AluOp::Mov, rd, rn, operand);
        case 14: return alu(AluOp::Bic, rd, rn, operand);
        case 15: return alu(AluOp::Mvn, rd, rn, operand);
        case 8: case 9: case 10: case 11: return other(0);  // compares
        default: return other(only(rd));                    // ADC, SBC, RSC
    }
}

}  // namespace

bool writesPc(const ArmInsn& insn) {
    switch (insn.op) {
        case ArmOp::Alu:
        case ArmOp::Load: return insn.rd == kPc;
        case ArmOp::LoadMultiple: return (insn.registers & only(kPc)) != 0;
        case ArmOp::Other: return (insn.clobbers & only(kPc)) != 0;
        default: return false;
    }
}

ArmInsn decodeArm(std::uint32_t word, std::uint32_t address) {
    const std::uint8_t cond = static_cast<std::uint8_t>(bits(word, 31, 28));
    ArmInsn insn;
    if (cond == 15) {
        return insn;  // unconditional space: undefined on ARMv4T
    }
    const std::uint32_t pc = address + 8;
    const std::uint32_t kind = bits(word, 27, 25);
    if ((word & 0x0FFFFFF0) == 0x012FFF10) {
        insn.op = ArmOp::BranchExchange;
        insn.rn = reg(word, 0);
    } else if (kind == 0 && bits(word, 7, 4) == 9) {
        if (bits(word, 24, 23) == 0) {
            insn = other(only(reg(word, 16)));  // MUL, MLA
        } else if (bits(word, 24, 23) == 1) {
            insn = other(static_cast<std::uint16_t>(only(reg(word, 16)) | only(reg(word, 12))));  // long multiplies
        } else if (bits(word, 24, 23) == 2 && bits(word, 21, 20) == 0) {
            insn = other(only(reg(word, 12)));  // SWP, SWPB
        }
    } else if (kind == 0 && bit(word, 7) && bit(word, 4)) {
        // Halfword and signed transfers.
        const std::uint32_t sh = bits(word, 6, 5);
        const bool load = bit(word, 20);
        if (sh == 0 || (!load && sh != 1)) {
            return insn;
        }
        const ArmOperand offset = bit(word, 22) ? immediate(bits(word, 11, 8) << 4 | bits(word, 3, 0))
                                                : registerOperand(reg(word, 0));
        insn = memory(load, sh == 2 ? 1 : 2, reg(word, 12), reg(word, 16), offset);
        insn.signedLoad = sh != 1;
        insn.pre = bit(word, 24);
        insn.up = bit(word, 23);
        insn.writeback = !insn.pre || bit(word, 21);
    } else if (kind <= 1) {
        insn = armDataProcessing(word);
    } else if (kind <= 3) {
        if (kind == 3 && bit(word, 4)) {
            return insn;  // undefined
        }
        const ArmOperand offset = kind == 2 ? immediate(bits(word, 11, 0)) : armShifted(word);
        insn = memory(bit(word, 20), bit(word, 22) ? 1 : 4, reg(word, 12), reg(word, 16), offset);
        insn.pre = bit(word, 24);
        insn.up = bit(word, 23);
        insn.writeback = !insn.pre || bit(word, 21);
    } else if (kind == 4) {
        insn.op = bit(word, 20) ? ArmOp::LoadMultiple : ArmOp::StoreMultiple;
        insn.rn = reg(word, 16);
        insn.registers = static_cast<std::uint16_t>(bits(word, 15, 0));
        insn.pre = bit(word, 24);
        insn.up = bit(word, 23);
        insn.writeback = bit(word, 21);
    } else if (kind == 5) {
        insn.op = bit(word, 24) ? ArmOp::Call : ArmOp::Branch;
        insn.target = pc + (signExtend(bits(word, 23, 0), 24) << 2);
    } else if (bits(word, 27, 24) == 15) {
        insn.op = ArmOp::Swi;
        insn.swi = bits(word, 23, 16);
    } else {
        return insn;  // coprocessor: none on the GBA
    }
    insn.cond = cond;
    insn.size = 4;
    return insn;
}

ArmInsn decodeThumb(std::uint16_t half, std::uint16_t next, std::uint32_t address) {
    const std::uint32_t h = half;
    const std::uint32_t pc = address + 4;
    ArmInsn insn;
    switch (h >> 13) {
        case 0:
            if (bits(h, 12, 11) == 3) {  // ADD/SUB register or imm3
                const ArmOperand operand = bit(h, 10) ? immediate(bits(h, 8, 6)) : registerOperand(lowReg(h, 6));
                insn = alu(bit(h, 9) ? AluOp::Sub : AluOp::Add, lowReg(h, 0), lowReg(h, 3), operand);
            } else {                     // LSL/LSR/ASR #imm5
                insn = alu(AluOp::Mov, lowReg(h, 0), 0,
                           registerOperand(lowReg(h, 3), static_cast<ShiftOp>(bits(h, 12, 11)),
                                           static_cast<std::uint8_t>(bits(h, 10, 6))));
            }
            break;
        case 1: {  // MOV/CMP/ADD/SUB #imm8
            const std::uint8_t rd = lowReg(h, 8);
            const ArmOperand operand = immediate(bits(h, 7, 0));
            switch (bits(h, 12, 11)) {
                case 0: insn = alu(AluOp::Mov, rd, 0, operand); break;
                case 1: insn = other(0); break;
                case 2: insn = alu(AluOp::Add, rd, rd, operand); break;
                default: insn = alu(AluOp::Sub, rd, rd, operand); break;
            }
            break;
        }
        case 2:
            if (bits(h, 12, 10) == 0) {  // ALU operations on low registers
                const std::uint8_t rd = lowReg(h, 0);
                const std::uint8_t rs = lowReg(h, 3);
                switch (bits(h, 9, 6)) {
                    case 0: insn = alu(AluOp::And, rd, rd, registerOperand(rs)); break;
                    case 1: insn = alu(AluOp::Eor, rd, rd, registerOperand(rs)); break;
                    case 8: case 10: case 11: insn = other(0); break;  // TST, CMP, CMN
                    case 9: insn = alu(AluOp::Rsb, rd, rs, immediate(0)); break;  // NEG
                    case 12: insn = alu(AluOp::Orr, rd, rd, registerOperand(rs)); break;
                    case 14: insn = alu(AluOp::Bic, rd, rd, registerOperand(rs)); break;
                    case 15: insn = alu(AluOp::Mvn, rd, 0, registerOperand(rs)); break;
                    default: insn = other(only(rd)); break;  // shifts by register, ADC, SBC, ROR, MUL
                }
            } else if (bits(h, 12, 10) == 1) {  // high registers, BX
                const std::uint8_t rd =
                    static_cast<std::uint8_t>(lowReg(h, 0) | (static_cast<int>(bit(h, 7)) << 3));
                const std::uint8_t rs = reg(h, 3);
                switch (bits(h, 9, 8)) {
                    case 0: insn = alu(AluOp::Add, rd, rd, registerOperand(rs)); break;
                    case 1: insn = other(0); break;
                    case 2: insn = alu(AluOp::Mov, rd, 0, registerOperand(rs)); break;
                    default:
                        insn.op = ArmOp::BranchExchange;
                        insn.rn = rs;
                        break;
                }
            } else if (bits(h, 12, 11) == 1) {  // LDR Rd, [PC, #imm8*4]
                insn = memory(true, 4, lowReg(h, 8), kPc, immediate(bits(h, 7, 0) * 4));
            } else {  // load/store with a register offset
                static constexpr std::uint8_t kWidth[8] = {4, 2, 1, 1, 4, 2, 1, 2};
                const std::uint32_t op = bits(h, 11, 9);
                const bool load = op == 3 || op >= 4;
                insn = memory(load, kWidth[op], lowReg(h, 0), lowReg(h, 3), registerOperand(lowReg(h, 6)));
                insn.signedLoad = op == 3 || op == 7;
            }
            break;
        case 3: {  // LDR/STR/LDRB/STRB #imm5
            const bool byte = bit(h, 12);
            insn = memory(bit(h, 11), byte ? 1 : 4, lowReg(h, 0), lowReg(h, 3),
                          immediate(bits(h, 10, 6) * (byte ? 1 : 4)));
            break;
        }
        case 4:
            if (!bit(h, 12)) {  // LDRH/STRH #imm5*2
                insn = memory(bit(h, 11), 2, lowReg(h, 0), lowReg(h, 3), immediate(bits(h, 10, 6) * 2));
            } else {            // SP-relative
                insn = memory(bit(h, 11), 4, lowReg(h, 8), kSp, immediate(bits(h, 7, 0) * 4));
            }
            break;
        case 5:
            if (!bit(h, 12)) {  // ADD Rd, PC/SP, #imm8*4
                insn = alu(AluOp::Add, lowReg(h, 8), bit(h, 11) ? kSp : kPc, immediate(bits(h, 7, 0) * 4));
            } else if (bits(h, 11, 8) == 0) {  // ADD/SUB SP, #imm7*4
                insn = alu(bit(h, 7) ? AluOp::Sub : AluOp::Add, kSp, kSp, immediate(bits(h, 6, 0) * 4));
            } else if (bits(h, 10, 9) == 2) {  // PUSH/POP
                const bool pop = bit(h, 11);
                insn.op = pop ? ArmOp::LoadMultiple : ArmOp::StoreMultiple;
                insn.rn = kSp;
                insn.registers = static_cast<std::uint16_t>(bits(h, 7, 0) | (bit(h, 8) ? only(pop ? kPc : kLr) : 0));
                insn.pre = !pop;
                insn.up = pop;
                insn.writeback = true;
            }
            break;
        case 6:
            if (!bit(h, 12)) {  // LDMIA/STMIA Rb!, {list}
                insn.op = bit(h, 11) ? ArmOp::LoadMultiple : ArmOp::StoreMultiple;
                insn.rn = lowReg(h, 8);
                insn.registers = static_cast<std::uint16_t>(bits(h, 7, 0));
                insn.pre = false;
                insn.writeback = true;
            } else if (bits(h, 11, 8) == 15) {
                insn.op = ArmOp::Swi;
                insn.swi = bits(h, 7, 0);
            } else if (bits(h, 11, 8) != 14) {
                insn.op = ArmOp::Branch;
                insn.cond = static_cast<std::uint8_t>(bits(h, 11, 8));
                insn.target = pc + (signExtend(bits(h, 7, 0), 8) << 1);
            }
            break;
        default:
            if (bits(h, 12, 11) == 0) {
                insn.op = ArmOp::Branch;
                insn.target = pc + (signExtend(bits(h, 10, 0), 11) << 1);
            } else if (bits(h, 12, 11) == 2) {
                if ((next & 0xF800) == 0xF800) {
                    insn.op = ArmOp::Call;
                    insn.target = pc + (signExtend(bits(h, 10, 0), 11) << 12) + (bits(next, 10, 0) << 1);
                    insn.size = 4;
                    return insn;
                }
                insn = other(only(kLr));
                insn.thumbBlPrefix = true;
            }
            break;  // a lone second half or BLX (not on ARMv4T): invalid
    }
    insn.size = 2;
    return insn;
}

}  // namespace tagwright
