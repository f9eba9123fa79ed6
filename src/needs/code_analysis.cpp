#include "needs/code_analysis.hpp"

#include <algorithm>
#include <bit>
#include <deque>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "needs/register_values.hpp"

namespace tagwright {

namespace {

constexpr std::uint32_t kRomBase = 0x08000000;
constexpr std::size_t kMaxBlockInstructions = 4096;
constexpr std::uint32_t kMaxVisits = 64;        // per block, then its registers are given up
constexpr int kMaxRounds = 12;
constexpr std::size_t kMaxGapsListed = 8;
constexpr std::size_t kMaxSymbolicEvents = 16;  // per function
constexpr int kResolveDepth = 3;
constexpr std::size_t kMaxInstances = 4096;     // per function
constexpr std::size_t kMaxTableEntries = 512;
constexpr std::uint32_t kMaxCopyScanned = 64 * 1024;  // bytes of copied data looked at for pointers
constexpr std::uint32_t kDma3Source = 0x040000D4;
constexpr std::uint32_t kDma3End = 0x040000E0;

bool inSaveArea(const RegValue& v) {
    return (v.kind == RegValue::Const || v.kind == RegValue::Based) && (v.value >> 24 == 0x0E || v.value >> 24 == 0x0F);
}
bool inEepromSpace(const RegValue& v) { return v.known() && v.value >> 24 == 0x0D; }
bool isIrqVector(std::uint32_t address) { return address == 0x03007FFC || address == 0x03FFFFFC; }

std::uint64_t blockKey(std::uint32_t address, bool thumb) { return std::uint64_t{address} << 1 | (thumb ? 1 : 0); }

std::uint16_t read16(std::span<const std::uint8_t> rom, std::uint32_t offset) {
    return static_cast<std::uint16_t>(rom[offset] | rom[offset + 1] << 8);
}
std::uint32_t read32(std::span<const std::uint8_t> rom, std::uint32_t offset) {
    return std::uint32_t{read16(rom, offset)} | std::uint32_t{read16(rom, offset + 2)} << 16;
}

struct Block {
    std::uint32_t address = 0;
    bool thumb = false;
    bool seen = false;
    bool queued = false;
    std::uint32_t owner = 0;
    std::uint32_t visits = 0;
    RegState in{};
};

struct CallSite {
    std::uint32_t callee = 0;
    std::uint32_t address = 0;
    RegState state{};
};

// A save access or a DMA3 start, as the code shows it: values may be symbolic.
struct Event {
    std::uint32_t owner = 0;
    std::uint32_t address = 0;
    std::uint32_t romOffset = 0;
    bool dma = false;
    MemoryAccess access;          // !dma
    std::array<RegValue, 4> dma3; // dma: source, destination, count word or halfword, control
    bool countIsWord = false;     // the count value carries the control in its upper half
};

// Values that become a jump, a copy or an entry once known (maybe at the callers).
struct Pending {
    enum Kind : std::uint8_t { Jump, Copy, Entry } kind = Jump;
    std::uint32_t address = 0;          // where in the code
    std::array<RegValue, 3> values{};   // Jump/Entry: target; Copy: source, destination, length
    std::uint32_t owner = 0;            // the function whose code it is in
    bool exchange = true;               // Jump: BX (bit 0 chooses Thumb)
    bool thumbNow = false;
    bool arm = false;                   // Entry: ARM (the interrupt vector)
};

// A jump or call to RAM whose code was not (yet) seen copied there.
struct UnmappedTarget {
    std::uint32_t target = 0;
    bool thumb = false;
    std::uint32_t at = 0;     // ROM offset of the jump
    std::uint32_t owner = 0;  // the function it is in
};

struct Dma3Shadow {
    RegValue source, destination, count, control;
    bool countIsWord = false;
};

class Analyser {
public:
    explicit Analyser(std::span<const std::uint8_t> rom) : memory_(rom) {
        result_.reached = HalfwordMarks(rom.size() / 2 + 1);
        armStarts_ = HalfwordMarks(rom.size() / 2 + 1);
        thumbStarts_ = HalfwordMarks(rom.size() / 2 + 1);
    }

    CodeAnalysis run() {
        if (memory_.rom().size() < 4) {
            speculative_.push_back(false);
            gap(0, 0, "no code: the image is too short");
            return std::move(result_);
        }
        const std::uint32_t entry = enterFunction(kRomBase, false, /*withArguments=*/false);
        (void)entry;
        for (int round = 0; round < kMaxRounds; ++round) {
            fixpoint();
            collect();
            if (!resolve()) {
                break;
            }
        }
        for (const UnmappedTarget& unmapped : unmappedTargets_) {
            gap(unmapped.owner, unmapped.at, "a jump to " + hexAddress(unmapped.target) + " in RAM, whose code was not seen copied there");
        }
        classify();
        result_.functions = static_cast<std::uint32_t>(functionBlocks_.size());
        return std::move(result_);
    }

private:
    // --- code and its states -------------------------------------------------------

