// Readers that decide the save type at run time but take the Flash chip's size from a
// string.
//
//   Meteor     every offset of the first 32 MiB: FLASH1M_V anywhere gives a 128 KiB
//              chip (RT128), else 64 KiB (RT64).
//   IodineGBA  the ROM is the file rounded down to 4 bytes, at most 32 MiB (L); offsets
//              o that are multiples of 4 with o < L - 12: FLASH1M_V anywhere gives
//              RT128; else FLASH512_V gives RT64; else (none, or only FLASH_V) a 64 KiB
//              chip with an Atmel ID, RT64A.
//   MiSTer,    every offset of the whole file: FLASH1M_V gives a 128 KiB chip, else
//   Analogue   64 KiB. Their tables (mister.tsv, pocket.tsv; "first3" rows compare the
//   Pocket     first three characters, "exact4" all four) switch the SRAM/Flash area
//              off for RT-NOSRAM rows (RT64-NOSRAM, RT128-NOSRAM: only EEPROM saves).
#include <string>

#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

bool hasFlash1M(const ImageFacts& facts, std::uint64_t end, bool alignedOnly) {
    for (const StringPlace& place : facts.places) {
        if (place.has(Mark::Flash1MV) && place.endOf(Mark::Flash1MV) <= end &&
            (!alignedOnly || place.aligned())) {
            return true;
        }
    }
    return false;
}

ReaderResult runTime(bool bigChip) {
    return bigChip ? resultOf("RT128", DecidedBy::String)
                   : resultOf("RT64", DecidedBy::Default, "the game decides at run time");
}

ReaderResult fpgaCore(const ImageFacts& facts, std::span<const TableRow> quirks) {
    const bool bigChip = hasFlash1M(facts, facts.size, false);
    const std::string_view code = facts.gameCode();
    for (const TableRow& row : quirks) {
        const bool matches = row.cell[1] == "first3" ? code.substr(0, 3) == row.cell[0]
                                                     : code == row.cell[0];
        if (matches && row.cell[2] == "RT-NOSRAM") {
            return resultOf(bigChip ? "RT128-NOSRAM" : "RT64-NOSRAM", DecidedBy::Table,
                            "its list of games switches the SRAM and Flash area off for code " +
                                std::string(code));
        }
    }
    return runTime(bigChip);
}

}  // namespace

ReaderResult readMeteor(const ImageFacts& facts) {
    return runTime(hasFlash1M(facts, std::min(facts.size, kMaxRomSize), false));
}

ReaderResult readIodineGba(const ImageFacts& facts) {
    const std::uint64_t rom = std::min(facts.size / 4 * 4, kMaxRomSize);
    bool flash512 = false;
    bool flash1m = false;
    for (const StringPlace& place : facts.places) {
        if (!place.aligned() || place.offset + 12 >= rom) {
            continue;
        }
        flash1m = flash1m || place.has(Mark::Flash1MV);
        flash512 = flash512 || place.has(Mark::Flash512V);
    }
    if (flash1m) {
        return resultOf("RT128", DecidedBy::String);
    }
    if (flash512) {
        return resultOf("RT64", DecidedBy::String);
    }
    return resultOf("RT64A", DecidedBy::Default, "the game decides at run time");
}

ReaderResult readMister(const ImageFacts& facts) { return fpgaCore(facts, tables::mister()); }

ReaderResult readPocket(const ImageFacts& facts) { return fpgaCore(facts, tables::pocket()); }

}  // namespace tagwright
