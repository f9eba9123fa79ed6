// What the parts of the POSIX file layer share: a descriptor owned by one object, and
// the facts (file_layer.hpp) of a file's status.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "image/file_layer.hpp"

namespace tagwright::files {

// An open descriptor, closed when this object ends unless closed before.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes and tells whether the close succeeded (a failed close can mean lost data).
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }
    void reset() {
        if (fd_ >= 0) {
            (void)::close(std::exchange(fd_, -1));
        }
    }

  private:
    int fd_ = -1;
};

// The facts of a file from its status.
inline FileFacts factsOf(const struct stat& st) {
    constexpr std::int64_t kNanoseconds = 1'000'000'000;
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNanoseconds + st.st_mtim.tv_nsec};
}

}  // namespace tagwright::files
