#include "image/library_strings.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "image/cartridge_header.hpp"

namespace tagwright {

namespace {

using library::Kind;
using library::kVersionDigits;
using library::Prefix;

bool isDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }

// The prefix of a library string starting at `at`, with its three digits, or null.
const Prefix* libraryStringAt(std::span<const std::uint8_t> image, std::size_t at) {
    for (const Prefix& prefix : library::kPrefixes) {
        const std::size_t length = prefix.text.size() + kVersionDigits;
        if (image.size() - at < length ||
            std::memcmp(image.data() + at, prefix.text.data(), prefix.text.size()) != 0) {
            continue;
        }
        const auto digits = image.subspan(at + prefix.text.size(), kVersionDigits);
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
    const Kind wanted = library::kindOfType(chosen);
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
        const std::size_t textLength = prefix->text.size() + kVersionDigits;
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
    return library::typeOfKind(prefix->kind);
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
