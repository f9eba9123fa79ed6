#include "image/empty_space.hpp"

#include <cstring>

namespace tagwright {

static_assert(kEmptyRunLength % kEmptyRunAlignment == 0 &&
                  kEmptyRunFirstOffset % kEmptyRunAlignment == 0,
              "the word scan below relies on runs made of whole aligned words");

std::optional<std::size_t> findEmptyRun(std::span<const std::uint8_t> image) {
    // A usable run is exactly three consecutive zero words (4 bytes each, at offsets
    // that are multiples of 4), so the image is scanned a word at a time: one pass,
    // no byte-by-byte comparison of overlapping windows.
    constexpr std::size_t kWordsPerRun = kEmptyRunLength / kEmptyRunAlignment;
    const std::size_t wordCount = image.size() / kEmptyRunAlignment;
    std::size_t zeroWords = 0;
    for (std::size_t word = kEmptyRunFirstOffset / kEmptyRunAlignment; word < wordCount; ++word) {
        std::uint32_t value = 0;
        std::memcpy(&value, image.data() + word * kEmptyRunAlignment, sizeof value);
        if (value != 0) {
            zeroWords = 0;
            continue;
        }
        if (++zeroWords == kWordsPerRun) {
            return (word + 1 - kWordsPerRun) * kEmptyRunAlignment;
        }
    }
    return std::nullopt;
}

}  // namespace tagwright
