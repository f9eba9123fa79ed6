#include "image/posix_new_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace tagwright::files {

namespace {

constexpr int kAttempts = 64;

// Random-enough characters for a temporary name; exclusivity comes from O_EXCL.
std::string randomSuffix() {
    std::uint32_t value = 0;
    if (::getentropy(&value, sizeof value) != 0) {
        timespec now{};
        (void)::clock_gettime(CLOCK_MONOTONIC, &now);
        value = static_cast<std::uint32_t>(now.tv_nsec) ^ static_cast<std::uint32_t>(::getpid());
    }
    char text[9];
    (void)std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string temporaryName(const std::string& base) {
    constexpr std::size_t kStemLimit = 64;  // keeps the name well within NAME_MAX
    // Appended piece by piece: "." + std::string trips a false -Wrestrict in GCC 12 -O3.
    std::string name = ".";
    name += std::string_view(base).substr(0, kStemLimit);
    name += ".tagwright-";
    name += randomSuffix();
    name += ".tmp";
    return name;
}

}  // namespace

bool NewFile::create(bool unnamed, mode_t unnamedMode, bool namedAllowed) {
#ifdef O_TMPFILE
    if (unnamed) {
        fd_ = Descriptor(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, unnamedMode));
        if (fd_) {
            return true;
        }
    }
#else
    (void)unnamed;
    (void)unnamedMode;
#endif
    return namedAllowed && createNamed();
}

bool NewFile::linkAs(const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    return ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno != EEXIST && ::linkat(fd_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0);
}

bool NewFile::giveName() {
    if (named()) {
        return true;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string candidate = temporaryName(base_);
        if (linkAs(candidate)) {
            name_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool NewFile::commit() {
    struct stat mine {};
    struct stat underName {};
    if (::fstat(fd_.get(), &mine) != 0 ||
        ::fstatat(folder_, name_.c_str(), &underName, AT_SYMLINK_NOFOLLOW) != 0 ||
        mine.st_dev != underName.st_dev || mine.st_ino != underName.st_ino) {
        name_.clear();  // whatever is under that name now is not ours to remove
        return false;
    }
    if (::renameat(folder_, name_.c_str(), folder_, base_.c_str()) != 0) {
        return false;
    }
    name_.clear();
    return true;
}

void NewFile::discard() {
    if (!name_.empty()) {
        (void)::unlinkat(folder_, name_.c_str(), 0);
        name_.clear();
    }
    fd_.reset();
}

bool NewFile::createNamed() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string candidate = temporaryName(base_);
        fd_ = Descriptor(::openat(folder_, candidate.c_str(),
                                  O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd_) {
            name_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

}  // namespace tagwright::files
