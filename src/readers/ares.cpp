// ares.
//
// Its table (ares.tsv; exact code) is put in front of the strings, so it wins. Else
// every offset n with n < size - 16 (a string starting in the last 16 bytes is never
// seen): SRAM_V or SRAM_F_V > EEPROM_V > FLASH_V or FLASH512_V (64 KiB) > FLASH1M_V
// (128 KiB), by type, never by position; none: NONE.
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

// The library marks, SRAM_F_V counting as SRAM.
constexpr TypeMarks kAresMarks = {kLibraryMarks[0], markBits({Mark::SramV, Mark::SramFV}),
                                  kLibraryMarks[2], kLibraryMarks[3]};

}  // namespace

ReaderResult readAres(const ImageFacts& facts) {
    if (const TableRow* row = findRow(tables::ares(), facts.gameCode())) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    bool inLastSixteen = false;
    for (const StringPlace& place : facts.places) {
        const TypeSet named = typesNamedAt(place, kAresMarks);
        if (named.empty()) {
            continue;
        }
        if (place.offset + 16 >= facts.size) {
            inLastSixteen = true;
            continue;
        }
        types.add(named);
    }
    ReaderResult result = stringResult(types.firstOf({StringType::Sram, StringType::Eeprom,
                                                      StringType::Flash64k, StringType::Flash128k}),
                                       types, "NONE");
    if (types.empty() && inLastSixteen) {
        result.reason = "it skips strings in a file's last 16 bytes";
    }
    return result;
}

}  // namespace tagwright
