#include "image/save_type.hpp"

namespace tagwright {

namespace {

constexpr SaveTag makeTag(const char (&text)[kSaveTagSize + 1]) {
    SaveTag tag{};
    for (std::size_t i = 0; i < kSaveTagSize; ++i) {
        tag[i] = static_cast<std::uint8_t>(text[i]);
    }
    return tag;
}

constexpr std::array<SaveTag, 6> kTags = {
    makeTag("EEPROM_V120\0"), makeTag("EEPROM_V124\0"),   makeTag("FLASH1M_V103"),
    makeTag("FLASH_V123\0\0"), makeTag("SRAM_F_V103\0"), makeTag("SRAM_V113\0\0\0"),
};

}  // namespace

std::optional<SaveType> saveTypeFromNumber(int value) {
    if (value < 1 || value > 6) {
        return std::nullopt;
    }
    return static_cast<SaveType>(value);
}

std::optional<SaveTag> saveTagOf(SaveType type) {
    const int value = static_cast<int>(type);
    if (!saveTypeFromNumber(value)) {
        return std::nullopt;
    }
    return kTags[static_cast<std::size_t>(value - 1)];
}

}  // namespace tagwright
