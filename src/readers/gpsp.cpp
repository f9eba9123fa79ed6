// gpSP (the GBA emulator of many low-power handhelds).
//
// Refuses empty files and files over 512 MiB. The size is rounded up to 32 KiB (0xFF
// fill); at most 32 blocks of 1 MiB are loaded. Its table (gpsp.tsv; the code as a C
// string, or UNKN when none of its 4 bytes is A-Z or 0-9) comes first: EEPROM fixes the
// type; PRESET128 makes a Flash chip 128 KiB, scans still run; KNOWN only marks a
// known game. An image is "Pokemon" when its title starts POKEMON or its code starts
// AXV, AXP, BPE, BPR or BPG.
//   Pass 1: every offset of the first MiB, the string inside it.
//   Pass 2, only when pass 1 found nothing and the image is not Pokemon (which then
//   gets Flash 128 KiB): offsets that are multiples of 4 in each loaded 1 MiB block,
//   at most block length - 12 into it.
// Strings: EEPROM_V, SRAM_V, FLASH1M_V, FLASH512_V, FLASH_V (not SRAM_F_V); by type
// EEPROM > SRAM > FLASH128K > FLASH64K within the pass. None: run time with a 64 KiB
// chip (RT64), or 128 KiB after PRESET128 (RT128).
// Last, a Pokemon image counts as a hack and gets Flash 128 KiB when byte 3 is not
// 0xEA, byte 0xB2 is not 0x96, its code is not in the table, its title is none of
// POKEMON FIRE, LEAF, EMER, RUBY, SAPP, or the rounded size exceeds 16 MiB.
#include <array>

#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

struct Found {
    StringType type;
    std::uint64_t end;  // where the string ends
};

std::optional<Found> typeAt(const StringPlace& place) {
    if (place.has(Mark::EepromV)) {
        return Found{StringType::Eeprom, place.endOf(Mark::EepromV)};
    }
    if (place.has(Mark::SramV)) {
        return Found{StringType::Sram, place.endOf(Mark::SramV)};
    }
    if (place.has(Mark::Flash1MV)) {
        return Found{StringType::Flash128k, place.endOf(Mark::Flash1MV)};
    }
    if (place.has(Mark::Flash512V)) {
        return Found{StringType::Flash64k, place.endOf(Mark::Flash512V)};
    }
    if (place.has(Mark::FlashV)) {
        return Found{StringType::Flash64k, place.endOf(Mark::FlashV)};
    }
    return std::nullopt;
}

std::optional<StringType> byPriority(const TypeSet& types) {
    return types.firstOf({StringType::Eeprom, StringType::Sram, StringType::Flash128k,
                          StringType::Flash64k});
}

}  // namespace

ReaderResult readGpsp(const ImageFacts& facts) {
    if (facts.size == 0 || facts.size > 16 * kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("that are empty or over 512 MiB"));
    }
    const std::string_view code = facts.gameCode();
    bool anyAlphanumeric = false;
    for (const char c : code) {
        anyAlphanumeric = anyAlphanumeric || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    const TableRow* row = findRow(tables::gpsp(), anyAlphanumeric ? codeAsCString(facts) : "UNKN");
    if (row != nullptr && row->cell[1] == "EEPROM") {
        return tableResult("EEPROM", code);
    }
    const bool preset128 = row != nullptr && row->cell[1] == "PRESET128";
    const std::uint64_t rounded = (facts.size + 0x7FFF) / 0x8000 * 0x8000;
    const std::string_view title = facts.title();
    const std::string_view code3 = code.substr(0, 3);
    const bool pokemon = title.substr(0, 7) == "POKEMON" || code3 == "AXV" || code3 == "AXP" ||
                         code3 == "BPE" || code3 == "BPR" || code3 == "BPG";

    TypeSet firstPass;
    for (const StringPlace& place : facts.places) {
        if (const auto found = typeAt(place); found && found->end <= kOneMiB) {
            firstPass.add(found->type);
        }
    }
    ReaderResult result;
    if (!firstPass.empty()) {
        result = stringResult(byPriority(firstPass), firstPass, "");
    } else if (pokemon) {
        result = resultOf("FLASH128K", DecidedBy::GameCode,
                          "it gives Flash 128 KiB to a Pokemon game without a string in its first MiB");
    } else {
        const std::uint64_t loaded = std::min(rounded, kMaxRomSize);
        TypeSet secondPass;
        for (const StringPlace& place : facts.places) {
            const auto found = typeAt(place);
            if (!found || !place.aligned() || place.offset >= loaded) {
                continue;
            }
            const std::uint64_t blockStart = place.offset / kOneMiB * kOneMiB;
            const std::uint64_t blockLength = std::min(kOneMiB, loaded - blockStart);
            if (place.offset - blockStart + 12 <= blockLength) {
                secondPass.add(found->type);
            }
        }
        result = stringResult(byPriority(secondPass), secondPass, preset128 ? "RT128" : "RT64");
    }
    if (pokemon) {
        static constexpr std::array<std::string_view, 5> kReleases = {
            "POKEMON FIRE", "POKEMON LEAF", "POKEMON EMER", "POKEMON RUBY", "POKEMON SAPP"};
        bool release = false;
        for (const std::string_view known : kReleases) {
            release = release || title == known;
        }
        const bool hack = facts.byteAt(3) != std::uint8_t{0xEA} ||
                          facts.byteAt(0xB2) != std::uint8_t{0x96} || row == nullptr || !release ||
                          rounded > kMaxRomSize / 2;
        if (hack && result.outcomeWord != "FLASH128K") {
            return resultOf("FLASH128K", DecidedBy::GameCode,
                            "it gives Flash 128 KiB to what it takes for a Pokemon hack");
        }
    }
    return result;
}

}  // namespace tagwright
