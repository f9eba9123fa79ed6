#include "image/save_readers.hpp"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace tagwright {

namespace {

constexpr std::uint64_t kNanoBoyAdvanceSmallest = 228;

constexpr std::uint16_t bit(SavePrefix prefix) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(prefix));
}

bool startsWith(const std::uint8_t* at, std::size_t available, std::string_view prefix) {
    return available >= prefix.size() && std::memcmp(at, prefix.data(), prefix.size()) == 0;
}

bool isTagCharacter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Every prefix begins with one of the pairs "EE", "SR", "Sh" or "FL", and few places of
// a ROM do. Non-zero when one of the 32 places from `at` starts such a pair (33 bytes
// are read); written as a plain loop of fixed length so that compilers turn it into
// vector instructions.
constexpr std::size_t kBlock = 32;

unsigned pairStartsIn(const std::uint8_t* at) {
    auto is = [](std::uint8_t byte, char letter) {
        return static_cast<unsigned>(byte == static_cast<std::uint8_t>(letter));
    };
    unsigned found = 0;
    for (std::size_t j = 0; j < kBlock; ++j) {
        const std::uint8_t c = at[j];
        const std::uint8_t d = at[j + 1];
        found |= (is(c, 'E') & is(d, 'E')) | (is(c, 'S') & (is(d, 'R') | is(d, 'h'))) |
                 (is(c, 'F') & is(d, 'L'));
    }
    return found;
}

}  // namespace

// --- the scan ---

void SaveStringScanner::testAt(const std::uint8_t* at, std::size_t available,
                               std::uint64_t offset) {
    std::uint16_t found = 0;
    switch (at[0]) {
        case 'E':
            if (startsWith(at, available, "EEPROM_")) {
                found |= bit(SavePrefix::Eeprom);
                if (startsWith(at, available, "EEPROM_V")) {
                    found |= bit(SavePrefix::EepromV);
                }
            }
            break;
        case 'S':
            if (startsWith(at, available, "SRAM_")) {
                found |= bit(SavePrefix::Sram);
                if (startsWith(at, available, "SRAM_V")) {
                    found |= bit(SavePrefix::SramV);
                } else if (startsWith(at, available, "SRAM_F_V")) {
                    found |= bit(SavePrefix::SramFV);
                }
            } else if (startsWith(at, available, "Shantae")) {
                found |= bit(SavePrefix::Shantae);
            }
            break;
        case 'F':
            if (!startsWith(at, available, "FLASH")) {
                break;
            }
            if (startsWith(at, available, "FLASH1M_")) {
                found |= bit(SavePrefix::Flash1M);
                if (startsWith(at, available, "FLASH1M_V")) {
                    found |= bit(SavePrefix::Flash1MV);
                }
            } else if (startsWith(at, available, "FLASH512_")) {
                found |= bit(SavePrefix::Flash512);
                if (startsWith(at, available, "FLASH512_V")) {
                    found |= bit(SavePrefix::Flash512V);
                }
            } else {
                found |= bit(SavePrefix::FlashPlain);
                if (startsWith(at, available, "FLASH_")) {
                    found |= bit(SavePrefix::FlashUnderscore);
                    if (startsWith(at, available, "FLASH_V")) {
                        found |= bit(SavePrefix::FlashV);
                    }
                }
            }
            break;
        default:
            return;
    }
    if (found == 0) {
        return;
    }
    for (std::size_t p = 0; p < kSavePrefixCount; ++p) {
        if ((found >> p & 1u) == 0) {
            continue;
        }
        PrefixSeen& seen = scan_.prefixes[p];
        ++seen.count;
        if (!seen.first) {
            seen.first = offset;
        }
        if (!seen.firstAligned && offset % 4 == 0) {
            seen.firstAligned = offset;
        }
    }
    if (scan_.hits.size() < SaveStringScan::kListedHits) {
        SaveStringHit hit;
        hit.offset = offset;
        hit.prefixes = found;
        for (std::size_t i = 0; i < std::min(available, kWindow) && isTagCharacter(at[i]); ++i) {
            hit.text.push_back(static_cast<char>(at[i]));
        }
        scan_.hits.push_back(std::move(hit));
    }
    ++scan_.hitCount;
}

