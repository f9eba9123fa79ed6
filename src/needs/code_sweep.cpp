#include "needs/code_sweep.hpp"

#include <algorithm>
#include <unordered_set>

#include "needs/arm_decoder.hpp"
#include "needs/register_values.hpp"

namespace tagwright {

namespace {

constexpr std::uint32_t kRomBase = 0x08000000;
constexpr std::uint32_t kBefore = 48;
constexpr std::uint32_t kAfter = 160;

std::uint16_t read16(std::span<const std::uint8_t> rom, std::size_t offset) {
    return static_cast<std::uint16_t>(rom[offset] | rom[offset + 1] << 8);
}
std::uint32_t read32(std::span<const std::uint8_t> rom, std::size_t offset) {
    return std::uint32_t{read16(rom, offset)} | std::uint32_t{read16(rom, offset + 2)} << 16;
}
bool saveBase(std::uint32_t v) { return v == 0x0E000000 || v == 0x0D000000; }

// The ROM offset the PC-relative load at `at` reads, if the word there is an ARM
// LDR Rd, [PC, #+-imm12] (reading at + 8 +- imm12).
std::optional<std::uint64_t> armLiteralAt(std::uint32_t word, std::size_t at) {
    if ((word & 0x0F7F0000) != 0x051F0000) {
        return std::nullopt;
    }
    const std::uint32_t imm = word & 0xFFF;
    return (word >> 23 & 1) != 0u ? at + 8 + imm : at + 8 - std::uint64_t{imm};
}

// The same for a Thumb LDR Rd, [PC, #imm8*4] (reading ((at + 4) & ~3) + imm8 * 4).
std::optional<std::uint64_t> thumbLiteralAt(std::uint16_t half, std::size_t at) {
    if ((half & 0xF800) != 0x4800) {
        return std::nullopt;
    }
    return ((at + 4) & ~std::size_t{3}) + std::size_t{half & 0xFFu} * 4;
}

class Sweep {
public:
    Sweep(std::span<const std::uint8_t> rom, const HalfwordMarks& reached, const CodePrescan& prescan)
        : rom_(rom), reached_(reached), prescan_(prescan), memory_(rom) {}

    // Block by block of 4 KiB: near a save literal every chunk that may load one or
    // build a save address is examined; elsewhere only the chunks the prescan found to
    // build one. The few bytes past the last chunk are examined as they are.
    ProtocolFindings run() {
        constexpr std::size_t kShift = CodePrescan::kBlockShift;
        const std::vector<std::uint32_t>& built = prescan_.builtAddresses();
        const std::size_t chunkEnd = prescan_.chunkEnd();
        std::size_t next = 0;
        for (std::size_t block = CodePrescan::kFirstChunk >> kShift; (block << kShift) < chunkEnd; ++block) {
            const std::size_t from = std::max(CodePrescan::kFirstChunk, block << kShift);
            const std::size_t to = std::min(chunkEnd, (block + 1) << kShift);
            if (nearLiteral(block)) {
                for (std::size_t at = from; at < to; at += 8) {
                    const std::uint64_t x = CodePrescan::read64(rom_, at);
                    if (CodePrescan::mayBuildSaveAddress(x, CodePrescan::read64(rom_, at + 2)) ||
                        CodePrescan::mayLoadLiteral(x)) {
                        examine(at);
                        examine(at + 4);
                    }
                }
                while (next < built.size() && built[next] < to) {
                    ++next;
                }
            } else {
                for (; next < built.size() && built[next] < to; ++next) {
                    examine(built[next]);
                    examine(built[next] + 4);
                }
            }
        }
        for (std::size_t at = chunkEnd; at + 4 <= (rom_.size() & ~std::size_t{3}); at += 4) {
            examine(at);
        }
        protocol_.endSequence();
        return protocol_.findings();
    }

private:
    // Whether a load in `block` could reach a save literal: ARM reaches 4095 bytes
    // either side of its address + 8, Thumb 1020 bytes past its address + 4; blocks
    // block-1 to block+2 hold all of that.
    bool nearLiteral(std::size_t block) const {
        const std::vector<bool>& literals = prescan_.literalBlocks();
        for (std::size_t b = block == 0 ? 0 : block - 1; b <= block + 2 && b < literals.size(); ++b) {
            if (literals[b]) {
                return true;
            }
        }
        return false;
    }