    std::uint32_t blockFor(std::uint32_t address, bool thumb) {
        const auto [it, added] = blockIndex_.try_emplace(blockKey(address, thumb), static_cast<std::uint32_t>(blocks_.size()));
        if (added) {
            Block block;
            block.address = address;
            block.thumb = thumb;
            blocks_.push_back(block);
            if (const auto at = romHalfword(address)) {
                (thumb ? thumbStarts_ : armStarts_).set(*at);
            }
        }
        return it->second;
    }

    void flow(std::uint32_t block, const RegState& state, std::uint32_t owner) {
        Block& b = blocks_[block];
        bool changed = false;
        if (!b.seen) {
            b.seen = true;
            b.in = state;
            b.owner = owner;
            changed = true;
        } else {
            changed = meetState(b.in, state);
        }
        if (changed && !b.queued) {
            b.queued = true;
            worklist_.push_back(block);
        }
    }

    // The halfword index of a ROM address (not RAM: code there is keyed by its address only).
    std::optional<std::uint32_t> romHalfword(std::uint32_t address) const {
        const std::uint32_t area = address >> 24;
        if (area < 0x08 || area > 0x0D) {
            return std::nullopt;
        }
        const std::uint32_t offset = address & 0x01FFFFFF;
        if (offset / 2 >= armStarts_.size()) {
            return std::nullopt;
        }
        return offset / 2;
    }

    // Whether another block starts at `address`: this one flows into it and ends.
    bool blockStartsAt(std::uint32_t address, bool thumb) const {
        const auto at = romHalfword(address);
        return at && (thumb ? thumbStarts_ : armStarts_)[*at];
    }

    bool runnable(std::uint32_t address, bool thumb) const {
        return memory_.codeOffset(address, thumb ? 2 : 4).has_value();
    }

    // A function entered with its registers as its arguments; returns its number.
    std::uint32_t enterFunction(std::uint32_t address, bool thumb, bool withArguments = true) {
        address &= thumb ? ~1u : ~3u;
        const std::uint64_t key = blockKey(address, thumb);
        const auto found = functionIndex_.find(key);
        if (found != functionIndex_.end()) {
            return found->second;
        }
        const std::uint32_t id = static_cast<std::uint32_t>(functionBlocks_.size());
        const std::uint32_t block = blockFor(address, thumb);
        functionIndex_.emplace(key, id);
        functionBlocks_.push_back(block);
        speculative_.push_back(enteringByPointer_);
        RegState state{};
        if (withArguments) {
            for (std::uint8_t r = 0; r < 15; ++r) {
                state[r] = RegValue::argument(id, r);
            }
        }
        flow(block, state, id);
        return id;
    }

    // A jump or call to a known address; code in RAM not (yet) seen copied waits.
    void enter(std::uint32_t target, bool thumb, bool asCall, const RegState& state, std::uint32_t owner,
               std::uint32_t at) {
        target &= thumb ? ~1u : ~3u;
        if (!runnable(target, thumb)) {
            if (CodeMemory::isRam(target)) {
                unmappedTargets_.push_back({target, thumb, at, owner});
            }
            return;  // the BIOS or nowhere: nothing of the game's to follow
        }
        if (asCall) {
            enterFunction(target, thumb);
        } else {
            flow(blockFor(target, thumb), state, owner);
        }
    }

    // Something not followed in the code of function `owner`.
    void gap(std::uint32_t owner, std::uint32_t romOffset, std::string what) {
        if (speculative_[owner]) {
            return;  // entered by a pointer that may be data
        }
        ++result_.gapCount;
        if (result_.gaps.size() < kMaxGapsListed) {
            result_.gaps.push_back({romOffset, std::move(what)});
        }
    }

    std::uint32_t offsetOf(std::uint32_t address) const {
        return memory_.codeOffset(address, 2).value_or(address & 0x01FFFFFF);
    }

