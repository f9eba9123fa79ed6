// The file layer on POSIX systems (Linux first: O_TMPFILE where the file system has it).
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "image/file_layer.hpp"

namespace tagwright::files {

namespace {

// --- small helpers -------------------------------------------------------------

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

bool holdsNul(const std::string& name) {
    return name.find('\0') != std::string::npos;
}

FileFacts factsOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size)};
}

// A regular file opened for reading. O_NONBLOCK keeps a FIFO from waiting for a
// writer; it means nothing for a regular file.
Descriptor openRegularForReading(const std::string& name, struct stat& st) {
    if (name.empty() || holdsNul(name)) {
        return {};
    }
    Descriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    return fd;
}

// Writes all of `bytes`, retrying after interruptions and partial writes.
bool writeAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, std::min<std::size_t>(count, 1 << 30));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

// Signals whose default action ends the program and which must not strand a
// half-written file. They are blocked while a new file exists and looked at between
// blocks; destroying the guard unblocks them, so one that came is delivered then.
class SignalGuard {
  public:
    SignalGuard() {
        sigemptyset(&set_);
        for (const int signal : kSignals) {
            sigaddset(&set_, signal);
        }
        active_ = sigprocmask(SIG_BLOCK, &set_, &previous_) == 0;
    }
    ~SignalGuard() {
        if (active_) {
            (void)sigprocmask(SIG_SETMASK, &previous_, nullptr);
        }
    }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

    // Whether one of the signals arrived that the program does not ignore.
    bool arrived() const {
        sigset_t pending;
        if (!active_ || sigpending(&pending) != 0) {
            return false;
        }
        for (const int signal : kSignals) {
            struct sigaction action {};
            if (sigismember(&pending, signal) == 1 && sigaction(signal, nullptr, &action) == 0 &&
                action.sa_handler != SIG_IGN) {
                return true;
            }
        }
        return false;
    }

  private:
    static constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    sigset_t set_{};
    sigset_t previous_{};
    bool active_ = false;
};

// Writes the content to `fd`. With a guard, gives up as soon as a signal has arrived.
std::optional<WriteOutcome> writeContent(int fd, const Content& content, const SignalGuard* guard) {
    return writeInPieces(content, [fd, guard](std::span<const std::uint8_t> piece) {
        return (guard == nullptr || !guard->arrived()) && writeAll(fd, piece.data(), piece.size());
    });
}

// --- resolving the output name -------------------------------------------------

// The descriptor a name such as /dev/stdout or /proc/self/fd/3 stands for, if it
// is one of those names.
std::optional<int> descriptorNamed(const std::string& path) {
    if (path == "/dev/stdin") {
        return 0;
    }
    if (path == "/dev/stdout") {
        return 1;
    }
    if (path == "/dev/stderr") {
        return 2;
    }
    const std::string ownProc = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/", ownProc.c_str()}) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
            const std::string digits = path.substr(prefix.size());
            if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; })) {
                return std::nullopt;
            }
            return std::stoi(digits);
        }
    }
    return std::nullopt;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Target {
    enum class Kind { Descriptor, Special, File, Unreachable } kind = Kind::Unreachable;
    int descriptor = -1;  // Kind::Descriptor
    std::string path;     // the name the links lead to
    bool exists = false;  // Kind::File: a regular file is there now
};

// Follows the name through symbolic links to what is finally written.
Target resolve(const std::string& name) {
    Target target;
    std::string path = name;
    for (int links = 0; links <= kMaxLinks; ++links) {
        if (const auto fd = descriptorNamed(path)) {
            if (::fcntl(*fd, F_GETFD) == -1) {
                return target;  // nothing is open under that number
            }
            target.kind = Target::Kind::Descriptor;
            target.descriptor = *fd;
            return target;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            // Not there (yet): create it. Any other reason shows when the folder is opened.
            target.kind = Target::Kind::File;
            target.path = path;
            return target;
        }
        if (!S_ISLNK(st.st_mode)) {
            target.kind = S_ISREG(st.st_mode) ? Target::Kind::File : Target::Kind::Special;
            target.path = path;
            target.exists = S_ISREG(st.st_mode);
            return target;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            return target;  // changed under us, or unreadable
        }
        link.resize(static_cast<std::size_t>(n));
        if (link.front() != '/' && path.find('/') != std::string::npos) {
            link.insert(0, folderOf(path) + "/");
        }
        path = std::move(link);
    }
    return target;  // a loop, or a chain longer than the system follows
}

// --- the new file beside the target --------------------------------------------

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

