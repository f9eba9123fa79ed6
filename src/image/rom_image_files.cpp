// RomImage's file operations, on top of the file layer.
#include <limits>

#include "image/file_layer.hpp"
#include "image/padding.hpp"
#include "image/rom_image.hpp"
#include "image/rom_input.hpp"

namespace tagwright {

namespace {

constexpr const char* kCannotPad = "Problem padding file";

// The one line each failed write is reported with.
bool reportWrite(files::WriteOutcome outcome, std::ostream& out) {
    switch (outcome) {
        case files::WriteOutcome::Written:
            return true;
        case files::WriteOutcome::NotCreated:
            out << "Problem creating file to write" << std::endl;
            return false;
        case files::WriteOutcome::FillFailed:
            out << kCannotPad << std::endl;
            return false;
        case files::WriteOutcome::WriteFailed:
        case files::WriteOutcome::InputChanged:
            break;
    }
    out << "Problem writing file" << std::endl;
    return false;
}

}  // namespace

bool RomImage::canOpen(const std::string& name) {
    return files::measure(name).has_value();
}

std::optional<std::int32_t> RomImage::probeSize(const std::string& name, std::ostream& out) {
    const auto facts = files::measure(name);
    if (!facts) {
        out << kCannotOpenRom << std::endl;
        return std::nullopt;
    }
    if (facts->size > kLargestRom) {
        out << kRomTooLarge << std::endl;
        files::noteFailure("too large (2 GiB or more)");
        return std::nullopt;
    }
    size_ = static_cast<std::int32_t>(facts->size);
    probed_ = facts;
    return size_;
}

bool RomImage::load(const std::string& name, std::ostream& out,
                    const std::optional<files::FileFacts>& measured) {
    if (!data_) {
        return false;
    }
    const auto image = mutableBuffer().first(static_cast<std::size_t>(size_));
    // The size is the one this image was made for; the identity, when given, the probe's.
    files::FileFacts expected = measured.value_or(files::FileFacts{});
    expected.size = image.size();
    files::FileFacts read;
    switch (files::readWhole(name, expected, image, &read)) {
        case files::ReadOutcome::Read:
            read_ = read;
            loadBytes(image);
            return true;
        case files::ReadOutcome::CannotOpen:
            out << kCannotOpenRom << std::endl;
            return false;
        case files::ReadOutcome::Changed:
            break;
    }
    out << kCannotReadRom << std::endl;
    return false;
}

bool RomImage::write(const std::string& name, TagArea tagArea, std::ostream& out,
                     Padding padding, const SaveTerms& terms) const {
    if (!data_) {
        return false;
    }
    const auto segments = outputSegments(tagArea);
    files::Content content;
    content.segments = segments;
    content.fillCount = outputFill(tagArea, padding);
    content.fillByte = kPaddingByte;
    // What this stream holds must come out before anything written to the same descriptor.
    out.flush();
    files::ReplaceTerms replace;
    replace.input = read_;
    replace.onlyOverInput = terms.onlyOverInput;
    replace.keepHeld = terms.keepHeld;
    return reportWrite(files::replaceFile(name, content, replace), out);
}

}  // namespace tagwright
