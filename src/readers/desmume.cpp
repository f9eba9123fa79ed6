// DeSmuME's GBA slot (a GBA cartridge serving DS games), with a save file beside the
// ROM (without one the slot has no save memory at all).
//
// 4-byte words at offsets o that are multiples of 4 with o + 4 < size (the word that
// ends the file is never examined), in file order; the first of these decides: EEPR
// (EEPROM), SRAM (SRAM), FLAS (Flash 128 KiB when the next word is H1M_, else 64 KiB),
// SIIR (the RTC string: the scan stops, SIIRTC). None: NONE. Only the Flash results
// change anything: the others all serve the save file as plain bytes.
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readDesmume(const ImageFacts& facts) {
    for (const StringPlace& place : facts.places) {
        if (!place.aligned() || place.offset + 4 >= facts.size) {
            continue;
        }
        if (place.has(Mark::EeprWord)) {
            return resultOf("EEPROM", DecidedBy::String);
        }
        if (place.has(Mark::SramWord)) {
            return resultOf("SRAM", DecidedBy::String);
        }
        if (place.has(Mark::FlasWord)) {
            return resultOf(place.has(Mark::Flash1MUnderscore) ? "FLASH128K" : "FLASH64K",
                            DecidedBy::String);
        }
        if (place.has(Mark::SiirWord)) {
            return resultOf("SIIRTC", DecidedBy::String,
                            "the clock's string SIIRTC_V comes first and ends its search");
        }
    }
    return resultOf("NONE", DecidedBy::Default, "it finds no string it reads");
}

}  // namespace tagwright
