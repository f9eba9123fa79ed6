// The save library's strings, stated once for both sides: the tags this program writes
// and --replace (image/), the scan and the readers that look for them (readers/), and
// the report that asks which type a file's strings ask for (report/).
//
// The save libraries of the GBA SDK leave their name and version in a ROM as a
// zero-terminated string; emulators and loaders read the save type from it:
//
//   prefix       then       kind            the type it asks for (the -s/-e number)
//   EEPROM_V     3 digits   EEPROM          1; 2 for versions 121 and 124 (the
//                                           library's parts for 8 KiB chips)
//   SRAM_V       3 digits   SRAM            6
//   SRAM_F_V     3 digits   SRAM            6 (read by more readers than 5's text)
//   FLASH_V      3 digits   Flash 64 KiB    4
//   FLASH512_V   3 digits   Flash 64 KiB    4
//   FLASH1M_V    3 digits   Flash 128 KiB   3
//
// Nothing else is a library string: a prefix without its three digits, or plain words
// such as "FLASH" or "SRAM" in game text. The versions that exist, and what each reader
// makes of them, are the readers' list (data/reader-tables/sdk-strings.tsv); every
// string there is one of the above.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/save_type.hpp"

namespace tagwright::library {

// The four kinds of save memory a library string names.
enum class Kind : std::uint8_t { Eeprom, Sram, Flash64k, Flash128k };

inline constexpr std::string_view kEepromPrefix = "EEPROM_V";
inline constexpr std::string_view kSramPrefix = "SRAM_V";
inline constexpr std::string_view kSramFastPrefix = "SRAM_F_V";
inline constexpr std::string_view kFlashPrefix = "FLASH_V";
inline constexpr std::string_view kFlash512Prefix = "FLASH512_V";
inline constexpr std::string_view kFlash1MPrefix = "FLASH1M_V";

struct Prefix {
    std::string_view text;
    Kind kind;
};

inline constexpr std::array<Prefix, 6> kPrefixes = {{
    {kEepromPrefix, Kind::Eeprom},
    {kSramPrefix, Kind::Sram},
    {kSramFastPrefix, Kind::Sram},
    {kFlashPrefix, Kind::Flash64k},
    {kFlash512Prefix, Kind::Flash64k},
    {kFlash1MPrefix, Kind::Flash128k},
}};

inline constexpr std::size_t kVersionDigits = 3;

// The EEPROM versions that ask for type 2.
inline constexpr std::array<std::string_view, 2> kEightKiBEepromVersions = {"121", "124"};

// The type whose tag is of `kind`: EEPROM 1, SRAM 6, Flash 64 KiB 4, Flash 128 KiB 3.
constexpr SaveType typeOfKind(Kind kind) {
    switch (kind) {
        case Kind::Eeprom:
            return SaveType::Eeprom64k;
        case Kind::Flash64k:
            return SaveType::Flash512k;
        case Kind::Flash128k:
            return SaveType::Flash1M;
        case Kind::Sram:
            break;
    }
    return SaveType::Sram512k;
}

// The kind of the tag of `type`.
constexpr Kind kindOfType(SaveType type) {
    switch (type) {
        case SaveType::Eeprom64k:
        case SaveType::Eeprom128k:
            return Kind::Eeprom;
        case SaveType::Flash1M:
            return Kind::Flash128k;
        case SaveType::Flash512k:
            return Kind::Flash64k;
        case SaveType::Sram256k:
        case SaveType::Sram512k:
            break;
    }
    return Kind::Sram;
}

}  // namespace tagwright::library
