// Hades.
//
// Refuses files under 192 bytes or over 32 MiB, and a name whose extension (from the
// last ".") is not exactly .gba or .bin (it opens those as archives, and fails); a
// name without a "." loads. Its table (hades.tsv; the first three characters of the
// code) gives the type instead of the scan. Else every offset: EEPROM_ (EEPROM 8 KiB)
// > SRAM_ (SRAM_F_ too) > FLASH1M_ (128 KiB) > FLASH_ or FLASH512_ (64 KiB), by type;
// none: NONE.
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readHades(const ImageFacts& facts) {
    if (facts.size < 192) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("under 192 bytes"));
    }
    if (facts.size > kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 32 MiB"));
    }
    const std::string_view name = baseName(facts.name);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        const std::string_view extension = name.substr(dot);
        if (extension != ".gba" && extension != ".bin") {
            return resultOf("ERROR", DecidedBy::Name,
                            "it opens only names ending in .gba or .bin (lower case)");
        }
    }
    if (const TableRow* row = findRow(tables::hades(), facts.gameCode().substr(0, 3))) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    TypeSet types;
    for (const StringPlace& place : facts.places) {
        types.add(typesNamedAt(place, kUnderscoreMarks));
    }
    ReaderResult result = stringResult(types.firstOf({StringType::Eeprom, StringType::Sram,
                                                      StringType::Flash128k, StringType::Flash64k}),
                                       types, "NONE");
    if (result.outcomeWord == "EEPROM") {
        ReaderResult sized = resultOf("EEPROM8K", result.decidedBy, result.reason);
        return sized;
    }
    return result;
}

}  // namespace tagwright