void SaveStringScanner::scanRange(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                                  std::size_t available, std::uint64_t base) {
    std::size_t i = from;
    for (; i + kBlock <= to && i + kBlock < available; i += kBlock) {
        if (pairStartsIn(bytes + i) != 0) {
            for (std::size_t j = i; j < i + kBlock; ++j) {
                testAt(bytes + j, available - j, base + j);
            }
        }
    }
    for (; i < to; ++i) {
        testAt(bytes + i, available - i, base + i);
    }
}

// carry_ holds the last places fed that lack a whole window of bytes behind them
// (fewer than kWindow of them); every place before carryOffset_ has been tested.
void SaveStringScanner::feed(std::span<const std::uint8_t> bytes) {
    scan_.fileSize += bytes.size();
    if (!carry_.empty()) {
        std::array<std::uint8_t, 2 * kWindow> joint{};
        const std::size_t take = std::min(bytes.size(), kWindow - 1);
        std::copy(carry_.begin(), carry_.end(), joint.begin());
        std::copy_n(bytes.begin(), take,
                    joint.begin() + static_cast<std::ptrdiff_t>(carry_.size()));
        const std::size_t length = carry_.size() + take;
        const std::size_t ready =
            std::min(carry_.size(), length >= kWindow ? length - kWindow + 1 : 0);
        scanRange(joint.data(), 0, ready, length, carryOffset_);
        carryOffset_ += ready;
        if (ready < carry_.size()) {
            // The piece was too short to complete the carried places: all of it waits too.
            carry_.assign(joint.begin() + static_cast<std::ptrdiff_t>(ready),
                          joint.begin() + static_cast<std::ptrdiff_t>(length));
            return;
        }
        carry_.clear();
    }
    if (bytes.size() < kWindow) {
        carry_.assign(bytes.begin(), bytes.end());
        return;
    }
    const std::size_t ready = bytes.size() - kWindow + 1;
    scanRange(bytes.data(), 0, ready, bytes.size(), carryOffset_);
    carry_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(ready), bytes.end());
    carryOffset_ += ready;
}

void SaveStringScanner::flushCarry() {
    scanRange(carry_.data(), 0, carry_.size(), carry_.size(), carryOffset_);
    carryOffset_ += carry_.size();
    carry_.clear();
}

void SaveStringScanner::feedFill(std::uint64_t count) {
    // No prefix holds a fill byte, so the places before it are decided already.
    flushCarry();
    scan_.fileSize += count;
    carryOffset_ += count;
}

SaveStringScan SaveStringScanner::finish() {
    flushCarry();
    SaveStringScan result = std::move(scan_);
    scan_ = {};
    carryOffset_ = 0;
    return result;
}

SaveStringScan scanSaveStrings(std::span<const std::uint8_t> bytes) {
    SaveStringScanner scanner;
    scanner.feed(bytes);
    return scanner.finish();
}

// --- the readers ---

namespace {

bool seen(const SaveStringScan& scan, SavePrefix prefix) {
    return scan[prefix].first.has_value();
}

// A small set of the four memory types.
struct Types {
    bool eeprom = false, sram = false, flash64k = false, flash128k = false;
    int count() const {
        const std::array<bool, 4> present = {eeprom, sram, flash64k, flash128k};
        return static_cast<int>(std::count(present.begin(), present.end(), true));
    }
    bool has(ReaderOutcome outcome) const {
        switch (outcome) {
            case ReaderOutcome::Eeprom:
                return eeprom;
            case ReaderOutcome::Sram:
                return sram;
            case ReaderOutcome::Flash64k:
                return flash64k;
            case ReaderOutcome::Flash128k:
                return flash128k;
            default:
                return false;
        }
    }
    // The first type of `order` that is present.
    std::optional<ReaderOutcome> firstOf(std::initializer_list<ReaderOutcome> order) const {
        const auto found = std::find_if(order.begin(), order.end(),
                                        [this](ReaderOutcome outcome) { return has(outcome); });
        return found == order.end() ? std::nullopt : std::optional(*found);
    }
    void add(ReaderOutcome outcome) {
        eeprom = eeprom || outcome == ReaderOutcome::Eeprom;
        sram = sram || outcome == ReaderOutcome::Sram;
        flash64k = flash64k || outcome == ReaderOutcome::Flash64k;
        flash128k = flash128k || outcome == ReaderOutcome::Flash128k;
    }
};

// The types of the prefixes that end in "_", anywhere: what the libretro core and
// SkyEmu look for.
Types underscoreTypes(const SaveStringScan& scan) {
    Types types;
    types.eeprom = seen(scan, SavePrefix::Eeprom);
    types.sram = seen(scan, SavePrefix::Sram);
    types.flash64k = seen(scan, SavePrefix::FlashUnderscore) || seen(scan, SavePrefix::Flash512);
    types.flash128k = seen(scan, SavePrefix::Flash1M);
    return types;
}

ReaderView typed(ReaderOutcome outcome, const Types& types) {
    return {outcome, types.count() > 1 ? ReaderReason::MixedTypes : ReaderReason::Plain};
}

}  // namespace

