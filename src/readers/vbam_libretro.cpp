// VBA-M's libretro core (RetroArch and other libretro front ends).
//
// Refuses files over 128 MiB. Searches every offset of the file, rounded up to an even
// size, at most 32 MiB (16 MiB when the file is larger and the code starts with M);
// a text counts only inside those bytes. The text Shantae anywhere gives SRAM, over
// everything. Else its table (vbam-libretro.tsv; exact code, first row) fixes the type
// unless the row says DETECT. Else by type, never by position: FLASH1M_ (128 KiB) >
// FLASH_ or FLASH512_ (64 KiB) > EEPROM_ > SRAM_ (SRAM_F_ included); none: NONE.
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readVbamLibretro(const ImageFacts& facts) {
    if (facts.size > 4 * kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 128 MiB"));
    }
    const std::string_view code = facts.gameCode();
    std::uint64_t searched = std::min(facts.size, kMaxRomSize);
    if (facts.size > kMaxRomSize && !code.empty() && code[0] == 'M') {
        searched = kMaxRomSize / 2;
    }
    TypeSet types;
    bool shantae = false;
    for (const StringPlace& place : facts.places) {
        auto inside = [&](Mark mark) { return place.has(mark) && place.endOf(mark) <= searched; };
        shantae = shantae || inside(Mark::Shantae);
        if (inside(Mark::Flash1MUnderscore)) {
            types.add(StringType::Flash128k);
        }
        if (inside(Mark::FlashUnderscore) || inside(Mark::Flash512Underscore)) {
            types.add(StringType::Flash64k);
        }
        if (inside(Mark::EepromUnderscore)) {
            types.add(StringType::Eeprom);
        }
        if (inside(Mark::SramUnderscore)) {
            types.add(StringType::Sram);
        }
    }
    if (shantae) {
        return resultOf("SRAM", DecidedBy::String,
                        types.count() == 1 && types.has(StringType::Sram)
                            ? ""
                            : "the text \"Shantae\" in the file means SRAM to it");
    }
    if (const TableRow* row = findRow(tables::vbamLibretro(), codeAsCString(facts));
        row != nullptr && row->cell[1] != "DETECT") {
        return tableResult(row->cell[1], code);
    }
    return stringResult(types.firstOf({StringType::Flash128k, StringType::Flash64k,
                                       StringType::Eeprom, StringType::Sram}),
                        types, "NONE");
}

}  // namespace tagwright
