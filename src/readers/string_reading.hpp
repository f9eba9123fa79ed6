// What the readers, taken together, make of a string place, for the report and the
// warnings (which restate no reader's rule):
//
//   a save-type string   a place starting EEPROM_, SRAM_, FLASH_, FLASH512_ or
//                        FLASH1M_, or the text Shantae: the places a report lists
//   the type some reader a text whose start some reader takes for a save string:
//   takes it for         EEPR (EEPROM), SRAM or Shantae (SRAM), FLASH1M (Flash
//                        128 KiB), other FLAS (Flash 64 KiB)
#pragma once

#include <optional>
#include <string_view>

#include "readers/image_facts.hpp"
#include "readers/reader_support.hpp"

namespace tagwright {

bool isSaveTypeString(const StringPlace& place);

// The type a reader that takes `text` (a place's text) for a save string gives for it,
// or nothing when no reader takes it for one.
std::optional<StringType> typeSomeReaderTakes(std::string_view text);

}  // namespace tagwright
