// Whether a reader gives the save type a save asks for.
//
// The type asked is a class for EEPROM and SRAM and a size for Flash:
//
//   types asked                 a reader agrees when its outcome is
//   1, 2  EEPROM                EEPROM of any size (or none fixed)
//   5, 6  SRAM                  SRAM of 32 or 64 KiB
//   3     Flash 128 KiB         Flash of 131072 bytes
//   4     Flash 64 KiB          Flash of 65536 bytes
//
// A fallback that happens to give that class agrees. A reader that decides at run time
// agrees, unless it fixes a Flash size other than the one asked; one that switched the
// SRAM/Flash area off (stated as EEPROM decided by a table) agrees only with EEPROM.
// No save memory and a refused file never agree.
//
// The types a file's strings ask for are read from its library strings, as
// image/save_library.hpp states them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/save_type.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

bool givesTypeAsked(const ReaderResult& result, SaveType asked);

// Whether two types are the same type asked (same class; same size for Flash).
bool sameTypeAsked(SaveType a, SaveType b);

// "EEPROM", "SRAM", "Flash 128 KiB", "Flash 64 KiB".
const char* typeAskedText(SaveType asked);

// The type a library string's text asks for, or nothing for any other text.
std::optional<SaveType> typeOfLibraryText(const std::string& text);

// The different types the file's library strings ask for, in file order.
std::vector<SaveType> typesTheStringsAsk(const ImageFacts& facts);

}  // namespace tagwright