ReaderView readVbaM(const SaveStringScan& scan) {
    enum class State { Nothing, PlainFlash, Eeprom, Sram, Flash64k, Flash128k };
    struct Token {
        std::uint64_t offset;
        SavePrefix prefix;
    };
    // Only the first aligned place of each kind can move the state: a later one meets
    // a state at least as far along, which that kind no longer changes.
    std::vector<Token> tokens;
    Types types;
    for (const SavePrefix prefix : {SavePrefix::Eeprom, SavePrefix::Sram, SavePrefix::Flash1M,
                                    SavePrefix::Flash512, SavePrefix::FlashPlain}) {
        if (const auto at = scan[prefix].firstAligned) {
            tokens.push_back({*at, prefix});
        }
    }
    std::sort(tokens.begin(), tokens.end(),
              [](const Token& a, const Token& b) { return a.offset < b.offset; });
    State state = State::Nothing;
    for (const Token& token : tokens) {
        switch (token.prefix) {
            case SavePrefix::Eeprom:
                types.eeprom = true;
                if (state == State::Nothing || state == State::PlainFlash) {
                    state = State::Eeprom;
                }
                break;
            case SavePrefix::Sram:
                types.sram = true;
                if (state == State::Nothing || state == State::Eeprom ||
                    state == State::PlainFlash) {
                    state = State::Sram;
                }
                break;
            case SavePrefix::Flash1M:
                types.flash128k = true;
                if (state == State::Nothing) {
                    state = State::Flash128k;
                }
                break;
            case SavePrefix::Flash512:
            case SavePrefix::FlashPlain:
                types.flash64k = true;
                if (state == State::Nothing) {
                    state =
                        token.prefix == SavePrefix::Flash512 ? State::Flash64k : State::PlainFlash;
                }
                break;
            default:
                break;
        }
    }
    switch (state) {
        case State::Nothing: {
            const bool anyUnaligned =
                seen(scan, SavePrefix::Eeprom) || seen(scan, SavePrefix::Sram) ||
                seen(scan, SavePrefix::Flash1M) || seen(scan, SavePrefix::Flash512) ||
                seen(scan, SavePrefix::FlashPlain);
            return {ReaderOutcome::None,
                    anyUnaligned ? ReaderReason::Unaligned : ReaderReason::NoString};
        }
        case State::PlainFlash:
        case State::Flash64k:
            return typed(ReaderOutcome::Flash64k, types);
        case State::Eeprom:
            return typed(ReaderOutcome::Eeprom, types);
        case State::Sram:
            return typed(ReaderOutcome::Sram, types);
        case State::Flash128k:
            return typed(ReaderOutcome::Flash128k, types);
    }
    return {};
}

ReaderView readVbaMLibretro(const SaveStringScan& scan) {
    const Types types = underscoreTypes(scan);
    if (seen(scan, SavePrefix::Shantae)) {
        const bool onlySram = types.sram && types.count() == 1;
        return {ReaderOutcome::Sram, onlySram ? ReaderReason::Plain : ReaderReason::Shantae};
    }
    if (const auto type = types.firstOf({ReaderOutcome::Flash128k, ReaderOutcome::Flash64k,
                                         ReaderOutcome::Eeprom, ReaderOutcome::Sram})) {
        return typed(*type, types);
    }
    return {ReaderOutcome::None, ReaderReason::NoString};
}

