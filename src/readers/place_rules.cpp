#include "readers/place_rules.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "image/cartridge_header.hpp"
#include "image/library_strings.hpp"
#include "image/save_library.hpp"
#include "reader_tables.hpp"

namespace tagwright {

namespace {

// The marks that end in V are the save library's prefixes.
constexpr std::array<std::string_view, kMarkCount> kMarkTexts = {
    "EEPR", "EEPROM", "EEPROM_", library::kEepromPrefix,
    "SRAM", "SRAM_", library::kSramPrefix, library::kSramFastPrefix,
    "FLAS", "FLASH", "FLASH_", library::kFlashPrefix, "FLASH512_", library::kFlash512Prefix,
    "FLASH1M_", library::kFlash1MPrefix,
    "SIIR", "Shantae",
};

bool startsWith(const std::uint8_t* at, std::size_t available, std::string_view prefix) {
    return available >= prefix.size() && std::memcmp(at, prefix.data(), prefix.size()) == 0;
}

}  // namespace

std::size_t markLength(Mark mark) { return kMarkTexts[static_cast<std::size_t>(mark)].size(); }

bool isTextCharacter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool placeWithoutLead(const std::uint8_t* at, std::size_t available, std::uint64_t offset,
                      StringPlace& place) {
    if (at[0] != 'E' && at[0] != 'S' && at[0] != 'F') {
        return false;
    }
    std::uint32_t marks = 0;
    for (std::size_t m = 0; m < kMarkCount; ++m) {
        if (kMarkTexts[m][0] == static_cast<char>(at[0]) && startsWith(at, available, kMarkTexts[m])) {
            marks |= 1u << m;
        }
    }
    if (marks == 0) {
        return false;
    }
    place = StringPlace{};
    place.offset = offset;
    place.marks = marks;
    const auto library = tables::sdkStrings();
    for (std::size_t i = 0; i < library.size(); ++i) {
        const std::string_view text = library[i].cell[0];
        if (!startsWith(at, available, text)) {
            continue;
        }
        place.libraryString = static_cast<int>(i);
        const std::size_t room = std::min(available - text.size(), kZerosCounted);
        place.roomAfter = static_cast<std::uint8_t>(room);
        while (place.zerosInFile < room && at[text.size() + place.zerosInFile] == 0) {
            ++place.zerosInFile;
        }
        place.zerosOneMiBBuffer = place.zerosSixtyFourKiBBuffer = place.zerosInFile;
        break;
    }
    for (std::size_t i = 0; i < std::min(available, kLongestText) && isTextCharacter(at[i]); ++i) {
        place.text.push_back(static_cast<char>(at[i]));
    }
    return true;
}

std::string placeKind(const StringPlace& place) {
    std::string kind(reinterpret_cast<const char*>(&place.marks), sizeof place.marks);
    kind.push_back(static_cast<char>(place.libraryString));
    kind.push_back(static_cast<char>(place.zerosInFile));
    kind.push_back(static_cast<char>(place.roomAfter));
    kind.push_back(static_cast<char>(place.offset % 4));
    const std::uint64_t block = place.offset / kOneMiB;
    kind.append(reinterpret_cast<const char*>(&block), sizeof block);
    kind += place.lead;
    return kind;
}

bool isLibraryStringPlace(const StringPlace& place) {
    return place.offset >= CartridgeHeader::kSize && libraryStringKind(place.text).has_value();
}

std::size_t libraryLength(const StringPlace& place) {
    return place.libraryString < 0
               ? 0
               : tables::sdkStrings()[static_cast<std::size_t>(place.libraryString)].cell[0].size();
}

}  // namespace tagwright