    // A jump to a register's value: known, the caller's (resolved later), a return, or a gap.
    void jumpTo(const RegValue& target, bool exchange, bool thumbNow, bool asCall, const RegState& state,
                std::uint32_t owner, std::uint32_t at, bool collecting) {
        if (target.known()) {
            const bool thumb = exchange ? (target.value & 1) != 0 : thumbNow;
            enter(target.value, thumb, asCall, state, owner, offsetOf(at));
            return;
        }
        if (target.kind == RegValue::Popped || (target.kind == RegValue::Arg && target.reg == kLr && target.value == 0)) {
            return;  // a return
        }
        if (!collecting) {
            return;
        }
        if (target.kind == RegValue::Table && exchange) {
            // BX to a function pointer chosen by an index.
            tableEntries(target.value, at, false, [this](const Pending& entry) { pendings_.push_back(entry); });
            return;
        }
        if (target.symbolic()) {
            Pending jump;
            jump.kind = Pending::Jump;
            jump.address = at;
            jump.owner = owner;
            jump.values[0] = target;
            jump.exchange = exchange;
            jump.thumbNow = thumbNow;
            pendings_.push_back(jump);
            return;
        }
        gap(owner, offsetOf(at), "a jump to a value not known at " + hexAddress(at));
    }

    // A table of code addresses: each word from `table` that is a Thumb (odd) or, unless
    // `thumbOnly`, ARM (multiple of 4) address in the ROM, up to the first that is not,
    // handed to `take` as an entry; enterKnown() asks each for a plausible first
    // instruction.
    template <typename Take>
    void tableEntries(std::uint32_t table, std::uint32_t at, bool thumbOnly, const Take& take) {
        for (std::size_t i = 0; i < kMaxTableEntries; ++i) {
            const auto word = memory_.read(table + 4 * static_cast<std::uint32_t>(i), 4, false);
            if (!word || !memory_.isRom(*word) || (*word & 3) == 2 || (thumbOnly && (*word & 1) == 0)) {
                break;
            }
            Pending entry;
            entry.kind = Pending::Entry;
            entry.owner = currentOwner_;
            entry.address = at;
            entry.values[0] = RegValue::constant(*word);
            entry.arm = (*word & 1) == 0;
            take(entry);
        }
    }

    // A ROM address the code loads, or an initialised variable holds, that points at
    // Thumb code addresses: a table of function pointers, such as the virtual functions
    // of a C++ class whose objects the code makes. Each is entered as a function whose
    // address is taken (its first instruction must be plausible).
    void pointerTable(std::uint32_t table, std::uint32_t at) {
        if ((table & 3) == 0 && memory_.isRom(table) && examinedTables_.insert(table).second) {
            tableEntries(table, at, true, [this](const Pending& entry) { pendings_.push_back(entry); });
        }
    }

    // The entries of an ARM jump table: words that are ARM code addresses, from `table`.
    void jumpTable(std::uint32_t table, const RegState& state, std::uint32_t owner) {
        for (std::size_t i = 0; i < kMaxTableEntries; ++i) {
            const auto word = memory_.read(table + 4 * static_cast<std::uint32_t>(i), 4, true);
            if (!word || (*word & 3) != 0 || !runnable(*word, false)) {
                break;
            }
            flow(blockFor(*word, false), state, owner);
        }
    }

    // ADD PC, PC, Rn, LSL #2: a run of branches after it.
    void branchTable(std::uint32_t first, const RegState& state, std::uint32_t owner) {
        for (std::size_t i = 0; i < kMaxTableEntries; ++i) {
            const std::uint32_t at = first + 4 * static_cast<std::uint32_t>(i);
            const auto offset = memory_.codeOffset(at, 4);
            if (!offset) {
                break;
            }
            const ArmInsn insn = decodeArm(read32(memory_.rom(), *offset), at);
            if (insn.op != ArmOp::Branch || insn.cond != kAlways) {
                break;
            }
            flow(blockFor(at, false), state, owner);
        }
    }

