// GBA.js (and the gbajs2 fork), in web browsers.
//
// Refuses a file whose byte 0xB2 is not 0x96. A byte-at-a-time matcher runs from
// offset 0xE4 to the end (offsets wrap at 32 MiB, so nothing past it is seen) for
// FLASH_V, FLASH512_V (64 KiB), FLASH1M_V (128 KiB), SRAM_V and EEPROM_V; the first
// one completed decides. The matcher keeps the text read so far while it is the start
// of one of them; on a byte that does not continue it, it starts again from that byte.
// So a string that begins inside such a partial match is missed (EEPROM_V after an odd
// number of extra Es, SRAM_V right after FLA). None: SRAM by default (SRAM*).
#include <array>
#include <string>

#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

namespace {

constexpr std::array<std::string_view, 5> kTargets = {"FLASH_V", "FLASH512_V", "FLASH1M_V",
                                                      "SRAM_V", "EEPROM_V"};

bool startsOne(std::string_view text) {
    for (const std::string_view target : kTargets) {
        if (target.substr(0, text.size()) == text) {
            return true;
        }
    }
    return false;
}

// Runs the matcher over `text` from a fresh start; the string it completes, if any.
std::optional<std::string_view> matcherFinds(std::string_view text) {
    std::string state;
    for (const char c : text) {
        state.push_back(c);
        for (const std::string_view target : kTargets) {
            if (state == target) {
                return target;
            }
        }
        if (!startsOne(state)) {
            state.assign(1, c);
        }
    }
    return std::nullopt;
}

StringType typeOf(std::string_view target) {
    if (target == "SRAM_V") {
        return StringType::Sram;
    }
    if (target == "EEPROM_V") {
        return StringType::Eeprom;
    }
    return target == "FLASH1M_V" ? StringType::Flash128k : StringType::Flash64k;
}

}  // namespace

ReaderResult readGbaJs(const ImageFacts& facts) {
    if (facts.byteAt(0xB2) != std::uint8_t{0x96}) {
        return resultOf("ERROR", DecidedBy::Header, "it refuses a header without 0x96 at 0xB2");
    }
    constexpr std::uint64_t kStart = 0xE4;
    const std::uint64_t end = std::min(facts.size, kMaxRomSize);
    bool missed = false;
    for (const StringPlace& place : facts.places) {
        bool candidate = false;
        for (const Mark mark : {Mark::FlashV, Mark::Flash512V, Mark::Flash1MV, Mark::SramV,
                                Mark::EepromV}) {
            candidate = candidate || (place.has(mark) && place.endOf(mark) <= end);
        }
        if (!candidate || place.offset < kStart) {
            continue;
        }
        // The matcher's state here follows from the text run that leads into this place
        // (a byte outside the strings' letters leaves it with nothing started).
        std::string_view lead = place.lead;
        if (lead.size() > place.offset - kStart) {
            lead.remove_prefix(lead.size() - static_cast<std::size_t>(place.offset - kStart));
        }
        const std::string run = std::string(lead) + place.text;
        if (const auto found = matcherFinds(run); found) {
            TypeSet seen;
            seen.add(typeOf(*found));
            return stringResult(typeOf(*found), seen, "SRAM*");
        }
        missed = true;
    }
    ReaderResult result = stringResult(std::nullopt, {}, "SRAM*");
    if (missed) {
        result.reason = "its matcher misses a string that follows a partial match";
    }
    return result;
}

}  // namespace tagwright
