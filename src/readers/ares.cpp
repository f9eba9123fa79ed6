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

ReaderResult readAres(const ImageFacts& facts) {
    if (const TableRow* row = findRow(tables::ares(), facts.gameCode())) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    bool inLastSixteen = false;
    for (const StringPlace& hit : facts.hits) {
        const bool any = hit.has(Mark::SramV) || hit.has(Mark::SramFV) || hit.has(Mark::EepromV) ||
                         hit.has(Mark::FlashV) || hit.has(Mark::Flash512V) || hit.has(Mark::Flash1MV);
        if (!any) {
            continue;
        }
        if (hit.offset + 16 >= facts.size) {
            inLastSixteen = true;
            continue;
        }
        if (hit.has(Mark::SramV) || hit.has(Mark::SramFV)) {
            types.add(StringType::Sram);
        }
        if (hit.has(Mark::EepromV)) {
            types.add(StringType::Eeprom);
        }
        if (hit.has(Mark::FlashV) || hit.has(Mark::Flash512V)) {
            types.add(StringType::Flash64k);
        }
        if (hit.has(Mark::Flash1MV)) {
            types.add(StringType::Flash128k);
        }
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
