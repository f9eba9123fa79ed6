// SkyEmu.
//
// Refuses a name that does not end in "gba" (any case, with or without the dot) and
// files over 32 MiB. Every offset: EEPROM_, SRAM_, FLASH_ or FLASH512_ (64 KiB),
// FLASH1M_ (128 KiB). Strings of two types anywhere (the two Flash sizes count as two)
// give no save memory (NONE); repeats of one type are fine; none found: NONE.
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readSkyEmu(const ImageFacts& facts) {
    const std::string_view name = baseName(facts.name);
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const bool gbaName = name.size() >= 3 && lower(name[name.size() - 3]) == 'g' &&
                         lower(name[name.size() - 2]) == 'b' && lower(name[name.size() - 1]) == 'a';
    if (!gbaName) {
        return resultOf("ERROR", DecidedBy::Name, "it opens only names ending in .gba");
    }
    if (facts.size > kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 32 MiB"));
    }
    TypeSet types;
    for (const StringPlace& place : facts.places) {
        types.add(typesNamedAt(place, kUnderscoreMarks));
    }
    if (types.count() > 1) {
        return resultOf("NONE", DecidedBy::String,
                        "strings of two types make it give no save memory");
    }
    return stringResult(types.firstOf({StringType::Eeprom, StringType::Sram,
                                       StringType::Flash64k, StringType::Flash128k}),
                        types, "NONE");
}

}  // namespace tagwright
