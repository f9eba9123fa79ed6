#include "needs/register_values.hpp"

#include <algorithm>
#include <bit>

namespace tagwright {

namespace {

constexpr std::uint32_t kIwramEnd = 0x03008000;
constexpr std::uint32_t kEwramEnd = 0x02040000;

// The 16 MiB areas where a pointer of unknown offset is still worth following: the
// EEPROM space and the SRAM/Flash space with its mirror.
bool trackedArea(std::uint32_t value) {
    const std::uint32_t area = value >> 24;
    return area == 0x0D || area == 0x0E || area == 0x0F;
}

bool located(const RegValue& v) { return v.kind == RegValue::Const || v.kind == RegValue::Based; }

RegValue based(std::uint32_t base) { return {RegValue::Based, 0, 0, base}; }
RegValue argBased(const RegValue& arg) { return {RegValue::ArgBased, arg.reg, arg.func, 0}; }

std::uint32_t shifted(std::uint32_t value, ShiftOp shift, std::uint32_t amount, bool& known) {
    switch (shift) {
        case ShiftOp::Lsl: return value << amount;
        case ShiftOp::Lsr: return amount == 0 ? 0 : value >> amount;
        case ShiftOp::Asr:
            return amount == 0
                       ? ((value & 0x80000000u) != 0u ? 0xFFFFFFFFu : 0)
                       : static_cast<std::uint32_t>(static_cast<std::int32_t>(value) >> amount);
        case ShiftOp::Ror:
            if (amount == 0) {
                known = false;  // RRX: the carry is not followed
            }
            return std::rotr(value, static_cast<int>(amount));
    }
    return value;
}

RegValue operandValue(const ArmOperand& operand, const RegState& state, std::uint32_t address, bool thumb) {
    if (operand.immediate) {
        return RegValue::constant(operand.value);
    }
    const RegValue v = readRegister(state, operand.rm, address, thumb);
    if (operand.byRegister) {
        return {};
    }
    if (operand.shift == ShiftOp::Lsl && operand.amount == 0) {
        return v;
    }
    if (!v.known()) {
        return {};
    }
    bool known = true;
    const std::uint32_t result = shifted(v.value, operand.shift, operand.amount, known);
    return known ? RegValue::constant(result) : RegValue{};
}

// A pointer into a followed area plus or minus something not known stays in that area
// (a loop's pointer, or one a compiler rebuilt from the area's address and an index);
// two pointers added, or an offset taken from a pointer, do not.
bool pointerLike(const RegValue& v) { return v.known() && v.value >= 0x02000000; }

RegValue add(const RegValue& a, const RegValue& b) {
    if (a.known() && b.known()) {
        return RegValue::constant(a.value + b.value);
    }
    const RegValue& c = a.known() ? a : b;
    const RegValue& o = a.known() ? b : a;
    if (c.known()) {
        switch (o.kind) {
            case RegValue::Arg: return {RegValue::Arg, o.reg, o.func, o.value + c.value};
            case RegValue::Based: return pointerLike(c) ? RegValue{} : o;
            case RegValue::ArgBased: return o;
            default: return trackedArea(c.value) ? based(c.value) : RegValue{};
        }
    }
    if (a.kind == RegValue::Based) {
        return a;
    }
    if (b.kind == RegValue::Based) {
        return b;
    }
    if (a.symbolic()) {
        return argBased(a);
    }
    if (b.symbolic()) {
        return argBased(b);
    }
    return {};
}

RegValue subtract(const RegValue& a, const RegValue& b) {
    if (a.known() && b.known()) {
        return RegValue::constant(a.value - b.value);
    }
    if (b.known()) {
        if (a.kind == RegValue::Arg) {
            return {RegValue::Arg, a.reg, a.func, a.value - b.value};
        }
        if (a.kind == RegValue::ArgBased) {
            return a;
        }
        if (a.kind == RegValue::Based) {
            return pointerLike(b) ? RegValue{} : a;
        }
        return {};
    }
    if (a.known() && trackedArea(a.value)) {
        return based(a.value & 0xFF000000);  // end - count
    }
    if (a.kind == RegValue::Based) {
        return a;
    }
    if (a.symbolic()) {
        return argBased(a);
    }
    return {};
}

RegValue compute(AluOp op, const RegValue& a, const RegValue& b) {
    const bool both = a.known() && b.known();
    switch (op) {
        case AluOp::Mov: return b;
        case AluOp::Mvn: return b.known() ? RegValue::constant(~b.value) : RegValue{};
        case AluOp::Add: return add(a, b);
        case AluOp::Sub: return subtract(a, b);
        case AluOp::Rsb: return subtract(b, a);
        case AluOp::And: return both ? RegValue::constant(a.value & b.value) : RegValue{};
        case AluOp::Eor: return both ? RegValue::constant(a.value ^ b.value) : RegValue{};
        case AluOp::Bic: return both ? RegValue::constant(a.value & ~b.value) : RegValue{};
        case AluOp::Orr:
            if (both) {
                return RegValue::constant(a.value | b.value);
            }
            // High bits put over an argument (a DMA count with its enable bit, an offset
            // with the save area's base): the argument plus them, as the bits do not meet.
            if (a.known() && b.kind == RegValue::Arg && (a.value & 0xFFFF) == 0) {
                return {RegValue::Arg, b.reg, b.func, b.value + a.value};
            }
            if (b.known() && a.kind == RegValue::Arg && (b.value & 0xFFFF) == 0) {
                return {RegValue::Arg, a.reg, a.func, a.value + b.value};
            }
            if (a.known() && trackedArea(a.value)) {
                return based(a.value);
            }
            if (b.known() && trackedArea(b.value)) {
                return based(b.value);
            }
            return {};
    }
    return {};
}

void set(RegState& state, std::uint8_t r, const RegValue& v, bool conditional) {
    if (r == kPc) {
        return;
    }
    state[r] = conditional ? meetValues(state[r], v) : v;
}

std::uint32_t signExtend(std::uint32_t value, std::uint8_t width) {
    if (width == 1) {
        return static_cast<std::uint32_t>(static_cast<std::int8_t>(value));
    }
    if (width == 2) {
        return static_cast<std::uint32_t>(static_cast<std::int16_t>(value));
    }
    return value;
}

}  // namespace

RegValue meetValues(const RegValue& a, const RegValue& b) {
    if (a == b) {
        return a;
    }
    if (located(a) && located(b) && (a.value >> 24) == (b.value >> 24) && trackedArea(a.value)) {
        return based(std::min(a.value, b.value));
    }
    if (a.symbolic() && b.symbolic() && a.func == b.func && a.reg == b.reg) {
        return argBased(a);
    }
    return {};
}

bool meetState(RegState& into, const RegState& from) {
    bool changed = false;
    for (std::size_t r = 0; r < into.size(); ++r) {
        const RegValue met = meetValues(into[r], from[r]);
        if (!(met == into[r])) {
            into[r] = met;
            changed = true;
        }
    }
    return changed;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> CodeMemory::copiedRom() const {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copied;
    for (const Copy& copy : copies_) {
        copied.emplace_back(copy.romOffset, copy.length);
    }
    return copied;
}

bool CodeMemory::isRam(std::uint32_t address) {
    const std::uint32_t area = address >> 24;
    return area == 0x02 || area == 0x03;
}

bool CodeMemory::isRom(std::uint32_t address) const {
    const std::uint32_t area = address >> 24;
    return area >= 0x08 && area <= 0x0C && (address & 0x01FFFFFF) < rom_.size();
}

std::optional<std::uint32_t> CodeMemory::ramOffset(std::uint32_t address, std::uint32_t bytes) const {
    const Copy* best = nullptr;
    for (const Copy& copy : copies_) {
        if (copy.ram <= address && ((best == nullptr) || copy.ram > best->ram)) {
            best = &copy;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t end = best->length != 0u
                                  ? best->ram + best->length
                                  : ((address >> 24) == 0x03 ? kIwramEnd : kEwramEnd);
    if (address + bytes > end || address + bytes < address) {
        return std::nullopt;
    }
    const std::uint64_t offset = std::uint64_t{best->romOffset} + (address - best->ram);
    if (offset + bytes > rom_.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(offset);
}

std::optional<std::uint32_t> CodeMemory::codeOffset(std::uint32_t address, std::uint32_t bytes) const {
    const std::uint32_t area = address >> 24;
    if (area >= 0x08 && area <= 0x0D) {
        const std::uint32_t offset = address & 0x01FFFFFF;
        if (std::uint64_t{offset} + bytes <= rom_.size()) {
            return offset;
        }
        return std::nullopt;
    }
    if (isRam(address)) {
        return ramOffset(address, bytes);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> CodeMemory::read(std::uint32_t address, std::uint8_t width,
                                              bool pcRelative) const {
    std::optional<std::uint32_t> offset;
    const std::uint32_t area = address >> 24;
    if (area >= 0x08 && area <= 0x0C) {
        offset = address & 0x01FFFFFF;
        if (std::uint64_t{*offset} + width > rom_.size()) {
            offset.reset();
        }
    } else if (isRam(address) && (pcRelative || width == 4)) {
        offset = ramOffset(address, width);
    }
    if (!offset) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::uint8_t i = 0; i < width; ++i) {
        value |= std::uint32_t{rom_[*offset + i]} << (8 * i);
    }
    if (isRam(address) && !pcRelative && !trackedArea(value)) {
        return std::nullopt;  // a variable: only a save address it starts with is kept
    }
    return value;
}

bool CodeMemory::addCopy(std::uint32_t ramAddress, std::uint32_t romAddress, std::uint32_t length) {
    if (!isRam(ramAddress) || !isRom(romAddress)) {
        return false;
    }
    const std::uint32_t romOffset = romAddress & 0x01FFFFFF;
    for (const Copy& copy : copies_) {
        if (copy.ram == ramAddress && copy.romOffset == romOffset) {
            return false;
        }
    }
    copies_.push_back({ramAddress, romOffset, length});
    return true;
}

RegValue aluResult(const ArmInsn& insn, const RegState& state, std::uint32_t address, bool thumb) {
    RegValue a = readRegister(state, insn.rn, address, thumb);
    if (thumb && insn.rn == kPc && insn.operand.immediate) {
        a.value &= ~3u;  // ADR
    }
    return compute(insn.alu, a, operandValue(insn.operand, state, address, thumb));
}

RegValue readRegister(const RegState& state, std::uint8_t r, std::uint32_t address, bool thumb) {
    if (r == kPc) {
        return RegValue::constant(address + (thumb ? 4 : 8));
    }
    return state[r];
}

void clobberAfterCall(RegState& state) {
    for (std::uint8_t r : {0, 1, 2, 3, 12, 14}) {
        state[r] = {};
    }
}

void stepInstruction(const ArmInsn& insn, std::uint32_t address, bool thumb, const CodeMemory& memory,
                     RegState& state, std::vector<MemoryAccess>* accesses) {
    const bool conditional = insn.cond != kAlways;
    switch (insn.op) {
        case ArmOp::Alu:
            set(state, insn.rd, aluResult(insn, state, address, thumb), conditional);
            break;
        case ArmOp::Load:
        case ArmOp::Store: {
            RegValue base = readRegister(state, insn.rn, address, thumb);
            if (thumb && insn.rn == kPc) {
                base.value &= ~3u;
            }
            const RegValue offset = operandValue(insn.operand, state, address, thumb);
            const RegValue moved = insn.up ? add(base, offset) : subtract(base, offset);
            MemoryAccess access;
            access.write = insn.op == ArmOp::Store;
            access.width = insn.width;
            access.address = insn.pre ? moved : base;
            if (access.write) {
                access.value = readRegister(state, insn.rd, address, thumb);
            } else if (access.address.known()) {
                if (auto v = memory.read(access.address.value, insn.width, insn.rn == kPc)) {
                    access.value = RegValue::constant(insn.signedLoad ? signExtend(*v, insn.width) : *v);
                }
            } else if (insn.width == 4 && insn.pre && insn.up && !insn.operand.immediate && insn.rn != kPc &&
                       base.known() != offset.known()) {
                // A word of a table in the ROM, chosen by an index not known.
                const std::uint32_t table = base.known() ? base.value : offset.value;
                if (memory.isRom(table) && (table & 3) == 0) {
                    // A table that starts with a save address holds pointers into that area.
                    const auto first = memory.read(table, 4, false);
                    access.value = first && trackedArea(*first) ? based(*first) : RegValue::table(table);
                }
            }
            if (insn.writeback && insn.rn != kPc) {
                set(state, insn.rn, moved, conditional);
            }
            if (!access.write) {
                const bool pop = insn.rn == kSp && !insn.pre && insn.up && insn.writeback;
                set(state, insn.rd, pop && !access.value.known() ? RegValue::popped() : access.value,
                    conditional);
            }
            if (accesses != nullptr) {
                accesses->push_back(access);
            }
            break;
        }
        case ArmOp::LoadMultiple:
        case ArmOp::StoreMultiple: {
            const RegValue base = state[insn.rn];
            const std::uint32_t count = static_cast<std::uint32_t>(std::popcount(insn.registers));
            const bool load = insn.op == ArmOp::LoadMultiple;
            std::uint32_t first = 0;
            if (base.known()) {
                first = insn.up ? base.value + (insn.pre ? 4 : 0) : base.value - 4 * count + (insn.pre ? 0 : 4);
            }
            std::uint32_t slot = 0;
            for (std::uint8_t r = 0; r < 16; ++r) {
                if ((insn.registers >> r & 1) == 0) {
                    continue;
                }
                MemoryAccess access;
                access.write = !load;
                access.width = 4;
                if (base.known()) {
                    access.address = RegValue::constant(first + 4 * slot);
                }
                ++slot;
                if (load) {
                    if (access.address.known()) {
                        if (auto v = memory.read(access.address.value, 4, false)) {
                            access.value = RegValue::constant(*v);
                        }
                    }
                    // A pop's values: saved registers, and the return address.
                    const bool pop = insn.rn == kSp && insn.writeback && insn.up;
                    set(state, r, pop && !access.value.known() ? RegValue::popped() : access.value,
                        conditional);
                } else {
                    access.value = readRegister(state, r, address, thumb);
                }
                if ((accesses != nullptr) && base.known()) {
                    accesses->push_back(access);
                }
            }
            const bool baseLoaded = load && ((insn.registers >> insn.rn & 1) != 0);
            if (insn.writeback && !baseLoaded) {
                const RegValue step = RegValue::constant(4 * count);
                set(state, insn.rn, insn.up ? add(base, step) : subtract(base, step), conditional);
            }
            break;
        }
        case ArmOp::Swi:
            for (std::uint8_t r : {0, 1, 2, 3, 12}) {
                set(state, r, {}, conditional);
            }
            break;
        case ArmOp::Other:
            for (std::uint8_t r = 0; r < 15; ++r) {
                if ((insn.clobbers >> r & 1) != 0) {
                    set(state, r, {}, conditional);
                }
            }
            break;
        default: break;
    }
}

}  // namespace tagwright
