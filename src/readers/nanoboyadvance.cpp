// NanoBoyAdvance.
//
// Refuses files under 228 bytes or over 32 MiB. Its table (nba.tsv; exact and
// case-sensitive code) fixes the type unless the row says DETECT. Else the first offset
// that is a multiple of 4 where EEPROM_V, SRAM_V, SRAM_F_V, FLASH_V, FLASH512_V
// (64 KiB) or FLASH1M_V (128 KiB) starts decides; none: SRAM by default (SRAM*).
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readNanoBoyAdvance(const ImageFacts& facts) {
    if (facts.size < 228) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("under 228 bytes"));
    }
    if (facts.size > kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 32 MiB"));
    }
    if (const TableRow* row = findRow(tables::nba(), facts.gameCode());
        row != nullptr && row->cell[1] != "DETECT") {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    std::optional<StringType> first;
    for (const StringPlace& place : facts.places) {
        if (!place.aligned()) {
            continue;
        }
        std::optional<StringType> type;
        if (place.has(Mark::EepromV)) {
            type = StringType::Eeprom;
        } else if (place.has(Mark::SramV) || place.has(Mark::SramFV)) {
            type = StringType::Sram;
        } else if (place.has(Mark::FlashV) || place.has(Mark::Flash512V)) {
            type = StringType::Flash64k;
        } else if (place.has(Mark::Flash1MV)) {
            type = StringType::Flash128k;
        }
        if (type) {
            types.add(*type);
            first = first ? first : type;
        }
    }
    return stringResult(first, types, "SRAM*");
}

}  // namespace tagwright