    void process(std::uint32_t index, bool collecting) {
        const Block block = blocks_[index];
        RegState state = block.in;
        // The first visit sees the values a loop is entered with: a copy loop's bases.
        const bool firstVisit = !collecting && block.visits == 1;
        copySource_ = {};
        std::uint32_t address = block.address;
        const bool thumb = block.thumb;
        const std::uint32_t owner = block.owner;
        currentOwner_ = owner;
        const auto rom = memory_.rom();
        Dma3Shadow dma;
        std::vector<MemoryAccess>& accesses = accesses_;

        for (std::size_t n = 0; n < kMaxBlockInstructions; ++n) {
            if (n > 0 && blockStartsAt(address, thumb)) {
                flow(blockFor(address, thumb), state, owner);
                return;
            }
            const auto offset = memory_.codeOffset(address, thumb ? 2 : 4);
            if (!offset) {
                if (collecting) {
                    gap(owner, address & 0x01FFFFFF,
                        "code runs off the end of the ROM at " + hexAddress(address));
                }
                return;
            }
            ArmInsn insn;
            if (thumb) {
                const std::uint16_t next = *offset + 4 <= rom.size() ? read16(rom, *offset + 2) : 0;
                insn = decodeThumb(read16(rom, *offset), next, address);
            } else {
                insn = decodeArm(read32(rom, *offset), address);
            }
            if (collecting) {
                ++result_.instructions;
                for (std::uint32_t i = 0; i < insn.size && *offset / 2 + i / 2 < result_.reached.size(); i += 2) {
                    result_.reached.set(*offset / 2 + i / 2);
                }
            }
            if (insn.op == ArmOp::Invalid) {
                if (collecting) {
                    gap(owner, *offset, "an undefined instruction at " + hexAddress(address));
                }
                return;
            }
            const std::uint32_t next = address + insn.size;
            const bool conditional = insn.cond != kAlways;
            const bool returnsHere = state[kLr].known() && (state[kLr].value & ~1u) == next;

            switch (insn.op) {
                case ArmOp::Branch:
                    enter(insn.target, thumb, false, state, owner, *offset);
                    // A conditional branch ends the block too: what follows is a block
                    // of its own, decoded once however many branches lead into it.
                    if (conditional) {
                        flow(blockFor(next, thumb), state, owner);
                    }
                    return;
                case ArmOp::Call: {
                    const auto target = insn.target & (thumb ? ~1u : ~3u);
                    if (runnable(target, thumb)) {
                        const std::uint32_t callee = enterFunction(target, thumb);
                        if (collecting) {
                            calls_.push_back({callee, address, state});
                            callArguments(state, address);
                        }
                    }
                    clobberAfterCall(state);
                    break;
                }
                case ArmOp::BranchExchange: {
                    const RegValue target = readRegister(state, insn.rn, address, thumb);
                    jumpTo(target, true, thumb, returnsHere, state, owner, address, collecting);
                    if (returnsHere) {
                        if (collecting && target.known()) {
                            const auto key = blockKey(target.value & ~1u, (target.value & 1) != 0);
                            if (auto f = functionIndex_.find(key); f != functionIndex_.end()) {
                                calls_.push_back({f->second, address, state});
                            }
                        }
                        clobberAfterCall(state);
                        break;
                    }
                    if (!conditional) {
                        return;
                    }
                    break;
                }
                case ArmOp::Swi:
                    if (collecting && (insn.swi == 0x0B || insn.swi == 0x0C)) {
                        // CpuSet / CpuFastSet: r0 source, r1 destination, r2 count and mode.
                        RegValue length;
                        if (state[2].known()) {
                            const std::uint32_t units = state[2].value & 0x1FFFFF;
                            const bool words =
                                insn.swi == 0x0C || ((state[2].value >> 26 & 1) != 0u);
                            length = RegValue::constant(units * (words ? 4 : 2));
                        }
                        copy(state[0], state[1], length, address);
                    }
                    break;
                default: break;
            }

            if (writesPc(insn)) {
                handlePcWrite(insn, state, address, thumb, owner, returnsHere, collecting);
                if (!conditional && !returnsHere) {
                    return;
                }
            }

            const bool copies = insn.op == ArmOp::Load || insn.op == ArmOp::Store ||
                                insn.op == ArmOp::LoadMultiple || insn.op == ArmOp::StoreMultiple;
            const RegValue base = state[insn.rn];
            if (!collecting) {
                stepInstruction(insn, address, thumb, memory_, state, nullptr);
            } else {
                accesses.clear();
                stepInstruction(insn, address, thumb, memory_, state, &accesses);
                for (const MemoryAccess& access : accesses) {
                    noteAccess(access, owner, address, *offset, dma);
                }
            }
            if (firstVisit && copies && insn.rn != kSp && insn.rn != kPc) {
                noteCopyStep(insn, base, owner, address);
            }
            if (writesPc(insn) && !conditional) {
                clobberAfterCall(state);  // a call through a register that returns here
            }
            address = next;
        }
        if (collecting) {
            gap(owner, block.address & 0x01FFFFFF, "a block longer than the analysis follows");
        }
    }

