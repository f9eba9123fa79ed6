// RomImage's file operations: the one place where the engine reads or writes files.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#include "image/padding.hpp"
#include "image/rom_image.hpp"
#include "image/safe_file_writer.hpp"

namespace tagwright {

namespace {

// For files opened only for reading: a failed close loses nothing.
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kCannotOpen = "There was a problem opening the file you specified!";

// A file opened for reading that is not a folder (a folder opens, but reads nothing).
File openForReading(const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) {
        return nullptr;
    }
    return File(std::fopen(name.c_str(), "rb"));
}

}  // namespace

bool RomImage::canOpen(const std::string& name) {
    return openForReading(name) != nullptr;
}

std::optional<std::int32_t> RomImage::probeSize(const std::string& name, std::ostream& out) {
    const File file = openForReading(name);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        out << kCannotOpen << std::endl;
        return std::nullopt;
    }
    const long length = std::ftell(file.get());
    if (length < 0) {
        out << kCannotOpen << std::endl;
        return std::nullopt;
    }
    if (length > std::numeric_limits<std::int32_t>::max()) {
        out << "The ROM file is too large (2 GiB or more)." << std::endl;
        return std::nullopt;
    }
    size_ = static_cast<std::int32_t>(length);
    return size_;
}

bool RomImage::load(const std::string& name, std::ostream& out) {
    if (!data_) {
        return false;
    }
    const File file = openForReading(name);
    if (!file) {
        out << kCannotOpen << std::endl;
        return false;
    }
    // One read of the whole image straight into the buffer.
    const auto image = mutableBuffer().first(static_cast<std::size_t>(size_));
    const std::size_t got =
        image.empty() ? 0 : std::fread(image.data(), 1, image.size(), file.get());
    if (got != image.size()) {
        out << "There was a problem reading the file you specified!" << std::endl;
        return false;
    }
    loadBytes(image);
    return true;
}

bool RomImage::write(const std::string& name, bool omitTagArea, std::ostream& out) const {
    if (!data_) {
        return false;
    }
    const auto segments = outputSegments(omitTagArea);
    switch (writeFileSafely(name, segments)) {
        case WriteOutcome::Written:
            return true;
        case WriteOutcome::NotCreated:
            out << "Problem creating file to write" << std::endl;
            return false;
        case WriteOutcome::WriteFailed:
            break;
    }
    out << "Problem writing file" << std::endl;
    return false;
}

bool RomImage::padFile(const std::string& name, std::ostream& out) {
    auto fail = [&out] {
        out << "Problem padding file" << std::endl;
        return false;
    };
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) {
        return fail();
    }
    std::FILE* file = std::fopen(name.c_str(), "r+b");
    if (file == nullptr) {
        return fail();
    }
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        end = std::ftell(file);
    }
    if (end < 0) {
        (void)std::fclose(file);  // nothing was written yet
        return fail();
    }
    const auto length = static_cast<std::uint64_t>(end);
    std::uint64_t missing = paddedLength(length) - length;

    // Padding goes out in blocks of 1 MiB: a 32 MiB image may need 32 MiB of it.
    constexpr std::uint64_t kBlock = 1 << 20;
    const std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(missing, kBlock)),
                                          kPaddingByte);
    bool ok = true;
    while (ok && missing > 0) {
        const auto n = static_cast<std::size_t>(std::min(missing, kBlock));
        ok = std::fwrite(block.data(), 1, n, file) == n;
        missing -= n;
    }
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        // Leave the file as it was written rather than half padded.
        if (std::filesystem::is_regular_file(name, error)) {
            std::filesystem::resize_file(name, length, error);
        }
        return fail();
    }
    return true;
}

}  // namespace tagwright
