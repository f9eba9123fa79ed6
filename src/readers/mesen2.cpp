// Mesen2.
//
// Refuses files under 0xC0 bytes. Its table (mesen2.tsv; the code cut at its first
// zero byte, exact) fixes the type first. Else every offset of the file: SRAM_V >
// EEPROM_V > FLASH_V or FLASH512_V (64 KiB) > FLASH1M_V (128 KiB), by type; SRAM_F_V
// is not among them. None: SRAM by default (SRAM*).
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readMesen2(const ImageFacts& facts) {
    if (facts.size < 0xC0) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("under 192 bytes"));
    }
    if (const TableRow* row = findRow(tables::mesen2(), codeAsCString(facts))) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    for (const StringPlace& place : facts.places) {
        types.add(typesNamedAt(place, kLibraryMarks));
    }
    return stringResult(types.firstOf({StringType::Sram, StringType::Eeprom, StringType::Flash64k,
                                       StringType::Flash128k}),
                        types, "SRAM*");
}

}  // namespace tagwright