    void handlePcWrite(const ArmInsn& insn, const RegState& state, std::uint32_t address, bool thumb,
                       std::uint32_t owner, bool returnsHere, bool collecting) {
        switch (insn.op) {
            case ArmOp::Alu: {
                if (!thumb && insn.alu == AluOp::Add && insn.rn == kPc && !insn.operand.immediate && !state[insn.operand.rm].known()) {
                    branchTable(address + 8, state, owner);
                    return;
                }
                jumpTo(aluResult(insn, state, address, thumb), false, thumb, returnsHere, state, owner, address,
                       collecting);
                return;
            }
            case ArmOp::Load: {
                if (insn.rn == kSp && insn.up && !insn.pre) {
                    return;  // LDR PC, [SP], #4: a return
                }
                if (!thumb && insn.rn == kPc && !insn.operand.immediate && !state[insn.operand.rm].known()) {
                    jumpTable(address + 8, state, owner);
                    return;
                }
                RegState after = state;
                std::vector<MemoryAccess> access;
                stepInstruction(insn, address, thumb, memory_, after, &access);
                jumpTo(access.empty() ? RegValue{} : access.front().value, false, thumb, returnsHere, state, owner,
                       address, collecting);
                return;
            }
            case ArmOp::LoadMultiple: {
                if (insn.rn == kSp) {
                    return;  // a pop into PC: a return
                }
                RegState after = state;
                std::vector<MemoryAccess> access;
                stepInstruction(insn, address, thumb, memory_, after, &access);
                const RegValue target = access.size() == static_cast<std::size_t>(std::popcount(insn.registers))
                                            ? access.back().value
                                            : RegValue{};
                jumpTo(target, false, thumb, returnsHere, state, owner, address, collecting);
                return;
            }
            default:
                if (collecting) {
                    gap(owner, offsetOf(address), "a write to PC not followed at " + hexAddress(address));
                }
                return;
        }
    }

    void fixpoint() {
        while (!worklist_.empty()) {
            const std::uint32_t index = worklist_.front();
            worklist_.pop_front();
            Block& block = blocks_[index];
            block.queued = false;
            if (++block.visits > kMaxVisits) {
                // Values that keep changing: keep only the arguments' identity.
                for (std::uint8_t r = 0; r < 15; ++r) {
                    block.in[r] = {};
                }
            }
            process(index, false);
        }
    }

    // --- what the code does ----------------------------------------------------------

    void noteAccess(const MemoryAccess& access, std::uint32_t owner, std::uint32_t address, std::uint32_t offset,
                    Dma3Shadow& dma) {
        const RegValue& at = access.address;
        if (access.write && !inSaveArea(at) && (inSaveArea(access.value) || inEepromSpace(access.value)) &&
            !result_.saveAddressStored) {
            result_.saveAddressStored = offset;  // a save address kept in memory, used from there
        }
        if (inSaveArea(at)) {
            if (access.write && at.known() && at.value == 0x0E005555 && access.value.symbolic()) {
                result_.flashCommandsFromCallers = true;
            }
            events_.push_back({owner, address, offset, false, access, {}, false});
            return;
        }
        if (at.symbolic()) {
            auto& count = symbolicEvents_[owner];
            if (count < kMaxSymbolicEvents) {
                ++count;
                events_.push_back({owner, address, offset, false, access, {}, false});
            }
            return;
        }
        if (!access.write && access.value.known()) {
            pointerTable(access.value.value, address);
        }
        if (!at.known() || !access.write) {
            return;
        }
        if (isIrqVector(at.value)) {
            Pending entry;
            entry.kind = Pending::Entry;
            entry.owner = currentOwner_;
            entry.address = address;
            entry.values[0] = access.value;
            entry.arm = true;
            pendings_.push_back(entry);
            return;
        }
        if (access.value.known() && ((access.value.value & 1) != 0u) &&
            memory_.isRom(access.value.value)) {
            codePointer(access.value.value, address);  // a Thumb function's address stored
        }
        if (at.value < kDma3Source || at.value >= kDma3End) {
            return;
        }
        const std::uint32_t reg = at.value - kDma3Source;
        if (access.width == 4 && reg == 0) {
            dma.source = access.value;
        }
        if (access.width == 4 && reg == 4) {
            dma.destination = access.value;
        }
        if (reg == 8) {
            dma.count = access.value;
            dma.countIsWord = access.width == 4;
        }
        if (reg == 10 && access.width == 2) {
            dma.control = access.value;
        }
        const bool starts = (reg == 8 && access.width == 4) || (reg == 10 && access.width == 2);
        if (!starts) {
            return;
        }
        Event event{owner, address, offset, true, {}, {dma.source, dma.destination, dma.count, dma.control},
                    dma.countIsWord};
        const bool eeprom = inEepromSpace(dma.source) || inEepromSpace(dma.destination);
        const bool symbolic = dma.source.symbolic() || dma.destination.symbolic() || dma.count.symbolic();
        if (eeprom || symbolic) {
            events_.push_back(event);
        }
        if (dma.source.known() && dma.destination.known()) {
            RegValue length;
            if (dma.count.known() && dma.countIsWord) {
                const std::uint32_t units = dma.count.value & 0xFFFF;
                length = RegValue::constant(units * ((dma.count.value >> 26 & 1) != 0u ? 4 : 2));
            }
            copy(dma.source, dma.destination, length, address);
        }
    }

    void codePointer(std::uint32_t value, std::uint32_t at) {
        Pending entry;
        entry.kind = Pending::Entry;
        entry.owner = currentOwner_;
        entry.address = at;
        entry.values[0] = RegValue::constant(value);
        pendings_.push_back(entry);
    }