    // The word at `at` as ARM, and its two halfwords as Thumb: a window around each
    // instruction that builds a save address.
    void examine(std::size_t at) {
        const std::uint32_t word = read32(rom_, at);
        // ARM LDR Rd, [PC, #+-imm12] reading a save literal.
        if (const auto target = armLiteralAt(word, at);
            target && *target % 4 == 0 && *target + 4 <= rom_.size() &&
            CodePrescan::saveLiteral(read32(rom_, static_cast<std::size_t>(*target)))) {
            window(static_cast<std::uint32_t>(at), false);
        }
        // ARM MOV Rd, #imm (any condition, S or not).
        if ((word & 0x0FEF0000) == 0x03A00000) {
            const ArmInsn insn = decodeArm(word, kRomBase + static_cast<std::uint32_t>(at));
            if (saveBase(insn.operand.value)) {
                window(static_cast<std::uint32_t>(at), false);
            }
        }
        for (std::size_t half = at; half < at + 4; half += 2) {
            const std::uint16_t h = read16(rom_, half);
            // Thumb LDR Rd, [PC, #imm8*4] reading a save literal.
            if (const auto target = thumbLiteralAt(h, half)) {
                if (*target + 4 <= rom_.size() && CodePrescan::saveLiteral(read32(rom_, static_cast<std::size_t>(*target)))) {
                    window(static_cast<std::uint32_t>(half), true);
                }
                continue;
            }
            // MOVS Rd, #imm8 then LSLS Rd, Rd, #n
            if ((h & 0xF800) != 0x2000 || half + 4 > rom_.size()) {
                continue;
            }
            const std::uint16_t shift = read16(rom_, half + 2);
            const std::uint32_t rd = h >> 8 & 7;
            if ((shift & 0xF800) != 0 || (shift & 7) != rd || (shift >> 3 & 7) != rd) {
                continue;
            }
            if (saveBase((h & 0xFFu) << (shift >> 6 & 31))) {
                window(static_cast<std::uint32_t>(half), true);
            }
        }
    }

    void window(std::uint32_t at, bool thumb) {
        if (at / 2 < reached_.size() && reached_[at / 2]) {
            return;
        }
        std::uint32_t from = at >= kBefore ? at - kBefore : 0;
        from &= thumb ? ~1u : ~3u;
        if (!windows_.insert(std::uint64_t{from} << 1 | (thumb ? 1 : 0)).second) {
            return;
        }
        const std::uint32_t to = std::min<std::uint64_t>(rom_.size(), std::uint64_t{at} + kAfter);
        RegState state{};
        std::vector<MemoryAccess> accesses;
        RegValue source, destination, count;
        for (std::uint32_t offset = from; offset + (thumb ? 2 : 4) <= to;) {
            const std::uint32_t address = kRomBase + offset;
            ArmInsn insn = thumb ? decodeThumb(read16(rom_, offset), offset + 4 <= to ? read16(rom_, offset + 2) : 0, address)
                                 : decodeArm(read32(rom_, offset), address);
            const bool seen = offset / 2 < reached_.size() && reached_[offset / 2];
            if (seen || insn.op == ArmOp::Invalid) {
                state = {};  // reached code (the analysis has seen it), or no code
            } else {
                accesses.clear();
                stepInstruction(insn, address, thumb, memory_, state, &accesses);
                for (const MemoryAccess& access : accesses) {
                    note(access, offset, source, destination, count);
                }
                const bool away = (insn.op == ArmOp::Branch || insn.op == ArmOp::BranchExchange || writesPc(insn)) &&
                                  insn.cond == kAlways;
                if (away) {
                    state = {};
                    protocol_.endSequence();
                }
                if (insn.op == ArmOp::Call) {
                    clobberAfterCall(state);
                }
            }
            offset += insn.size;
        }
        protocol_.endSequence();
    }