ReaderView readNanoBoyAdvance(const SaveStringScan& scan) {
    if (scan.fileSize < kNanoBoyAdvanceSmallest) {
        return {ReaderOutcome::Refused, ReaderReason::TooSmall};
    }
    if (scan.fileSize > kThirtyTwoMiB) {
        return {ReaderOutcome::Refused, ReaderReason::TooLarge};
    }
    struct Candidate {
        SavePrefix prefix;
        ReaderOutcome outcome;
    };
    constexpr std::array<Candidate, 6> kCandidates = {{
        {SavePrefix::EepromV, ReaderOutcome::Eeprom},
        {SavePrefix::SramV, ReaderOutcome::Sram},
        {SavePrefix::SramFV, ReaderOutcome::Sram},
        {SavePrefix::FlashV, ReaderOutcome::Flash64k},
        {SavePrefix::Flash512V, ReaderOutcome::Flash64k},
        {SavePrefix::Flash1MV, ReaderOutcome::Flash128k},
    }};
    std::optional<std::uint64_t> firstAt;
    ReaderOutcome first = ReaderOutcome::SramByDefault;
    Types types;
    bool anyAtAll = false;
    for (const Candidate& candidate : kCandidates) {
        anyAtAll = anyAtAll || seen(scan, candidate.prefix);
        const auto at = scan[candidate.prefix].firstAligned;
        if (!at) {
            continue;
        }
        types.add(candidate.outcome);
        if (!firstAt || *at < *firstAt) {
            firstAt = at;
            first = candidate.outcome;
        }
    }
    if (!firstAt) {
        return {ReaderOutcome::SramByDefault,
                anyAtAll ? ReaderReason::Unaligned : ReaderReason::NoString};
    }
    return typed(first, types);
}

ReaderView readSkyEmu(const SaveStringScan& scan, std::string_view fileName) {
    constexpr std::string_view kExtension = ".gba";
    if (fileName.size() < kExtension.size() ||
        fileName.substr(fileName.size() - kExtension.size()) != kExtension) {
        return {ReaderOutcome::Refused, ReaderReason::NameNotGba};
    }
    if (scan.fileSize > kThirtyTwoMiB) {
        return {ReaderOutcome::Refused, ReaderReason::TooLarge};
    }
    const Types types = underscoreTypes(scan);
    if (types.count() > 1) {
        return {ReaderOutcome::None, ReaderReason::MixedTypes};
    }
    if (const auto type = types.firstOf({ReaderOutcome::Eeprom, ReaderOutcome::Sram,
                                         ReaderOutcome::Flash64k, ReaderOutcome::Flash128k})) {
        return {*type, ReaderReason::Plain};
    }
    return {ReaderOutcome::None, ReaderReason::NoString};
}

ReaderView readAres(const SaveStringScan& scan) {
    // The first place of a prefix is its lowest: if any place is seen, that one is.
    auto visible = [&scan](SavePrefix prefix) {
        const auto at = scan[prefix].first;
        return at && *at + 16 < scan.fileSize;
    };
    Types types;
    types.sram = visible(SavePrefix::SramV) || visible(SavePrefix::SramFV);
    types.eeprom = visible(SavePrefix::EepromV);
    types.flash64k = visible(SavePrefix::FlashV) || visible(SavePrefix::Flash512V);
    types.flash128k = visible(SavePrefix::Flash1MV);
    if (const auto type = types.firstOf({ReaderOutcome::Sram, ReaderOutcome::Eeprom,
                                         ReaderOutcome::Flash64k, ReaderOutcome::Flash128k})) {
        return typed(*type, types);
    }
    const bool anyAtTheEnd = seen(scan, SavePrefix::SramV) || seen(scan, SavePrefix::SramFV) ||
                             seen(scan, SavePrefix::EepromV) || seen(scan, SavePrefix::FlashV) ||
                             seen(scan, SavePrefix::Flash512V) || seen(scan, SavePrefix::Flash1MV);
    return {ReaderOutcome::None,
            anyAtTheEnd ? ReaderReason::LastSixteenBytes : ReaderReason::NoString};
}

