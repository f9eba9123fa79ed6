#include "image/file_layer.hpp"

#include <algorithm>
#include <array>

namespace tagwright::files {

std::optional<WriteOutcome> writeInPieces(
    const Content& content, const std::function<bool(std::span<const std::uint8_t>)>& write) {
    // Large segments go out in slices, so that a caller checking for signals between
    // pieces notices one within a few milliseconds.
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    for (const auto segment : content.segments) {
        for (std::size_t at = 0; at < segment.size(); at += kSlice) {
            if (!write(segment.subspan(at, std::min(segment.size() - at, kSlice)))) {
                return WriteOutcome::WriteFailed;
            }
        }
    }
    std::array<std::uint8_t, std::size_t{64} * 1024> block;
    block.fill(content.fillByte);
    for (std::uint64_t left = content.fillCount; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        if (!write(std::span(block).first(n))) {
            return WriteOutcome::FillFailed;
        }
        left -= n;
    }
    return std::nullopt;
}

}  // namespace tagwright::files
