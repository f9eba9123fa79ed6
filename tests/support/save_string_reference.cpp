#include "support/save_string_reference.hpp"

#include <string_view>

namespace tagwright::testing {

std::vector<std::pair<std::uint64_t, std::uint16_t>> referencePlaces(
    std::span<const std::uint8_t> bytes) {
    constexpr std::array<std::pair<SavePrefix, std::string_view>, 12> kSpellings = {{
        {SavePrefix::Eeprom, "EEPROM_"},
        {SavePrefix::EepromV, "EEPROM_V"},
        {SavePrefix::Sram, "SRAM_"},
        {SavePrefix::SramV, "SRAM_V"},
        {SavePrefix::SramFV, "SRAM_F_V"},
        {SavePrefix::Flash1M, "FLASH1M_"},
        {SavePrefix::Flash1MV, "FLASH1M_V"},
        {SavePrefix::Flash512, "FLASH512_"},
        {SavePrefix::Flash512V, "FLASH512_V"},
        {SavePrefix::FlashUnderscore, "FLASH_"},
        {SavePrefix::FlashV, "FLASH_V"},
        {SavePrefix::Shantae, "Shantae"},
    }};
    auto bit = [](SavePrefix prefix) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(prefix));
    };
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<std::pair<std::uint64_t, std::uint16_t>> places;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        std::uint16_t mask = 0;
        for (const auto& [prefix, spelling] : kSpellings) {
            if (rest.starts_with(spelling)) {
                mask |= bit(prefix);
            }
        }
        if (rest.starts_with("FLASH") && !rest.starts_with("FLASH1M_") &&
            !rest.starts_with("FLASH512_")) {
            mask |= bit(SavePrefix::FlashPlain);
        }
        if (mask != 0) {
            places.emplace_back(i, mask);
        }
    }
    return places;
}

std::array<PrefixSeen, kSavePrefixCount> referenceSeen(
    const std::vector<std::pair<std::uint64_t, std::uint16_t>>& places) {
    std::array<PrefixSeen, kSavePrefixCount> seen{};
    for (const auto& [offset, mask] : places) {
        for (std::size_t p = 0; p < kSavePrefixCount; ++p) {
            if ((mask >> p & 1u) != 0) {
                ++seen[p].count;
                seen[p].first = seen[p].first ? seen[p].first : offset;
                if (!seen[p].firstAligned && offset % 4 == 0) {
                    seen[p].firstAligned = offset;
                }
            }
        }
    }
    return seen;
}

}  // namespace tagwright::testing
