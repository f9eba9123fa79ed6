#include "report/type_asked.hpp"

#include <algorithm>
#include <string_view>

#include "image/library_strings.hpp"
#include "image/save_library.hpp"

namespace tagwright {

namespace {

constexpr std::uint32_t kFlash64 = 65536;
constexpr std::uint32_t kFlash128 = 131072;

SaveKind kindOf(SaveType type) {
    switch (type) {
        case SaveType::Eeprom64k:
        case SaveType::Eeprom128k:
            return SaveKind::Eeprom;
        case SaveType::Flash1M:
        case SaveType::Flash512k:
            return SaveKind::Flash;
        case SaveType::Sram256k:
        case SaveType::Sram512k:
            break;
    }
    return SaveKind::Sram;
}

std::uint32_t flashBytesOf(SaveType type) {
    return type == SaveType::Flash1M ? kFlash128 : kFlash64;
}

}  // namespace

bool givesTypeAsked(const ReaderResult& result, SaveType asked) {
    const SaveKind kind = kindOf(asked);
    switch (result.outcome) {
        case SaveKind::Eeprom:
        case SaveKind::Sram:
            return result.outcome == kind;
        case SaveKind::Flash:
            return kind == SaveKind::Flash && result.bytes == flashBytesOf(asked);
        case SaveKind::Runtime:
            return kind != SaveKind::Flash || !result.bytes || *result.bytes == flashBytesOf(asked);
        case SaveKind::None:
        case SaveKind::Refused:
            break;
    }
    return false;
}

bool sameTypeAsked(SaveType a, SaveType b) {
    return kindOf(a) == kindOf(b) && (kindOf(a) != SaveKind::Flash || a == b);
}

const char* typeAskedText(SaveType asked) {
    switch (asked) {
        case SaveType::Eeprom64k:
        case SaveType::Eeprom128k:
            return "EEPROM";
        case SaveType::Flash1M:
            return "Flash 128 KiB";
        case SaveType::Flash512k:
            return "Flash 64 KiB";
        case SaveType::Sram256k:
        case SaveType::Sram512k:
            break;
    }
    return "SRAM";
}

std::optional<SaveType> typeOfLibraryText(const std::string& text) {
    const auto type = libraryStringKind(text);
    const std::string_view digits = std::string_view(text).substr(
        std::min(text.size(), library::kEepromPrefix.size()), library::kVersionDigits);
    const auto& eightKiB = library::kEightKiBEepromVersions;
    if (type == SaveType::Eeprom64k &&
        std::find(eightKiB.begin(), eightKiB.end(), digits) != eightKiB.end()) {
        return SaveType::Eeprom128k;
    }
    return type;
}

std::vector<SaveType> typesTheStringsAsk(const ImageFacts& facts) {
    std::vector<SaveType> types;
    for (const StringPlace& place : facts.places) {
        const auto type = typeOfLibraryText(place.text);
        if (type && std::none_of(types.begin(), types.end(),
                                 [&](SaveType seen) { return sameTypeAsked(seen, *type); })) {
            types.push_back(*type);
        }
    }
    return types;
}

}  // namespace tagwright
