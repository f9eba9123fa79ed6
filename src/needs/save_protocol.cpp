#include "needs/save_protocol.hpp"

#include "image/hex_number.hpp"

namespace tagwright {

namespace {

constexpr std::uint32_t kSaveStart = 0x0E000000;
constexpr std::uint32_t kSaveEnd = 0x10000000;  // the save area and its mirrors
constexpr std::uint32_t kFlashFirst = 0x0E005555;
constexpr std::uint32_t kFlashSecond = 0x0E002AAA;
constexpr std::uint32_t kSramHigh = 0x8000;     // offsets at or above: 64 KiB SRAM
constexpr std::uint32_t kEepromStart = 0x0D000000;
constexpr std::uint32_t kEepromEnd = 0x0E000000;

bool inSaveArea(std::uint32_t address) { return address >= kSaveStart && address < kSaveEnd; }
bool inEeprom(std::optional<std::uint32_t> address) {
    return address && *address >= kEepromStart && *address < kEepromEnd;
}

void note(ProtocolSeen& seen, const ProtocolPlace& where, const std::string& detail) {
    if (seen.count++ == 0) {
        seen.first = where;
        seen.detail = detail;
    }
}

std::string describe(const SaveAccess& access) {
    std::string text = std::to_string(access.width * 8) + "-bit ";
    text += access.write ? "store" : "load";
    if (access.write) {
        text += access.value ? " of " + hexAddress(*access.value) : " of a value not known";
    }
    text += access.write ? " to " : " from ";
    text += hexAddress(access.address);
    if (!access.exactAddress) {
        text += " + an offset not known";
    }
    return text;
}

std::string hexByte(std::uint32_t value) { return hex(value & 0xFF, 2); }

}  // namespace

std::string hexAddress(std::uint32_t value) { return hex(value, 8); }

bool ProtocolFindings::any() const {
    return (sramWrites.count != 0u) || (saveReads.count != 0u) || (flashCommands.count != 0u) ||
           (flashUnknownCommands.count != 0u) || (eeprom512.count != 0u) ||
           (eeprom8k.count != 0u) || (eepromOther.count != 0u);
}

void SaveProtocol::flashCommand(std::optional<std::uint32_t> command, const SaveAccess& at) {
    const std::string detail = "0xAA to 0x0E005555, 0x55 to 0x0E002AAA, then " +
                               (command ? hexByte(*command) : std::string("a command not known")) +
                               " to " + hexAddress(at.address);
    note(found_.flashCommands, at.where, detail);
    pending_ = Pending::None;
    if (!command) {
        note(found_.flashUnknownCommands, at.where, detail);
        eraseArmed_ = false;
        return;
    }
    const std::uint32_t value = *command & 0xFF;
    note(found_.flashCommandKinds[value], at.where, detail);
    switch (value) {
        case 0x80: eraseArmed_ = true; break;
        case 0x10:
        case 0x30: eraseArmed_ = false; break;
        case 0xA0: pending_ = Pending::Program; break;
        case 0xB0:
            note(found_.flashBankSwitches, at.where, detail);
            pending_ = Pending::Bank;
            break;
        default: break;
    }
}

void SaveProtocol::access(const SaveAccess& access) {
    if (!inSaveArea(access.address)) {
        return;
    }
    const std::string detail = describe(access);
    if (!access.write) {
        note(found_.saveReads, access.where, detail);
        return;
    }
    // A store right after a program or bank command is that command's data.
    if (pending_ != Pending::None) {
        note(found_.flashDataWrites, access.where, detail);
        pending_ = Pending::None;
        return;
    }
    const bool exact = access.exactAddress;
    const auto value = access.value ? std::optional<std::uint32_t>(*access.value & 0xFF) : std::nullopt;
    switch (step_) {
        case Step::Idle:
            if (exact && access.address == kFlashFirst && value == 0xAAu) {
                step_ = Step::SawAA;
                return;
            }
            break;
        case Step::SawAA:
            if (exact && access.address == kFlashSecond && value == 0x55u) {
                step_ = Step::Saw55;
                return;
            }
            // An unlock broken off: no command is known to follow.
            note(found_.flashUnknownCommands, access.where,
                 "0xAA to 0x0E005555 not followed by 0x55 to 0x0E002AAA");
            if (exact && access.address == kFlashFirst && value == 0xAAu) {
                return;  // a new unlock
            }
            step_ = Step::Idle;
            break;
        case Step::Saw55:
            step_ = Step::Idle;
            if (exact && access.address == kFlashFirst) {
                flashCommand(value, access);
                return;
            }
            // Sector erase: 0x30 to the sector's address (after 0x80, maybe sent elsewhere).
            if (value == 0x30u || (eraseArmed_ && !value)) {
                flashCommand(0x30, access);
                return;
            }
            note(found_.flashUnknownCommands, access.where, "an unlock followed by " + detail);
            break;
    }
    note(found_.sramWrites, access.where, detail);
    const std::uint32_t offset = (access.address - kSaveStart) & 0xFFFF;
    if (exact && offset >= kSramHigh) {
        note(found_.sramHighWrites, access.where, detail);
    }
}

void SaveProtocol::dma3(const Dma3Transfer& transfer) {
    const bool toEeprom = inEeprom(transfer.destination);
    if (!toEeprom && !inEeprom(transfer.source)) {
        return;
    }
    constexpr std::uint32_t kNotKnown = 0xFFFFFFFF;
    const std::uint32_t count = transfer.count ? *transfer.count & 0xFFFF : kNotKnown;
    std::string detail = "DMA3 ";
    detail += count != kNotKnown ? std::to_string(count) + " halfwords " : std::string("a count not known ");
    detail += toEeprom ? "to " + hexAddress(*transfer.destination)
                       : "from " + hexAddress(*transfer.source);
    if (toEeprom && (count == 9 || count == 73)) {
        note(found_.eeprom512, transfer.where, detail);
    } else if (toEeprom && (count == 17 || count == 81)) {
        note(found_.eeprom8k, transfer.where, detail);
    } else {
        note(found_.eepromOther, transfer.where, detail);
    }
}

void SaveProtocol::endSequence() {
    if (step_ != Step::Idle) {
        note(found_.flashUnknownCommands, {}, "an unlock without its command");
    }
    step_ = Step::Idle;
    pending_ = Pending::None;
    eraseArmed_ = false;
}

ProtocolVerdict judgeFindings(const ProtocolFindings& found, bool wholeProgram) {
    const bool eeprom = (found.eeprom512.count != 0u) || (found.eeprom8k.count != 0u) ||
                        (found.eepromOther.count != 0u);
    const bool flash =
        (found.flashCommands.count != 0u) || (found.flashUnknownCommands.count != 0u);
    const bool sram = found.sramWrites.count > 0;
    ProtocolVerdict verdict;
    if (eeprom && (flash || sram)) {
        verdict.memory = SaveMemory::Unknown;
        verdict.sure = false;
        verdict.why = "EEPROM transfers and stores to the SRAM/Flash area both";
        return verdict;
    }
    if (flash) {
        // Stores outside the commands are the bytes a Flash chip programs.
        verdict.memory = SaveMemory::Flash;
        if (found.flashBankSwitches.count != 0u) {
            verdict.bytes = 131072;
        } else if (wholeProgram && (found.flashUnknownCommands.count == 0u)) {
            verdict.bytes = 65536;
        } else {
            verdict.sure = false;
            verdict.why = found.flashUnknownCommands.count != 0u
                              ? "Flash commands whose values are not known: a bank switch (128 "
                                "KiB) is not ruled out"
                              : "Flash commands but no bank switch seen, in part of a run";
        }
        return verdict;
    }
    if (eeprom) {
        verdict.memory = SaveMemory::Eeprom;
        if ((found.eeprom512.count != 0u) && (found.eeprom8k.count != 0u)) {
            verdict.memory = SaveMemory::Unknown;
            verdict.sure = false;
            verdict.why = "EEPROM transfers of both sizes (6- and 14-bit addresses)";
        } else if (found.eeprom512.count != 0u) {
            verdict.bytes = 512;
        } else if (found.eeprom8k.count != 0u) {
            verdict.bytes = 8192;
        } else {
            verdict.sure = false;
            verdict.why = "EEPROM transfers whose bit counts do not show the size";
        }
        return verdict;
    }
    if (sram) {
        verdict.memory = SaveMemory::Sram;
        verdict.bytes = found.sramHighWrites.count != 0u ? 65536 : 32768;
        return verdict;
    }
    return verdict;  // none: reads alone are not use
}

std::vector<NeedEvidence> findingsEvidence(const ProtocolFindings& found, NeedSource source,
                                           Sureness sureness) {
    std::vector<NeedEvidence> out;
    auto add = [&](const ProtocolSeen& seen, SaveMemory memory, std::optional<std::uint32_t> bytes,
                   std::string what, Sureness how) {
        if (seen.count == 0u) {
            return;
        }
        NeedEvidence item;
        item.source = source;
        item.memory = memory;
        item.bytes = bytes;
        item.sureness = how;
        item.what = std::move(what);
        if (seen.count > 1) {
            item.what += " (" + std::to_string(seen.count) + " places)";
        }
        item.detail = seen.detail;
        item.romOffset = seen.first.romOffset;
        item.frame = seen.first.frame;
        out.push_back(std::move(item));
    };
    if (found.flashCommands.count != 0u) {
        std::string kinds;
        for (std::uint32_t value = 0; value < 256; ++value) {
            if (found.flashCommandKinds[value].count == 0u) {
                continue;
            }
            kinds += (kinds.empty() ? "" : ", ") + hexByte(value);
        }
        if (found.flashUnknownCommands.count != 0u) {
            kinds += kinds.empty() ? "not known" : ", others not known";
        }
        add(found.flashCommands, SaveMemory::Flash, std::nullopt,
            "Flash commands to 0x0E005555 (" + kinds + ")", sureness);
    } else {
        add(found.flashUnknownCommands, SaveMemory::Flash, std::nullopt,
            "Flash unlock sequences (0xAA to 0x0E005555) with commands not known", sureness);
    }
    add(found.flashBankSwitches, SaveMemory::Flash, 131072, "Flash bank switches (command 0xB0): 128 KiB",
        sureness);
    add(found.eeprom512, SaveMemory::Eeprom, 512, "EEPROM transfers by DMA3 with 6-bit addresses: 512 B",
        sureness);
    add(found.eeprom8k, SaveMemory::Eeprom, 8192, "EEPROM transfers by DMA3 with 14-bit addresses: 8 KiB",
        sureness);
    add(found.eepromOther, SaveMemory::Eeprom, std::nullopt, "DMA3 transfers to or from the EEPROM space",
        sureness);
    const bool flash =
        (found.flashCommands.count != 0u) || (found.flashUnknownCommands.count != 0u);
    if (flash) {
        add(found.sramWrites, SaveMemory::Flash, std::nullopt, "byte stores to the Flash chip",
            sureness == Sureness::Unreached ? sureness : Sureness::Supports);
    } else {
        add(found.sramWrites, SaveMemory::Sram, found.sramHighWrites.count != 0u ? 65536u : 32768u,
            "byte writes to the SRAM at 0x0E000000", sureness);
        add(found.sramHighWrites, SaveMemory::Sram, 65536, "byte writes at 0x0E008000 or above: 64 KiB",
            sureness);
    }
    add(found.saveReads, SaveMemory::None, std::nullopt, "reads of the save area (reading alone is not use)",
        sureness == Sureness::Unreached ? sureness : Sureness::Supports);
    return out;
}

}  // namespace tagwright
