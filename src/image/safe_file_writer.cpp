#include "image/safe_file_writer.hpp"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace tagwright {

namespace fs = std::filesystem;

namespace {

using Segments = std::span<const std::span<const std::uint8_t>>;

// Writes every segment, flushes and closes the file. True only if all of it succeeded;
// the file is closed in every case.
bool writeAndClose(std::FILE* file, Segments segments) {
    bool ok = true;
    for (const auto segment : segments) {
        if (ok && !segment.empty()) {
            ok = std::fwrite(segment.data(), 1, segment.size(), file) == segment.size();
        }
    }
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// Follows a chain of symbolic links to the file it finally names (which need not exist).
fs::path followLinks(fs::path path) {
    constexpr int kMaxLinks = 40;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            break;
        }
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            break;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Creates a new, empty temporary file next to `target`. Returns the open file, or
// nullptr when the folder does not let us create one.
std::FILE* createTemporaryBeside(const fs::path& target, fs::path& temporary) {
    constexpr int kAttempts = 64;
    constexpr std::size_t kNameStemLimit = 64;  // keeps the name well within NAME_MAX
    std::random_device random;
    const std::string stem = target.filename().string().substr(0, kNameStemLimit);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char suffix[16];
        (void)std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary = target.parent_path() / ("." + stem + ".tagwright-" + suffix + ".tmp");
        errno = 0;
        // "x": fail rather than reuse a file that already exists under that name.
        if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

WriteOutcome writeFileSafely(const std::string& name, Segments segments) {
    const fs::path target = followLinks(name);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);

    if (exists && !fs::is_regular_file(status)) {
        // A device or FIFO cannot be renamed over; a folder fails to open here.
        std::FILE* file = std::fopen(target.c_str(), "wb");
        if (file == nullptr) {
            return WriteOutcome::NotCreated;
        }
        return writeAndClose(file, segments) ? WriteOutcome::Written : WriteOutcome::WriteFailed;
    }

    if (exists) {
        // Replace only a file we could also have overwritten in place. "r+b" opens it
        // for writing without truncating it.
        std::FILE* check = std::fopen(target.c_str(), "r+b");
        if (check == nullptr) {
            return WriteOutcome::NotCreated;
        }
        (void)std::fclose(check);  // opened only to test access; nothing was written
    }

    fs::path temporary;
    std::FILE* file = createTemporaryBeside(target, temporary);
    if (file == nullptr) {
        return WriteOutcome::NotCreated;
    }
    if (exists) {
        // Before any byte is written, so the new content is never more exposed than the old.
        fs::permissions(temporary, status.permissions(), error);
    }
    bool ok = writeAndClose(file, segments);
    if (ok) {
        fs::rename(temporary, target, error);
        ok = !error;
    }
    if (!ok) {
        fs::remove(temporary, error);
        return WriteOutcome::WriteFailed;
    }
    return WriteOutcome::Written;
}

}  // namespace tagwright