    // What a call's arguments show: a memcpy into RAM, Thumb function addresses.
    void callArguments(const RegState& state, std::uint32_t at) {
        if (state[0].known() && state[1].known() && CodeMemory::isRam(state[0].value) && memory_.isRom(state[1].value)) {
            copy(state[1], state[0], state[2], at);
        }
        for (std::uint8_t r = 0; r < 4; ++r) {
            if (state[r].known() && ((state[r].value & 1) != 0u) && memory_.isRom(state[r].value)) {
                codePointer(state[r].value, at);
            }
        }
    }

    void copy(const RegValue& source, const RegValue& destination, const RegValue& length, std::uint32_t at) {
        Pending copy;
        copy.kind = Pending::Copy;
        copy.address = at;
        copy.values = {source, destination, length};
        pendings_.push_back(copy);
    }

    // A load or store with write-back inside a block: with the block's entry values, a
    // copy loop's source or destination. Pairs a load base with the next store base.
    void noteCopyStep(const ArmInsn& insn, const RegValue& base, std::uint32_t owner, std::uint32_t at) {
        const bool load = insn.op == ArmOp::Load || insn.op == ArmOp::LoadMultiple;
        if (load) {
            copySource_ = base;
            copyOwner_ = owner;
            return;
        }
        if (copyOwner_ != owner || !(copySource_.known() || copySource_.symbolic())) {
            return;
        }
        if (!(base.known() || base.symbolic())) {
            return;
        }
        Pending loop;
        loop.kind = Pending::Copy;
        loop.address = at;
        loop.values = {copySource_, base, RegValue{}};
        loopCopies_.push_back(loop);
        copySource_ = {};
    }

    void collect() {
        events_.clear();
        calls_.clear();
        pendings_.clear();
        symbolicEvents_.clear();
        result_.gaps.clear();
        result_.gapCount = 0;
        result_.instructions = 0;
        unmappedTargets_.clear();
        for (std::uint32_t i = 0; i < blocks_.size(); ++i) {
            if (blocks_[i].seen) {
                process(i, true);
            }
        }
        // The initialised data the start-up code copies, once each: pointers to tables of
        // functions.
        currentOwner_ = 0;
        for (const auto& [romOffset, length] : memory_.copiedRom()) {
            if (!scannedCopies_.insert(romOffset).second) {
                continue;
            }
            const std::uint32_t scanned = length == 0 ? kMaxCopyScanned : std::min(length, kMaxCopyScanned);
            for (std::uint32_t at = romOffset; at + 4 <= romOffset + scanned &&
                                               at + 4 <= memory_.rom().size();
                 at += 4) {
                pointerTable(read32(memory_.rom(), at), kRomBase + at);
            }
        }
        pendings_.insert(pendings_.end(), loopCopies_.begin(), loopCopies_.end());
        calls_.insert(calls_.end(), forwarded_.begin(), forwarded_.end());
        callers_.clear();
        for (std::uint32_t i = 0; i < calls_.size(); ++i) {
            callers_[calls_[i].callee].push_back(i);
        }
    }

    // Calls `use` with `values` made concrete at the callers of the function their
    // symbolic parts come from, as deep as kResolveDepth; parts that no caller resolves
    // stay symbolic.
    void instantiate(std::vector<RegValue> values, int depth, std::size_t& budget,
                     const std::function<void(const std::vector<RegValue>&)>& use) {
        const auto symbolic = std::find_if(values.begin(), values.end(), [](const RegValue& v) { return v.symbolic(); });
        const auto sites = symbolic == values.end() ? callers_.end() : callers_.find(symbolic->func);
        if (depth == 0 || sites == callers_.end()) {
            if (budget != 0u) {
                --budget;
                for (RegValue& v : values) {
                    v = withArgumentNotKnown(v);
                }
                use(values);
            }
            return;
        }
        const std::uint32_t func = symbolic->func;
        for (const std::uint32_t site : sites->second) {
            if (budget == 0u) {
                return;
            }
            std::vector<RegValue> concrete = values;
            for (RegValue& v : concrete) {
                if (v.symbolic() && v.func == func) {
                    v = atCaller(v, calls_[site].state[v.reg]);
                }
            }
            instantiate(std::move(concrete), depth - 1, budget, use);
        }
    }

    // An argument plus k, where k lies in the save or EEPROM space, with the argument not
    // known: an offset into that area (a save routine entered through a pointer, or
    // given an offset nobody knows); anything else as it is.
    static RegValue withArgumentNotKnown(const RegValue& v) {
        if (v.kind == RegValue::Arg && v.value >> 24 >= 0x0D && v.value >> 24 <= 0x0F) {
            return {RegValue::Based, 0, 0, v.value};
        }
        return v;
    }