    void note(const MemoryAccess& access, std::uint32_t offset, RegValue& source, RegValue& destination,
              RegValue& count) {
        const RegValue& at = access.address;
        auto known = [](const RegValue& v) { return v.known() ? std::optional<std::uint32_t>(v.value) : std::nullopt; };
        if ((at.kind == RegValue::Const || at.kind == RegValue::Based) && (at.value >> 24 == 0x0E)) {
            SaveAccess save;
            save.address = at.value;
            save.exactAddress = at.known();
            save.width = access.width;
            save.write = access.write;
            if (access.write) {
                save.value = known(access.value);
            }
            save.where.romOffset = offset;
            protocol_.access(save);
            return;
        }
        if (!at.known() || !access.write || at.value < 0x040000D4 || at.value >= 0x040000E0) {
            return;
        }
        const std::uint32_t reg = at.value - 0x040000D4;
        if (reg == 0) {
            source = access.value;
        }
        if (reg == 4) {
            destination = access.value;
        }
        if (reg == 8 || reg == 10) {
            if (reg == 8) {
                count = access.value;
            }
            Dma3Transfer transfer;
            transfer.source = known(source);
            transfer.destination = known(destination);
            transfer.count = known(count);
            if (transfer.count && access.width == 4) {
                transfer.count = *transfer.count & 0xFFFF;
            }
            transfer.where.romOffset = offset;
            protocol_.dma3(transfer);
        }
    }

    std::span<const std::uint8_t> rom_;
    const HalfwordMarks& reached_;
    const CodePrescan& prescan_;
    CodeMemory memory_;
    SaveProtocol protocol_;
    std::unordered_set<std::uint64_t> windows_;
};

}  // namespace

ProtocolFindings sweepUnreachedCode(std::span<const std::uint8_t> rom, const HalfwordMarks& reached,
                                    const CodePrescan& prescan) {
    return Sweep(rom, reached, prescan).run();
}

namespace {

bool ownAddress(std::uint32_t v) {
    return v == 0x0E000000 || v == 0x0E005555 || v == 0x0E002AAA || v == 0x0D000000 || v == 0x0DFFFF00;
}

// Whether a PC-relative load somewhere in the ROM reads the word at `at`: a Thumb one at
// most 1020 + 4 bytes before it, an ARM one within 4095 + 8 bytes either side.
bool loadable(std::span<const std::uint8_t> rom, std::size_t at) {
    for (std::size_t from = at >= 1024 ? at - 1024 : 0; from < at; from += 2) {
        if (thumbLiteralAt(read16(rom, from), from) == at) {
            return true;
        }
    }
    const std::size_t first = at >= 8 + 4095 ? (at - 8 - 4095 + 3) & ~std::size_t{3} : 0;
    for (std::size_t from = first; from + 8 <= at + 4095 && from + 4 <= rom.size(); from += 4) {
        if (armLiteralAt(read32(rom, from), from) == at) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::uint32_t> saveAddressAsData(std::span<const std::uint8_t> rom, const CodePrescan& prescan) {
    const std::vector<bool>& blocks = prescan.literalBlocks();
    constexpr std::size_t kShift = CodePrescan::kBlockShift;
    for (std::size_t block = 0; block < blocks.size(); ++block) {
        if (!blocks[block]) {
            continue;
        }
        const std::size_t end = std::min(rom.size() & ~std::size_t{3}, (block + 1) << kShift);
        for (std::size_t at = std::max(block << kShift, CodePrescan::kFirstChunk); at < end; at += 4) {
            if (ownAddress(read32(rom, at)) && !loadable(rom, at)) {
                return static_cast<std::uint32_t>(at);
            }
        }
    }
    return std::nullopt;
}

}  // namespace tagwright
