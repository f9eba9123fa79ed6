// RustBoyAdvance-ng.
//
// Refuses files under 0xC0 bytes, and a header whose title (0xA0-0xAB), game code
// (0xAC-0xAF) or maker code (0xB0-0xB1) is not valid UTF-8. Its table
// (rustboyadvance.tsv; exact code) fixes the type unless the row says DETECT. Else a
// substring search: EEPROM > SRAM (no underscore needed for either) > FLASH_ or
// FLASH512_ (64 KiB) > FLASH1M_ (128 KiB), by type; none: NONE.
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool validUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (c < min || c > max) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

// EEPROM and SRAM without "_"; the Flash names with it.
constexpr TypeMarks kRustBoyAdvanceMarks = {
    markBits({Mark::Eeprom}), markBits({Mark::SramWord}),
    markBits({Mark::FlashUnderscore, Mark::Flash512Underscore}),
    markBits({Mark::Flash1MUnderscore})};

ReaderResult readRustBoyAdvance(const ImageFacts& facts) {
    if (facts.size < 0xC0) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("under 192 bytes"));
    }
    if (!validUtf8(facts.textAt(0xA0, 12)) || !validUtf8(facts.textAt(0xAC, 4)) ||
        !validUtf8(facts.textAt(0xB0, 2))) {
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
