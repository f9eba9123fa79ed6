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

namespace {

// The change for `chosen` of the library string `prefix` starts at from[0], which lies
// at `offset`; `from` runs to the image's end.
std::optional<LibraryStringChange> changeOf(const Prefix& prefix, std::span<const std::uint8_t> from,
                                            std::size_t offset, SaveType chosen) {
    if (prefix.kind == library::kindOfType(chosen)) {
        return std::nullopt;
    }
    const std::size_t textLength = prefix.text.size() + kVersionDigits;
    std::size_t room = textLength;
    while (room < kSaveTagSize && room < from.size() && from[room] == 0) {
        ++room;
    }
    LibraryStringChange change;
    change.offset = static_cast<std::uint32_t>(offset);
    change.room = static_cast<std::uint32_t>(room);
    change.oldText.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(textLength));
    change.newText = tagText(chosen);
    change.fits = change.newText.size() <= room;
    return change;
}

}  // namespace

std::vector<LibraryStringChange> libraryStringChanges(std::span<const std::uint8_t> image,
                                                      SaveType chosen) {
    std::vector<LibraryStringChange> changes;
    for (std::size_t at = CartridgeHeader::kSize; at < image.size(); ++at) {
        const std::uint8_t first = image[at];
        if (first != 'E' && first != 'S' && first != 'F') {
            continue;
        }
        const Prefix* prefix = libraryStringAt(image, at);
        if (prefix == nullptr) {
            continue;
        }
        if (auto change = changeOf(*prefix, image.subspan(at), at, chosen)) {
            changes.push_back(std::move(*change));
        }
        at += prefix->text.size() + kVersionDigits - 1;  // no library string starts inside another
    }
    return changes;
}

std::optional<LibraryStringChange> libraryStringChangeAt(std::span<const std::uint8_t> from,
                                                         std::size_t offset, SaveType chosen) {
    const Prefix* prefix = libraryStringAt(from, 0);
    if (offset < CartridgeHeader::kSize || prefix == nullptr) {
        return std::nullopt;
    }
    return changeOf(*prefix, from, offset, chosen);
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
