#include "image/library_strings.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "image/cartridge_header.hpp"

namespace tagwright {

namespace {

enum class Kind { Eeprom, Sram, Flash64k, Flash128k };

struct Prefix {
    std::string_view text;
    Kind kind;
};

constexpr std::array<Prefix, 6> kPrefixes = {{
    {"EEPROM_V", Kind::Eeprom},
    {"SRAM_V", Kind::Sram},
    {"SRAM_F_V", Kind::Sram},
    {"FLASH_V", Kind::Flash64k},
    {"FLASH512_V", Kind::Flash64k},
    {"FLASH1M_V", Kind::Flash128k},
}};

constexpr std::size_t kDigits = 3;

Kind kindOf(SaveType type) {
    switch (type) {
        case SaveType::Eeprom64k:
        case SaveType::Eeprom128k:
            return Kind::Eeprom;
        case SaveType::Flash1M:
            return Kind::Flash128k;
        case SaveType::Flash512k:
            return Kind::Flash64k;
        case SaveType::Sram256k:
        case SaveType::Sram512k:
            break;
    }
    return Kind::Sram;
}

bool isDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }

// The prefix of a library string starting at `at`, with its three digits, or null.
const Prefix* libraryStringAt(std::span<const std::uint8_t> image, std::size_t at) {
    for (const Prefix& prefix : kPrefixes) {
        const std::size_t length = prefix.text.size() + kDigits;
        if (image.size() - at < length ||
            std::memcmp(image.data() + at, prefix.text.data(), prefix.text.size()) != 0) {
            continue;
        }
        const auto digits = image.subspan(at + prefix.text.size(), kDigits);
        if (std::all_of(digits.begin(), digits.end(), isDigit)) {
            return &prefix;
        }
    }
    return nullptr;
}

std::string tagText(SaveType type) {
    const SaveTag tag = saveTagOf(type).value_or(SaveTag{});
    const auto end = std::find(tag.begin(), tag.end(), std::uint8_t{0});
    return std::string(tag.begin(), end);
}

}  // namespace

std::vector<LibraryStringChange> libraryStringChanges(std::span<const std::uint8_t> image,
                                                      SaveType chosen) {
    std::vector<LibraryStringChange> changes;
    const Kind wanted = kindOf(chosen);
    const std::string newText = tagText(chosen);
    for (std::size_t at = CartridgeHeader::kSize; at < image.size(); ++at) {
        const std::uint8_t first = image[at];
        if (first != 'E' && first != 'S' && first != 'F') {
            continue;
        }
        const Prefix* prefix = libraryStringAt(image, at);
        if (prefix == nullptr) {
            continue;
        }
        const std::size_t textLength = prefix->text.size() + kDigits;
        if (prefix->kind != wanted) {
            std::size_t room = textLength;
            while (room < kSaveTagSize && at + room < image.size() && image[at + room] == 0) {
                ++room;
            }
            LibraryStringChange change;
            change.offset = static_cast<std::uint32_t>(at);
            change.room = static_cast<std::uint32_t>(room);
            change.oldText.assign(image.begin() + static_cast<std::ptrdiff_t>(at),
                                  image.begin() + static_cast<std::ptrdiff_t>(at + textLength));
            change.newText = newText;
            change.fits = newText.size() <= room;
            changes.push_back(std::move(change));
        }
        at += textLength - 1;  // no library string starts inside another
    }
    return changes;
}

std::optional<SaveType> libraryStringKind(std::string_view text) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    const Prefix* prefix = libraryStringAt(bytes, 0);
    if (prefix == nullptr) {
        return std::nullopt;
    }
    switch (prefix->kind) {
        case Kind::Eeprom:
            return SaveType::Eeprom64k;
        case Kind::Flash64k:
            return SaveType::Flash512k;
        case Kind::Flash128k:
            return SaveType::Flash1M;
        case Kind::Sram:
            break;
    }
    return SaveType::Sram512k;
}

void applyLibraryStringChanges(std::span<std::uint8_t> image,
                               const std::vector<LibraryStringChange>& changes) {
    for (const LibraryStringChange& change : changes) {
        if (!change.fits || change.offset + std::size_t{change.room} > image.size()) {
            continue;
        }
        const auto place = image.subspan(change.offset, change.room);
        std::fill(place.begin(), place.end(), std::uint8_t{0});
        std::copy(change.newText.begin(), change.newText.end(), place.begin());
    }
}

}  // namespace tagwright
