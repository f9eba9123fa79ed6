#include "readers/string_reading.hpp"

namespace tagwright {

bool isSaveTypeString(const StringPlace& place) {
    return place.has(Mark::EepromUnderscore) || place.has(Mark::SramUnderscore) ||
           place.has(Mark::FlashUnderscore) || place.has(Mark::Flash512Underscore) ||
           place.has(Mark::Flash1MUnderscore) || place.has(Mark::Shantae);
}

std::optional<StringType> typeSomeReaderTakes(std::string_view text) {
    if (text.starts_with("EEPR")) {
        return StringType::Eeprom;
    }
    if (text.starts_with("SRAM") || text.starts_with("Shantae")) {
        return StringType::Sram;
    }
    if (text.starts_with("FLASH1M")) {
        return StringType::Flash128k;
    }
    if (text.starts_with("FLAS")) {
        return StringType::Flash64k;
    }
    return std::nullopt;
}

}  // namespace tagwright