    // A function's argument value (plus k, or plus an offset not known) as a caller gives it.
    static RegValue atCaller(const RegValue& v, const RegValue& given) {
        if (v.kind == RegValue::Arg) {
            switch (given.kind) {
                case RegValue::Const: return RegValue::constant(given.value + v.value);
                case RegValue::Arg: return {RegValue::Arg, given.reg, given.func, given.value + v.value};
                case RegValue::Based:
                case RegValue::ArgBased: return given;
                default: {
                    const RegValue offset = withArgumentNotKnown(v);
                    return offset.kind == RegValue::Based ? offset : RegValue{};
                }
            }
        }
        switch (given.kind) {
            case RegValue::Const:
            case RegValue::Based: return given.value >> 24 >= 0x0D && given.value >> 24 <= 0x0F
                                             ? RegValue{RegValue::Based, 0, 0, given.value}
                                             : RegValue{};
            case RegValue::Arg:
            case RegValue::ArgBased: return {RegValue::ArgBased, given.reg, given.func, 0};
            default: return {};
        }
    }

    bool resolve() {
        bool found = false;
        for (const Pending& pending : pendings_) {
            const RegValue& target = pending.values[0];
            if (pending.kind == Pending::Jump && target.kind == RegValue::Arg) {
                // A helper jumping to its caller's value (BX r3 in _call_via_r3): the
                // target is called from each of the helper's callers, with their values.
                const auto sites = callers_.find(target.func);
                bool resolved = false;
                for (const std::uint32_t site : sites == callers_.end() ? std::vector<std::uint32_t>{} : sites->second) {
                    const RegValue given = calls_[site].state[target.reg];
                    if (given.kind == RegValue::Table && target.value == 0 && pending.exchange) {
                        resolved = true;
                        tableEntries(given.value, pending.address, false, [&](const Pending& entry) {
                            found = enterKnown(entry.values[0].value, entry) || found;
                        });
                        continue;
                    }
                    if (!given.known()) {
                        continue;
                    }
                    resolved = true;
                    const std::uint32_t value = given.value + target.value;
                    if (enterKnown(value, pending)) {
                        found = true;
                    }
                    const bool thumb = pending.exchange ? (value & 1) != 0 : pending.thumbNow;
                    const auto callee = functionIndex_.find(blockKey(value & (thumb ? ~1u : ~3u), thumb));
                    if (callee != functionIndex_.end() &&
                        forwardedCalls_.insert(std::uint64_t{callee->second} << 32 | calls_[site].address).second) {
                        forwarded_.push_back({callee->second, calls_[site].address, calls_[site].state});
                        found = true;
                    }
                }
                if (!resolved) {
                    gap(pending.owner, offsetOf(pending.address),
                        "a jump to a caller's value not known at " + hexAddress(pending.address));
                }
                continue;
            }
            std::size_t budget = kMaxInstances / 16;
            const std::vector<RegValue> values(pending.values.begin(), pending.values.end());
            instantiate(values, kResolveDepth, budget, [&](const std::vector<RegValue>& v) {
                switch (pending.kind) {
                    case Pending::Copy:
                        if (v[0].known() && v[1].known()) {
                            const std::uint32_t length = v[2].known() ? v[2].value : 0;
                            if (memory_.addCopy(v[1].value, v[0].value, length)) {
                                ++result_.copies;
                                found = true;
                            }
                        }
                        break;
                    case Pending::Jump:
                    case Pending::Entry:
                        if (!v[0].known()) {
                            break;
                        }
                        if (enterKnown(v[0].value, pending)) {
                            found = true;
                        }
                        break;
                }
            });
        }
        // Targets in RAM that a copy now covers.
        for (const UnmappedTarget& unmapped : unmappedTargets_) {
            if (runnable(unmapped.target, unmapped.thumb) &&
                !functionIndex_.contains(blockKey(unmapped.target, unmapped.thumb))) {
                enterFunction(unmapped.target, unmapped.thumb);
                found = true;
            }
        }
        return found || !worklist_.empty();
    }

