// Save types and their 12-byte save tags.
//
// A save tag is 12 bytes that tell emulators and flash carts which save memory a
// cartridge image uses: the ASCII text, then zero bytes up to the twelfth (as retail
// games carry them; loaders that compare the text with its terminating zero need it):
//
//   value  enumerator   tag (12 bytes)    save memory
//   1      Eeprom64k    "EEPROM_V120\0"   EEPROM, 64 kilobits
//   2      Eeprom128k   "EEPROM_V124\0"   EEPROM, 128 kilobits
//   3      Flash1M      "FLASH1M_V103"    Flash, 1024 kilobits
//   4      Flash512k    "FLASH_V123\0\0"  Flash, 512 kilobits
//   5      Sram256k     "SRAM_F_V103\0"   SRAM, 256 kilobits
//   6      Sram512k     "SRAM_V113\0\0\0"  SRAM, 512 kilobits
//
// The numbers are the ones the menus, the help page and the -s/-e options use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tagwright {

enum class SaveType : int {
    Eeprom64k = 1,
    Eeprom128k = 2,
    Flash1M = 3,
    Flash512k = 4,
    Sram256k = 5,
    Sram512k = 6,
};

inline constexpr std::size_t kSaveTagSize = 12;
using SaveTag = std::array<std::uint8_t, kSaveTagSize>;

// The save type numbered `value`, or nothing when value is outside 1 to 6.
std::optional<SaveType> saveTypeFromNumber(int value);

// The 12 bytes of the type's save tag, or nothing for a value outside 1 to 6.
std::optional<SaveTag> saveTagOf(SaveType type);

}  // namespace tagwright