ReaderView readMgba(const SaveStringScan& /*scan*/) {
    return {ReaderOutcome::DecidedAtRunTime, ReaderReason::ReadsNoStrings};
}

ReaderView readAs(Reader reader, const SaveStringScan& scan, std::string_view fileName) {
    switch (reader) {
        case Reader::VbaM:
            return readVbaM(scan);
        case Reader::VbaMLibretro:
            return readVbaMLibretro(scan);
        case Reader::NanoBoyAdvance:
            return readNanoBoyAdvance(scan);
        case Reader::SkyEmu:
            return readSkyEmu(scan, fileName);
        case Reader::Ares:
            return readAres(scan);
        case Reader::Mgba:
            break;
    }
    return readMgba(scan);
}

ReaderOutcome outcomeOf(SaveType type) {
    switch (type) {
        case SaveType::Eeprom64k:
        case SaveType::Eeprom128k:
            return ReaderOutcome::Eeprom;
        case SaveType::Flash1M:
            return ReaderOutcome::Flash128k;
        case SaveType::Flash512k:
            return ReaderOutcome::Flash64k;
        case SaveType::Sram256k:
        case SaveType::Sram512k:
            break;
    }
    return ReaderOutcome::Sram;
}

std::optional<ReaderOutcome> typeOfHit(const SaveStringHit& hit) {
    if (hit.has(SavePrefix::Eeprom)) {
        return ReaderOutcome::Eeprom;
    }
    if (hit.has(SavePrefix::Sram)) {
        return ReaderOutcome::Sram;
    }
    if (hit.has(SavePrefix::Flash1M)) {
        return ReaderOutcome::Flash128k;
    }
    if (hit.has(SavePrefix::Flash512) || hit.has(SavePrefix::FlashUnderscore)) {
        return ReaderOutcome::Flash64k;
    }
    return std::nullopt;
}

const char* readerName(Reader reader) {
    switch (reader) {
        case Reader::VbaM:
            return "VBA-M";
        case Reader::VbaMLibretro:
            return "VBA-M libretro";
        case Reader::NanoBoyAdvance:
            return "NanoBoyAdvance";
        case Reader::SkyEmu:
            return "SkyEmu";
        case Reader::Ares:
            return "ares";
        case Reader::Mgba:
            break;
    }
    return "mGBA";
}

const char* outcomeText(ReaderOutcome outcome) {
    switch (outcome) {
        case ReaderOutcome::None:
            return "no save memory";
        case ReaderOutcome::Eeprom:
            return "EEPROM";
        case ReaderOutcome::Sram:
            return "SRAM 32 KiB";
        case ReaderOutcome::Flash64k:
            return "Flash 64 KiB";
        case ReaderOutcome::Flash128k:
            return "Flash 128 KiB";
        case ReaderOutcome::Refused:
            return "refuses the file";
        case ReaderOutcome::SramByDefault:
            return "SRAM 32 KiB by default";
        case ReaderOutcome::DecidedAtRunTime:
            break;
    }
    return "decided at run time";
}

const char* reasonText(ReaderReason reason) {
    switch (reason) {
        case ReaderReason::Plain:
            return "";
        case ReaderReason::NoString:
            return "it finds no string it reads";
        case ReaderReason::Unaligned:
            return "it reads only strings at a multiple of 4";
        case ReaderReason::LastSixteenBytes:
            return "it skips a file's last 16 bytes";
        case ReaderReason::MixedTypes:
            return "strings of more than one type";
        case ReaderReason::Shantae:
            return "\"Shantae\" in the file means SRAM to it";
        case ReaderReason::TooSmall:
            return "under 228 bytes";
        case ReaderReason::TooLarge:
            return "over 32 MiB";
        case ReaderReason::NameNotGba:
            return "the name does not end in .gba";
        case ReaderReason::ReadsNoStrings:
            break;
    }
    return "reads no strings";
}

}  // namespace tagwright