// The new file while it is being made. Its destructor removes what exists of it
// unless commit() has run.
class NewFile {
  public:
    NewFile(int folder, std::string base) : folder_(folder), base_(std::move(base)) {}
    ~NewFile() { discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file, unnamed when `unnamed` and the file system allows it.
    bool create(bool unnamed) {
#ifdef O_TMPFILE
        if (unnamed) {
            fd_ = Descriptor(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            if (fd_) {
                return true;
            }
        }
#else
        (void)unnamed;
#endif
        return createNamed();
    }

    int fd() const {
        return fd_.get();
    }
    bool named() const {
        return !name_.empty();
    }

    // Gives an unnamed file its temporary name; a named one has it already.
    bool giveName() {
        if (named()) {
            return true;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string candidate = temporaryName(base_);
            if (::linkat(AT_FDCWD, self.c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
                    0 ||
                (errno != EEXIST &&
                 ::linkat(fd_.get(), "", folder_, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
                name_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    // Renames the file over the target, after checking that its name is still ours.
    bool commit() {
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

    bool close() {
        return fd_.close();
    }

    void discard() {
        if (!name_.empty()) {
            (void)::unlinkat(folder_, name_.c_str(), 0);
            name_.clear();
        }
        fd_.reset();
    }

  private:
    static constexpr int kAttempts = 64;

    bool createNamed() {
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

    int folder_;
    std::string base_;
    Descriptor fd_;
    std::string name_;  // while the file has a name of its own in the folder
};

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    (void)::umask(mask);
    return mask;
}

// Owner, group and mode of the new file, set through its descriptor before any
// content goes in.
bool takeOverAttributes(int fd, const std::optional<struct stat>& old) {
    if (!old) {
        return ::fchmod(fd, 0666 & ~currentUmask()) == 0;
    }
    if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), old->st_gid);  // the group, at least
    }
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        return false;
    }
    mode_t mode = old->st_mode & 07777;
    if (now.st_gid != old->st_gid) {
        mode &= ~static_cast<mode_t>(070);  // its group is not the one that had access
    }
    return ::fchmod(fd, mode) == 0;
}

// Writes to a descriptor or device directly; there is nothing to replace.
WriteOutcome writeDirectly(int fd, const Content& content) {
    if (const auto failed = writeContent(fd, content, nullptr)) {
        return *failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) != 0) {
        return WriteOutcome::WriteFailed;
    }
    return WriteOutcome::Written;
}

WriteOutcome writeBeside(const Target& target, const Content& content) {
    const std::string base = baseOf(target.path);
    if (base.empty() || base == "." || base == "..") {
        return WriteOutcome::NotCreated;
    }
    const Descriptor folder(
        ::open(folderOf(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        return WriteOutcome::NotCreated;
    }
    std::optional<struct stat> old;
    if (target.exists) {
        // Replace only a file that could also have been overwritten where it is.
        const Descriptor check(::openat(folder.get(), base.c_str(),
                                        O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (!check || ::fstat(check.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return WriteOutcome::NotCreated;
        }
        old = st;
    }

    const SignalGuard guard;
    // Unnamed first; should it not get a name later, once more as a named file.
    for (const bool unnamed : {true, false}) {
        NewFile file(folder.get(), base);
        if (!file.create(unnamed)) {
            return WriteOutcome::NotCreated;
        }
        if (!takeOverAttributes(file.fd(), old)) {
            return WriteOutcome::WriteFailed;
        }
        if (const auto failed = writeContent(file.fd(), content, &guard)) {
            return *failed;
        }
        if (::fsync(file.fd()) != 0 || guard.arrived()) {
            return WriteOutcome::WriteFailed;
        }
        if (!file.giveName()) {
            if (unnamed && !file.named()) {
                continue;
            }
            return WriteOutcome::WriteFailed;
        }
        if (guard.arrived() || !file.commit()) {
            return WriteOutcome::WriteFailed;
        }
        (void)::fsync(folder.get());  // the new name, durable; some file systems refuse
        return file.close() ? WriteOutcome::Written : WriteOutcome::WriteFailed;
    }
    return WriteOutcome::WriteFailed;
}

}  // namespace

std::optional<FileFacts> measure(const std::string& name) {
    struct stat st {};
    if (!openRegularForReading(name, st)) {
        return std::nullopt;
    }
    return factsOf(st);
}

ReadOutcome readWhole(const std::string& name, const FileFacts& measured,
                      std::span<std::uint8_t> into) {
    struct stat st {};
    const Descriptor fd = openRegularForReading(name, st);
    if (!fd) {
        return ReadOutcome::CannotOpen;
    }
    if (!factsOf(st).matches(measured)) {
        return ReadOutcome::Changed;
    }
    std::size_t got = 0;
    while (got < into.size()) {
        const ssize_t n = ::read(fd.get(), into.data() + got, into.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return ReadOutcome::Changed;
        }
        got += static_cast<std::size_t>(n);
    }
    return ReadOutcome::Read;
}

ReadOutcome readInBlocks(const std::string& name, std::span<std::uint8_t> block,
                         const std::function<void(std::span<const std::uint8_t>)>& consume,
                         FileFacts& facts) {
    struct stat st {};
    const Descriptor fd = openRegularForReading(name, st);
    if (!fd || block.empty()) {
        return ReadOutcome::CannotOpen;
    }
    facts = factsOf(st);
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return ReadOutcome::Changed;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > facts.size) {
            return ReadOutcome::Changed;  // it grew while being read
        }
        consume(block.first(static_cast<std::size_t>(n)));
    }
    return total == facts.size ? ReadOutcome::Read : ReadOutcome::Changed;
}

WriteOutcome replaceFile(const std::string& name, const Content& content) {
    if (name.empty() || holdsNul(name)) {
        return WriteOutcome::NotCreated;
    }
    const Target target = resolve(name);
    switch (target.kind) {
        case Target::Kind::Unreachable:
            return WriteOutcome::NotCreated;
        case Target::Kind::Descriptor:
            return writeDirectly(target.descriptor, content);
        case Target::Kind::Special: {
            // A device or FIFO cannot be renamed over; a folder fails to open here.
            Descriptor fd(
                ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
            if (!fd) {
                return WriteOutcome::NotCreated;
            }
            const WriteOutcome outcome = writeDirectly(fd.get(), content);
            if (!fd.close() && outcome == WriteOutcome::Written) {
                return WriteOutcome::WriteFailed;
            }
            return outcome;
        }
        case Target::Kind::File:
            break;
    }
    return writeBeside(target, content);
}

}  // namespace tagwright::files
