#include "image/rom_image.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "image/empty_space.hpp"
#include "image/padding.hpp"

namespace tagwright {

RomImage::RomImage() noexcept = default;

std::size_t RomImage::tagAreaOffset(std::int32_t size) {
    return (static_cast<std::size_t>(size) + kTagAlignment - 1) / kTagAlignment * kTagAlignment;
}

RomImage::RomImage(std::int32_t size, std::ostream& out) : size_(size) {
    if (size >= 0) {
        // calloc gives the zero gap and tag area that TagArea::Included writes, and for
        // large images fresh zero pages from the system at no extra cost.
        data_.reset(static_cast<std::uint8_t*>(std::calloc(tagAreaOffset(size) + kTagAreaSize, 1)));
    }
    if (!data_) {
        out << "There was a problem allocating memory to load the ROM" << std::endl;
    }
}

std::span<const std::uint8_t> RomImage::buffer() const {
    if (!data_) {
        return {};
    }
    return {data_.get(), tagAreaOffset(size_) + kTagAreaSize};
}

std::span<std::uint8_t> RomImage::mutableBuffer() {
    if (!data_) {
        return {};
    }
    return {data_.get(), tagAreaOffset(size_) + kTagAreaSize};
}

void RomImage::loadBytes(std::span<const std::uint8_t> bytes) {
    const auto image = mutableBuffer();
    if (image.empty()) {
        return;
    }
    const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(size_));
    std::copy_n(bytes.begin(), count, image.begin());
    header_.overlay(bytes.first(std::min(count, CartridgeHeader::kSize)));
}

void RomImage::putTag(std::size_t offset, SaveType type) {
    const auto tag = saveTagOf(type);
    const auto bytes = mutableBuffer();
    if (!tag || offset + kSaveTagSize > bytes.size()) {
        return;
    }
    std::copy(tag->begin(), tag->end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void RomImage::appendSaveTag(SaveType type) {
    if (appendedTagFits()) {
        putTag(tagAreaOffset(size_), type);
    }
}

void RomImage::embedSaveTag(SaveType type) {
    if (emptySpaceOffset_ < 0) {
        return;
    }
    putTag(static_cast<std::size_t>(emptySpaceOffset_), type);
}

void RomImage::clearEmbeddedTag() {
    const auto bytes = mutableBuffer();
    if (emptySpaceOffset_ < 0 ||
        static_cast<std::size_t>(emptySpaceOffset_) + kSaveTagSize > bytes.size()) {
        return;
    }
    std::fill_n(bytes.begin() + emptySpaceOffset_, kSaveTagSize, std::uint8_t{0});
}

std::vector<LibraryStringChange> RomImage::replaceLibraryStrings(SaveType type) {
    const auto image = mutableBuffer().first(data_ ? static_cast<std::size_t>(size_) : 0);
    auto changes = libraryStringChanges(image, type);
    applyLibraryStringChanges(image, changes);
    return changes;
}

namespace {

// Writes `count` dots in large blocks: a 32 MiB image means 32 million dots.
void writeDots(std::ostream& out, std::size_t count) {
    static constexpr std::size_t kBlock = std::size_t{64} * 1024;
    const std::string dots(std::min(count, kBlock), '.');
    for (; count >= kBlock; count -= kBlock) {
        out << dots;
    }
    if (count > 0) {
        out << std::string_view(dots).substr(0, count);
    }
}

}  // namespace

bool RomImage::findEmptySpace(std::ostream& out) {
    if (!data_) {
        return false;
    }
    const auto image = buffer().first(static_cast<std::size_t>(size_));
    const auto start = findEmptyRun(image);
    // One dot per position examined: the run's last byte completes the search, and a
    // failed search examined every byte.
    writeDots(out, start ? *start + kEmptyRunLength - 1 : image.size());
    out << std::endl;
    if (!start) {
        out << "Sorry but not enough space was available within the ROM " << std::endl
            << "to do empty space patching - please use normal patching!" << std::endl
            << std::endl;
        return false;
    }
    out << "Empty Space patching is possible!" << std::endl
        << "*IMPORTANT* - This feature is to be considered experimental." << std::endl
        << "It is now active, however." << std::endl
        << std::endl;
    emptySpaceOffset_ = static_cast<std::int32_t>(*start);
    return true;
}

std::uint64_t RomImage::outputFill(TagArea tagArea, Padding padding) const {
    if (padding != Padding::ToPowerOfTwo) {
        return 0;
    }
    const auto segments = outputSegments(tagArea);
    const std::uint64_t length = segments[0].size() + segments[1].size();
    return paddedLength(length) - length;
}

std::array<std::span<const std::uint8_t>, 2> RomImage::outputSegments(TagArea tagArea) const {
    const std::span<const std::uint8_t> head(reinterpret_cast<const std::uint8_t*>(&header_),
                                             CartridgeHeader::kSize);
    auto body = buffer();
    if (tagArea == TagArea::Omitted && !body.empty()) {
        body = body.first(static_cast<std::size_t>(size_));
    }
    if (body.size() <= CartridgeHeader::kSize) {
        return {head, {}};
    }
    return {head, body.subspan(CartridgeHeader::kSize)};
}

}  // namespace tagwright
