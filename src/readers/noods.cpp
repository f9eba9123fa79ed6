// NooDS (a DS emulator that also runs GBA games), when no save file decides.
//
// Offsets that are multiples of 4, the string inside the file: EEPROM_V > SRAM_V >
// FLASH_V or FLASH512_V (64 KiB) > FLASH1M_V (128 KiB), by type; SRAM_F_V is not among
// them. None: EEPROM by default (EEPROM*), so SRAM and Flash games cannot save.
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readNooDS(const ImageFacts& facts) {
    TypeSet types;
    for (const StringPlace& place : facts.places) {
        if (!place.aligned()) {
            continue;
        }
        types.add(typesNamedAt(place, kLibraryMarks));
    }
    return stringResult(types.firstOf({StringType::Eeprom, StringType::Sram, StringType::Flash64k,
                                       StringType::Flash128k}),
                        types, "EEPROM*");
}

}  // namespace tagwright
