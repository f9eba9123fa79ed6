// VBA-M desktop, Delta (iOS) and GBA.emu (Android): one string rule, three front ends.
//
// Rule: at each offset that is a multiple of 4 and below the scanned size, where the
// four bytes are EEPR the text EEPROM_ counts, SRAM counts SRAM_, and FLAS counts
// FLASH1M_ (128 KiB), else FLASH512_ (64 KiB), else any FLASH ("plain Flash"); the
// text must lie inside the bytes read. A state machine, starting empty, goes over
// them in file order: EEPROM_ sets EEPROM from empty or plain Flash; SRAM_ sets SRAM
// from empty, EEPROM or plain Flash; FLASH1M_ and FLASH512_ set their Flash from empty
// only, for good; plain FLASH sets plain Flash from empty. At the end plain Flash is
// Flash 64 KiB and empty is no save memory (NONE).
//
//   VBA-M desktop  scans min(size, 32 MiB), 16 MiB when the file is larger and the
//                  code starts with M. Its table (vbam-desktop.tsv; code compared
//                  without regard to case, or CRC_ and the CRC-32 when a code byte is
//                  outside 0x21-0x7E) fixes the type first; DETECT rows scan.
//   Delta          refuses files over 32 MiB. The scan decides; then a code in its
//                  table (delta.tsv, case-insensitive) sets the size of a Flash result.
//   GBA.emu        refuses empty files; reads the first 32 MiB. Its table (gbaemu.tsv,
//                  exact) fixes the type first; DETECT rows scan.
#include <string>

#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

std::string_view stateMachine(const ImageFacts& facts, std::uint64_t scanned,
                              std::uint64_t readEnd) {
    enum class State { Empty, PlainFlash, Eeprom, Sram, Flash64k, Flash128k };
    State state = State::Empty;
    for (const StringPlace& place : facts.places) {
        if (!place.aligned() || place.offset >= scanned) {
            continue;
        }
        auto inside = [&](Mark mark) { return place.has(mark) && place.endOf(mark) <= readEnd; };
        if (place.has(Mark::EeprWord)) {
            if (inside(Mark::EepromUnderscore) &&
                (state == State::Empty || state == State::PlainFlash)) {
                state = State::Eeprom;
            }
        } else if (place.has(Mark::SramWord)) {
            if (inside(Mark::SramUnderscore) && (state == State::Empty ||
                                                 state == State::Eeprom || state == State::PlainFlash)) {
                state = State::Sram;
            }
        } else if (place.has(Mark::FlasWord) && state == State::Empty) {
            if (inside(Mark::Flash1MUnderscore)) {
                state = State::Flash128k;
            } else if (inside(Mark::Flash512Underscore)) {
                state = State::Flash64k;
            } else if (inside(Mark::Flash)) {
                state = State::PlainFlash;
            }
        }
    }
    switch (state) {
        case State::Empty:
            return "NONE";
        case State::Eeprom:
            return "EEPROM";
        case State::Sram:
            return "SRAM";
        case State::Flash128k:
            return "FLASH128K";
        case State::PlainFlash:
        case State::Flash64k:
            break;
    }
    return "FLASH64K";
}

ReaderResult scanResult(std::string_view word) {
    if (word == "NONE") {
        return resultOf(word, DecidedBy::Default, "it finds no string it reads");
    }
    return resultOf(word, DecidedBy::String);
}

std::string crcKey(std::uint32_t crc) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key = "CRC_";
    for (int shift = 28; shift >= 0; shift -= 4) {
        key.push_back(kHex[(crc >> shift) & 0xFu]);
    }
    return key;
}

// Whether VBA-M desktop keys its table by the code (else by the CRC-32).
bool plainCode(std::string_view code) {
    bool plain = code.size() == 4;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        plain = plain && byte >= 0x21 && byte <= 0x7E;
    }
    return plain;
}

}  // namespace

bool vbamNeedsChecksum(const ImageFacts& header) { return !plainCode(header.gameCode()); }

ReaderResult readVbam(const ImageFacts& facts) {
    const std::string_view code = facts.gameCode();
    const std::string key =
        plainCode(code) ? std::string(code) : crcKey(facts.crc32FirstThirtyTwoMiB.value_or(0));
    if (const TableRow* row = findRowIgnoringCase(tables::vbamDesktop(), key);
        row != nullptr && row->cell[1] != "DETECT") {
        return tableResult(row->cell[1], code);
    }
    std::uint64_t scanned = facts.size;
    if (facts.size > kMaxRomSize) {
        scanned = !code.empty() && code[0] == 'M' ? kMaxRomSize / 2 : kMaxRomSize;
    }
    return scanResult(stateMachine(facts, scanned, facts.size));
}

ReaderResult readDelta(const ImageFacts& facts) {
    if (facts.size > kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 32 MiB"));
    }
    ReaderResult result = scanResult(stateMachine(facts, facts.size, facts.size));
    if (result.outcome == SaveKind::Flash) {
        const TableRow* row = findRowIgnoringCase(tables::delta(), facts.gameCode());
        if (row != nullptr && row->cell[1] != "-" && row->cell[1] != result.outcomeWord) {
            return resultOf(row->cell[1], DecidedBy::Table,
                            "its list of games sets the Flash size for code " +
                                std::string(facts.gameCode()));
        }
    }
    return result;
}

ReaderResult readGbaEmu(const ImageFacts& facts) {
    if (facts.size == 0) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("that are empty"));
    }
    if (const TableRow* row = findRow(tables::gbaemu(), facts.gameCode());
        row != nullptr && row->cell[1] != "DETECT") {
        return tableResult(row->cell[1], facts.gameCode());
    }
    const std::uint64_t read = std::min(facts.size, kMaxRomSize);
    return scanResult(stateMachine(facts, read, read));
}

}  // namespace tagwright
