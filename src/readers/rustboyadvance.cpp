// RustBoyAdvance-ng.
//
// Refuses files under 0xC0 bytes, and a header whose title (0xA0-0xAB), game code
// (0xAC-0xAF) or maker code (0xB0-0xB1) is not valid UTF-8. Its table
// (rustboyadvance.tsv; exact code) fixes the type unless the row says DETECT. Else a
// substring search: EEPROM > SRAM (no underscore needed for either) > FLASH_ or
// FLASH512_ (64 KiB) > FLASH1M_ (128 KiB), by type; none: NONE.
#include "image/utf8_text.hpp"
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

// EEPROM and SRAM without "_"; the Flash names with it.
constexpr TypeMarks kRustBoyAdvanceMarks = {
    markBits({Mark::Eeprom}), markBits({Mark::SramWord}),
    markBits({Mark::FlashUnderscore, Mark::Flash512Underscore}),
    markBits({Mark::Flash1MUnderscore})};

ReaderResult readRustBoyAdvance(const ImageFacts& facts) {
    if (facts.size < 0xC0) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("under 192 bytes"));
    }
    if (!isValidUtf8(facts.textAt(0xA0, 12)) || !isValidUtf8(facts.textAt(0xAC, 4)) ||
        !isValidUtf8(facts.textAt(0xB0, 2))) {
        return resultOf("ERROR", DecidedBy::Header,
                        "it refuses a header whose title or codes are not UTF-8 text");
    }
    if (const TableRow* row = findRow(tables::rustboyadvance(), facts.gameCode());
        row != nullptr && row->cell[1] != "DETECT") {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    for (const StringPlace& place : facts.places) {
        types.add(typesNamedAt(place, kRustBoyAdvanceMarks));
    }
    return stringResult(types.firstOf({StringType::Eeprom, StringType::Sram, StringType::Flash64k,
                                       StringType::Flash128k}),
                        types, "NONE");
}

}  // namespace tagwright
