// Library save-type strings (save_library.hpp) in an image, and their replacement
// (--replace).
//
// A string's place is its text and the zero bytes right after it, at most 12 bytes
// from its start (the size of a save tag): libraries keep their strings word-aligned
// and zero-padded, so "FLASH_V123" usually owns "FLASH_V123\0\0".
//
// Replacing for a chosen save type: every library string of another kind is
// overwritten by the chosen tag's text, then zero bytes up to the end of its place;
// no byte outside the place is touched. A string whose place is shorter than the
// chosen text is left as it is and listed as such. Strings of the chosen kind stay.
// Strings that start in the first 192 bytes (the cartridge header, whose fields are
// set with their own options) are never changed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/save_library.hpp"
#include "image/save_type.hpp"

namespace tagwright {

struct LibraryStringChange {
    std::uint32_t offset = 0;  // where the old string starts
    std::uint32_t room = 0;    // bytes of its place: its text and the zeros after it
    std::string oldText;       // e.g. "EEPROM_V122"
    std::string newText;       // the chosen tag's text, e.g. "SRAM_V113"
    bool fits = true;          // false: newText is longer than room; left as it is

    friend bool operator==(const LibraryStringChange&, const LibraryStringChange&) = default;
};

// The changes that replacing for `chosen` makes in `image`, in order of offset.
std::vector<LibraryStringChange> libraryStringChanges(std::span<const std::uint8_t> image,
                                                      SaveType chosen);

// The change replacing for `chosen` makes to the library string that starts at from[0],
// at `offset` in an image that `from` runs to the end of; nothing when none starts there,
// it is of the chosen kind, or it lies in the header.
std::optional<LibraryStringChange> libraryStringChangeAt(std::span<const std::uint8_t> from,
                                                         std::size_t offset, SaveType chosen);

// Whether `text` starts with a library string (its prefix and three digits) and, if so,
// the save type whose tag is of its kind (library::typeOfKind()).
std::optional<SaveType> libraryStringKind(std::string_view text);

// Writes every change that fits: its new text, then zeros up to offset + room.
void applyLibraryStringChanges(std::span<std::uint8_t> image,
                               const std::vector<LibraryStringChange>& changes);

}  // namespace tagwright
