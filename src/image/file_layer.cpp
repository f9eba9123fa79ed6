#include "image/file_layer.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace tagwright::files {

namespace {

// The program is single-threaded where it touches files.
std::string& failure() {
    static std::string reason;
    return reason;
}

}  // namespace

const std::string& lastFailure() {
    return failure();
}

void noteFailure(std::string reason) {
    failure() = std::move(reason);
}

const char* fallbackReason(WriteOutcome outcome) {
    switch (outcome) {
        case WriteOutcome::InputChanged:
            return kInputChangedReason;
        case WriteOutcome::FillFailed:
            return "the padding could not be written";
        case WriteOutcome::NotCreated:
            return "cannot be created";
        case WriteOutcome::Written:
        case WriteOutcome::WriteFailed:
            break;
    }
    return "could not be written";
}

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

std::string storedName(const std::string& name) {
#ifdef _WIN32
    const std::size_t start = name.find_last_of("/\\") + 1;  // 0 when there is no folder
    std::size_t end = name.size();
    while (end > start && (name[end - 1] == '.' || name[end - 1] == ' ')) {
        --end;
    }
    const std::string_view last = std::string_view(name).substr(start);
    if (end == start || last == "." || last == "..") {
        return name;  // a folder's name, not a file's
    }
    return name.substr(0, end);
#else
    return name;
#endif
}

}  // namespace tagwright::files
