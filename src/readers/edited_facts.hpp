// The facts of a file made from another by a known edit, derived from the other's facts
// and a scan of the edited bytes alone: no pass over the whole file.
//
// Both files are described over one span of bytes in memory, `base`:
//
//   [0, base.size())   base's bytes, except where one of `patches` lies (in offset
//                      order, not overlapping, each inside base)
//   then               the `appended` bytes
//   then               `fill` bytes of 0xFF (padding)
//
// The original is such a description without appended bytes or fill (base itself, or
// base with the bytes an edit in place overwrote patched back); the edited file is
// another over the same base. Edits are a header, tags, replaced strings, zero fill:
// few bytes, so a remedy tried or the check after a save costs microseconds.
//
// Only the places an edit can reach are read again: those starting from kPlaceReach
// bytes before a changed byte to kLongestLead after it (place_rules.hpp), and near the
// original's end when the size changes. The rest of the list, the counts of each kind,
// the first 0x200 bytes and the CRC-32 (by its linearity, crc32.hpp) follow from the
// original's facts. Where that cannot be exact, the edited file is scanned whole
// instead: when the original's list reached its cap, when either file passes 32 MiB,
// when an edit hides the first listed place of a kind whose repeats lie unread, and
// for files of under 4 KiB.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "readers/image_facts.hpp"

namespace tagwright {

struct BytePatch {
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> bytes;
};

struct EditedBytes {
    std::span<const std::uint8_t> base;
    std::vector<BytePatch> patches;
    std::vector<std::uint8_t> appended;
    std::uint64_t fill = 0;

    std::uint64_t size() const { return base.size() + appended.size() + fill; }
    // Copies the file's bytes [from, from + out.size()) (inside the file) to `out`.
    void copy(std::uint64_t from, std::span<std::uint8_t> out) const;
};

// The facts of `edited` under `name`, from `facts`, the facts of `original`.
ImageFacts factsOfEdited(const ImageFacts& facts, const EditedBytes& original,
                         const EditedBytes& edited, std::string name);

// The facts of the bytes `file` describes, gathered by one scan (`repairedToo` as for
// ImageScanner).
ImageFacts factsOfWhole(const EditedBytes& file, std::string name, bool repairedToo = false);

}  // namespace tagwright
