// The save-type string places of a file, found the slow and obvious way (every
// offset against every spelling), for judging the scan in tests and fuzz targets.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "image/save_readers.hpp"

namespace tagwright::testing {

// Each offset where a prefix starts, with the mask of the prefixes starting there.
std::vector<std::pair<std::uint64_t, std::uint16_t>> referencePlaces(
    std::span<const std::uint8_t> bytes);

// First, first aligned and count of each prefix over those places.
std::array<PrefixSeen, kSavePrefixCount> referenceSeen(
    const std::vector<std::pair<std::uint64_t, std::uint16_t>>& places);

}  // namespace tagwright::testing