    bool enterKnown(std::uint32_t value, const Pending& pending) {
        bool thumb = (value & 1) != 0;
        if (pending.kind == Pending::Entry && pending.arm) {
            thumb = false;
        }
        if (pending.kind == Pending::Jump && !pending.exchange) {
            thumb = pending.thumbNow;
        }
        const std::uint32_t target = value & (thumb ? ~1u : ~3u);
        if (functionIndex_.contains(blockKey(target, thumb))) {
            return false;
        }
        if (!runnable(target, thumb)) {
            if (CodeMemory::isRam(target)) {
                unmappedTargets_.push_back({target, thumb, offsetOf(pending.address), pending.owner});
            }
            return false;
        }
        if (pending.kind == Pending::Entry) {
            // An address that is data after all would decode as nonsense: ask for a
            // plausible first instruction (not undefined, not a lone BL half).
            const auto offset = memory_.codeOffset(target, 4);
            if (!offset) {
                return false;
            }
            const ArmInsn first = thumb ? decodeThumb(read16(memory_.rom(), *offset), read16(memory_.rom(), *offset + 2), target)
                                        : decodeArm(read32(memory_.rom(), *offset), target);
            if (first.op == ArmOp::Invalid) {
                return false;
            }
        }
        enteringByPointer_ = pending.kind == Pending::Entry && !pending.arm;
        enterFunction(target, thumb);
        enteringByPointer_ = false;
        return true;
    }

    // --- the save protocols ----------------------------------------------------------

    static void play(SaveProtocol& protocol, const Event& event, const RegValue* values) {
        ProtocolPlace where{event.romOffset, std::nullopt};
        auto known = [](const RegValue& v) { return v.known() ? std::optional<std::uint32_t>(v.value) : std::nullopt; };
        if (event.dma) {
            Dma3Transfer transfer;
            transfer.source = known(values[0]);
            transfer.destination = known(values[1]);
            transfer.count = known(values[2]);
            transfer.control = known(values[3]);
            if (event.countIsWord && transfer.count) {
                transfer.control = *transfer.count >> 16;
                transfer.count = *transfer.count & 0xFFFF;
            }
            transfer.where = where;
            protocol.dma3(transfer);
            return;
        }
        const RegValue& address = values[0];
        if (!inSaveArea(address)) {
            return;
        }
        SaveAccess access;
        access.address = address.value;
        access.exactAddress = address.known();
        access.width = event.access.width;
        access.write = event.access.write;
        if (access.write) {
            access.value = known(values[1]);
        }
        access.where = where;
        protocol.access(access);
    }

    void classify() {
        SaveProtocol protocol;
        std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
            return a.owner != b.owner ? a.owner < b.owner : a.address < b.address;
        });
        for (std::size_t from = 0; from < events_.size();) {
            std::size_t to = from;
            while (to < events_.size() && events_[to].owner == events_[from].owner) {
                ++to;
            }
            // The function's events as one list of values, made concrete per caller.
            std::vector<RegValue> values;
            for (std::size_t i = from; i < to; ++i) {
                const Event& e = events_[i];
                if (e.dma) {
                    values.insert(values.end(), e.dma3.begin(), e.dma3.end());
                } else {
                    values.insert(values.end(), {e.access.address, e.access.value, RegValue{}, RegValue{}});
                }
            }
            std::size_t budget = kMaxInstances;
            instantiate(values, kResolveDepth, budget, [&](const std::vector<RegValue>& concrete) {
                for (std::size_t i = from; i < to; ++i) {
                    play(protocol, events_[i], &concrete[4 * (i - from)]);
                }
                protocol.endSequence();
            });
            from = to;
        }
        result_.found = protocol.findings();
    }

    CodeMemory memory_;
    CodeAnalysis result_;
    std::vector<Block> blocks_;
    std::vector<MemoryAccess> accesses_;  // one instruction's, reused
    HalfwordMarks armStarts_;    // per ROM halfword: an ARM block starts there
    HalfwordMarks thumbStarts_;  // a Thumb block
    std::unordered_map<std::uint64_t, std::uint32_t> blockIndex_;
    std::unordered_map<std::uint64_t, std::uint32_t> functionIndex_;
    std::vector<std::uint32_t> functionBlocks_;
    std::deque<std::uint32_t> worklist_;
    std::vector<Event> events_;
    std::vector<CallSite> calls_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> callers_;
    std::vector<Pending> pendings_;
    std::vector<Pending> loopCopies_;                // seen on first visits, kept for every round
    std::vector<CallSite> forwarded_;                // calls made through a helper's jump
    std::unordered_set<std::uint64_t> forwardedCalls_;
    std::unordered_set<std::uint32_t> examinedTables_;  // pointerTable()'s, once each
    std::unordered_set<std::uint32_t> scannedCopies_;   // ROM offsets of copies looked at for them
    std::unordered_map<std::uint32_t, std::size_t> symbolicEvents_;
    std::vector<UnmappedTarget> unmappedTargets_;
    RegValue copySource_;
    std::uint32_t copyOwner_ = 0;
    std::vector<bool> speculative_;   // per function: entered by a pointer that may be data
    bool enteringByPointer_ = false;
    std::uint32_t currentOwner_ = 0;
};

}  // namespace

CodeAnalysis analyseReachableCode(std::span<const std::uint8_t> rom) { return Analyser(rom).run(); }

}  // namespace tagwright
