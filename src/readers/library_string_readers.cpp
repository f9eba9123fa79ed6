// Readers that compare the save library's 25 full strings (sdk-strings.tsv, digits
// included), at offsets that are multiples of 4, the first match in file order
// deciding.
//
//   open_agb_firm   (3DS) the first character of the game code decides first
//                   (open_agb_firm.tsv). Else offsets from 0xE4 up to the file cut to
//                   32 MiB; what follows the string is not checked; the type is the
//                   list's "oaf" column (EEPROM 512 B or 8 KiB by the digits). None:
//                   SRAM by default (SRAM*). (Its SHA-1 database of retail images is
//                   not modelled: a tagged image misses it.)
//   GBARunner2/3    (DS) offsets from 0 to the end; the string must be followed by its
//                   terminating zero rounded up to a whole word (gbarunner_zeros: 1-4
//                   zero bytes). Past the end of the file the loader's read buffer
//                   (GBARunner2 1 MiB, GBARunner3 64 KiB) holds the file's bytes one
//                   buffer length earlier, or zeros. Type: the "gbarunner" column. None:
//                   GBARunner2 a 64 KiB SRAM-like save (SRAM64K*), GBARunner3 SRAM*.
//                   GBARunner3's per-game settings (gbarunner3.tsv; code and version
//                   byte 0xBC) turn saving off (NONE) before any scan.
//   TWiLight Menu++ (DS, Slot-2 carts) its table (twilight-slot2.tsv) turns saving off
//                   for listed codes (NONE). Else offsets from 0xC0; the string must be
//                   followed by one zero byte (bytes past the end, or past the 32 MiB it
//                   loads, read as zero); the "gbarunner" column. None: NONE (no save
//                   file is made).
#include <string>

#include "image/hex_number.hpp"
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

const TableRow& libraryRow(const StringPlace& place) {
    return tables::sdkStrings()[static_cast<std::size_t>(place.libraryString)];
}

std::uint64_t libraryEnd(const StringPlace& place) {
    return place.offset + libraryRow(place).cell[0].size();
}

ReaderResult firstLibraryString(const ImageFacts& facts, std::uint64_t from, std::size_t column,
                                std::string_view fallback, auto accepts) {
    for (const StringPlace& place : facts.places) {
        if (place.libraryString >= 0 && place.aligned() && place.offset >= from && accepts(place)) {
            return resultOf(libraryRow(place).cell[column], DecidedBy::String);
        }
    }
    return resultOf(fallback, DecidedBy::Default, "it finds no string it reads");
}

ReaderResult gbaRunner(const ImageFacts& facts, bool oneMiBBuffer, std::string_view fallback) {
    auto accepts = [&](const StringPlace& place) {
        const auto needed = static_cast<std::size_t>(libraryRow(place).cell[5][0] - '0');
        return (oneMiBBuffer ? place.zerosOneMiBBuffer : place.zerosSixtyFourKiBBuffer) >= needed;
    };
    ReaderResult result = firstLibraryString(facts, 0, 2, fallback, accepts);
    if (result.fallback) {
        result.reason = "it needs the save string followed by zero bytes, at a multiple of 4";
    }
    return result;
}

}  // namespace

ReaderResult readOpenAgbFirm(const ImageFacts& facts) {
    const std::string_view code = facts.gameCode();
    if (const TableRow* row = findRow(tables::openAgbFirm(), code.substr(0, 1));
        row != nullptr && !code.empty()) {
        return resultOf(row->cell[1], DecidedBy::GameCode,
                        "the first character of the game code decides for it");
    }
    const std::uint64_t cut = std::min(facts.size, kMaxRomSize);
    return firstLibraryString(facts, 0xE4, 1, "SRAM*",
                              [&](const StringPlace& place) { return libraryEnd(place) <= cut; });
}

ReaderResult readGbaRunner2(const ImageFacts& facts) { return gbaRunner(facts, true, "SRAM64K*"); }

ReaderResult readGbaRunner3(const ImageFacts& facts) {
    if (const auto version = facts.byteAt(0xBC)) {
        const std::string key = hex(*version, 2);
        for (const TableRow& row : tables::gbarunner3()) {
            if (row.cell[0] == facts.gameCode() && row.cell[1] == key && row.cell[2] == "NONE") {
                return tableResult("NONE", facts.gameCode());
            }
        }
    }
    return gbaRunner(facts, false, "SRAM*");
}

ReaderResult readTwilightSlot2(const ImageFacts& facts) {
    if (const TableRow* row = findRow(tables::twilightSlot2(), facts.gameCode())) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    const std::uint64_t loaded = std::min(facts.size, kMaxRomSize);
    ReaderResult result = firstLibraryString(facts, 0xC0, 2, "NONE", [&](const StringPlace& place) {
        const std::uint64_t end = libraryEnd(place);
        return end <= loaded && (place.zerosInFile >= 1 || end == facts.size || end == loaded);
    });
    if (result.decidedBy == DecidedBy::Default) {
        result.reason = "it needs the save string followed by a zero byte, at a multiple of 4";
    }
    return result;
}

}  // namespace tagwright
