// The file layer on POSIX systems (Linux first: O_TMPFILE where the file system has it).
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "image/file_attributes_posix.hpp"
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

constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kChanged = "changed while being read";

bool holdsNul(const std::string& name) {
    return name.find('\0') != std::string::npos;
}

FileFacts factsOf(const struct stat& st) {
    constexpr std::int64_t kNanoseconds = 1'000'000'000;
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNanoseconds + st.st_mtim.tv_nsec};
}

// A regular file opened for reading. The name is looked at first, so that a FIFO or
// device is refused without being opened (opening one can complete a waiting writer,
// rewind a tape); the descriptor must then be that same file. O_NONBLOCK keeps a FIFO
// swapped in between from waiting for a writer.
Descriptor openRegularForReading(const std::string& name, struct stat& st) {
    struct stat named {};
    if (name.empty() || holdsNul(name)) {
        noteFailure(std::strerror(ENOENT));
        return {};
    }
    if (::stat(name.c_str(), &named) != 0) {
        noteFailure(std::strerror(errno));
        return {};
    }
    if (!S_ISREG(named.st_mode)) {
        noteFailure(S_ISDIR(named.st_mode) ? std::strerror(EISDIR) : kNotRegular);
        return {};
    }
    Descriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        noteFailure(std::strerror(errno));
        return {};
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != named.st_dev ||
        st.st_ino != named.st_ino) {
        noteFailure(kChanged);
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

// Every signal whose default action ends the program (all but SIGKILL, which cannot
// be held back, and those that stop, continue or are ignored by default) must not
// strand a half-written file. They are blocked while a new file exists and looked at
// between blocks; destroying the guard unblocks them, so one that came is delivered
// then. A fault the program itself causes still ends it at once.
class SignalGuard {
  public:
    SignalGuard() {
        sigfillset(&set_);
        for (const int signal : kLeftAlone) {
            sigdelset(&set_, signal);
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

    // Leaves the signals blocked when this guard ends; `held` unblocks them.
    void handOver(HeldSignals& held) {
        if (std::exchange(active_, false)) {
            held.hold([previous = previous_] { (void)sigprocmask(SIG_SETMASK, &previous, nullptr); });
        }
    }

    // Whether one of the signals arrived that the program does not ignore.
    bool arrived() const {
        sigset_t pending;
        if (!active_ || sigpending(&pending) != 0) {
            return false;
        }
        for (int signal = 1; signal <= kHighestSignal; ++signal) {
            struct sigaction action {};
            if (sigismember(&set_, signal) == 1 && sigismember(&pending, signal) == 1 &&
                sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
                return true;
            }
        }
        return false;
    }

  private:
    static constexpr int kHighestSignal = 64;  // Linux's last; numbers past a system's are not members
    static constexpr std::array<int, 9> kLeftAlone = {SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU,
                                                      SIGCONT, SIGCHLD, SIGURG,  SIGWINCH};
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
//
// The output name is walked from descriptors, the way the kernel walks it for
// open(O_CREAT): the folder part is opened (the kernel follows every link in it), the
// last part is looked at without following, and a link there is read and its target
// taken from the folder that holds the link, so no path text is ever joined. A link in
// a sticky world-writable folder is followed only when its owner is the caller or the
// folder's owner, as fs.protected_symlinks has it, whatever that setting says here.

// Whether the binary is built to use the named temporary file only, as where the
// file system has no unnamed ones; the tests run that path through such a build.
#ifdef TAGWRIGHT_NAMED_TEMPORARY_ONLY
constexpr bool kUnnamedFirst = false;
#else
constexpr bool kUnnamedFirst = true;
#endif

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

// A folder to work in. One the program may not list (a drop box) is opened as a
// path only, which still serves every *at() call.
struct Folder {
    Descriptor fd;
    bool listable = false;
};

Folder openFolder(int from, const std::string& path) {
    Folder folder;
    folder.fd = Descriptor(::openat(from, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    folder.listable = static_cast<bool>(folder.fd);
#ifdef O_PATH
    if (!folder.fd && errno == EACCES) {
        folder.fd = Descriptor(::openat(from, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
#endif
    return folder;
}

// Whether the kernel's rule for links in sticky world-writable folders lets the
// caller follow this link.
bool mayFollow(int folder, const struct stat& link) {
    struct stat st {};
    if (::fstat(folder, &st) != 0) {
        return false;
    }
    const mode_t shared = S_ISVTX | S_IWOTH;
    return (st.st_mode & shared) != shared || link.st_uid == ::geteuid() ||
           link.st_uid == st.st_uid;
}

// Whether the folder is this process's own table of open descriptors (/proc/self/fd,
// /proc/thread-self/fd, however it was reached).
bool isOwnDescriptorTable(int folder) {
#ifdef __linux__
    struct statfs fs {};
    struct stat st {};
    if (::fstatfs(folder, &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC || ::fstat(folder, &st) != 0) {
        return false;
    }
    for (const char* table : {"/proc/self/fd", "/proc/thread-self/fd"}) {
        struct stat own {};
        if (::stat(table, &own) == 0 && own.st_dev == st.st_dev && own.st_ino == st.st_ino) {
            return true;
        }
    }
#else
    (void)folder;
#endif
    return false;
}

// The descriptor number an entry of the descriptor table stands for, spelled as the
// kernel spells it (no sign, no leading zero).
std::optional<int> descriptorNumber(const std::string& entry) {
    if (entry.empty() || entry.size() > 9 || (entry.size() > 1 && entry[0] == '0') ||
        !std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::stoi(entry);
}

struct Target {
    enum class Kind { Descriptor, Special, File, Unreachable } kind = Kind::Unreachable;
    bool isFile(const FileFacts& facts) const {
        return existing && factsOf(*existing).sameFileAs(facts);
    }
    int descriptor = -1;  // Kind::Descriptor
    Folder folder;        // Kind::Special and Kind::File: where the name is
    std::string base;     // and the name in it
    std::optional<struct stat> existing;  // Kind::File: the regular file there now
};

// Follows the name through symbolic links to what is finally written.
Target resolve(const std::string& name) {
    Target target;
    Folder folder = openFolder(AT_FDCWD, folderOf(name));
    std::string base = baseOf(name);
    for (int links = 0; links <= kMaxLinks; ++links) {
        if (!folder.fd || base.empty()) {
            return target;
        }
        struct stat st {};
        if (isOwnDescriptorTable(folder.fd.get())) {
            const auto number = descriptorNumber(base);
            if (!number || *number == folder.fd.get() ||
                ::fstatat(folder.fd.get(), base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                ::fcntl(*number, F_GETFD) == -1) {
                return target;  // nothing is open under that number
            }
            target.kind = Target::Kind::Descriptor;
            target.descriptor = *number;
            return target;
        }
        if (::fstatat(folder.fd.get(), base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Not there yet: create it. Any other reason (a name too long, a folder
            // that may not be searched) is a file that cannot be created.
            if (errno == ENOENT) {
                errno = 0;  // not a failure: the name is free
                target.kind = Target::Kind::File;
                target.folder = std::move(folder);
                target.base = std::move(base);
            }
            return target;
        }
        if (!S_ISLNK(st.st_mode)) {
            target.kind = S_ISREG(st.st_mode) ? Target::Kind::File : Target::Kind::Special;
            if (S_ISREG(st.st_mode)) {
                target.existing = st;
            }
            target.folder = std::move(folder);
            target.base = std::move(base);
            return target;
        }
        if (!mayFollow(folder.fd.get(), st)) {
            return target;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlinkat(folder.fd.get(), base.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) {
            return target;  // changed under us, or unreadable
        }
        link.resize(static_cast<std::size_t>(n));
        // A relative link is taken from the folder holding it, an absolute one from the root.
        Folder next = openFolder(link.front() == '/' ? AT_FDCWD : folder.fd.get(), folderOf(link));
        folder = std::move(next);
        base = baseOf(link);
    }
    return target;  // a loop, or a chain longer than the system follows
}

// Whether nothing may be removed or renamed in the folder (chattr +a): a named
// temporary file could never be taken away again there.
bool isAppendOnly(const Folder& folder) {
#if defined(__linux__) && defined(FS_IOC_GETFLAGS)
    int flags = 0;
    return folder.listable && ::ioctl(folder.fd.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & FS_APPEND_FL) != 0;
#else
    (void)folder;
    return false;
#endif
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
// unless it was committed or linked in under the final name.
class NewFile {
  public:
    NewFile(int folder, std::string base) : folder_(folder), base_(std::move(base)) {}
    ~NewFile() { discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file, unnamed with `unnamedMode` when `unnamed` and the file system
    // allows it (no one can open it before it has a name), otherwise, if `namedAllowed`,
    // under a temporary name with mode 0600.
    bool create(bool unnamed, mode_t unnamedMode, bool namedAllowed) {
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

    int fd() const {
        return fd_.get();
    }
    bool named() const {
        return !name_.empty();
    }

    // Links an unnamed file in under `name`, which must not exist. Fails with errno
    // EEXIST when it does.
    bool linkAs(const std::string& name) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        return ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
               (errno != EEXIST &&
                ::linkat(fd_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0);
    }

    // Gives an unnamed file its temporary name; a named one has it already.
    bool giveName() {
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

// Makes the folder's new entry durable. A folder opened as a path only is reopened
// for this through its /proc name; some file systems refuse folder syncs altogether.
void syncFolder(const Folder& folder) {
    if (folder.listable) {
        (void)::fsync(folder.fd.get());
        return;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(folder.fd.get());
    const Descriptor reopened(::open(self.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (reopened) {
        (void)::fsync(reopened.get());
    }
}

// A new name gets an unnamed file linked straight in (nothing else ever appears in
// the folder); a file to replace gets a new one renamed over it, by way of a
// temporary name.
// Whether `base` in the folder, not followed, is still the file `before` describes.
bool stillThere(int folder, const std::string& base, const FileFacts& before) {
    struct stat st {};
    return ::fstatat(folder, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           factsOf(st).unchangedSince(before);
}

// `input`: the file that must still be under the name, unchanged, at the rename.
WriteOutcome writeBeside(const Target& target, const Content& content,
                         const std::optional<FileFacts>& input, HeldSignals* keepHeld) {
    const int folder = target.folder.fd.get();
    const std::string& base = target.base;
    if (base == "." || base == "..") {
        return WriteOutcome::NotCreated;
    }
    const bool appendOnly = isAppendOnly(target.folder);
    Descriptor replaced;
    if (target.existing) {
        // Replace only a file that could also have been overwritten where it is, and
        // only where the temporary name could be taken away again.
        replaced = Descriptor(::openat(folder, base.c_str(),
                                       O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (appendOnly || !replaced || ::fstat(replaced.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_dev != target.existing->st_dev || st.st_ino != target.existing->st_ino) {
            return WriteOutcome::NotCreated;
        }
    }

    SignalGuard guard;
    // Unnamed first; should it not get a name later, once more as a named file.
    for (const bool unnamed : {kUnnamedFirst, false}) {
        NewFile file(folder, base);
        // A new name unnamed: created as open(O_CREAT, 0666) would create it, under the
        // folder's default ACL and the umask.
        // No temporary name where it could never be removed again.
        if (!file.create(unnamed, replaced ? 0600 : 0666, !appendOnly)) {
            return WriteOutcome::NotCreated;
        }
        const bool attributesSet = replaced ? takeOverAttributes(file.fd(), replaced.get(),
                                                                 *target.existing)
                                            : !file.named() || giveNewFileAttributes(file.fd(), folder);
        if (!attributesSet) {
            return WriteOutcome::WriteFailed;
        }
        if (const auto failed = writeContent(file.fd(), content, &guard)) {
            return *failed;
        }
        if (::fsync(file.fd()) != 0 || guard.arrived()) {
            return WriteOutcome::WriteFailed;
        }
        if (!replaced && !file.named()) {
            if (!file.linkAs(base)) {
                if (errno != EEXIST && unnamed) {
                    continue;  // no way to link it in here; a named file, then
                }
                return WriteOutcome::WriteFailed;  // the name was taken meanwhile
            }
        } else {
            if (!file.giveName() || guard.arrived()) {
                return WriteOutcome::WriteFailed;
            }
            // The last moment before the rename: only the file that was read is replaced.
            if (input && !stillThere(folder, base, *input)) {
                return WriteOutcome::InputChanged;
            }
            if (!file.commit()) {
                return WriteOutcome::WriteFailed;
            }
            if (keepHeld != nullptr) {
                guard.handOver(*keepHeld);
            }
        }
        syncFolder(target.folder);
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
                      std::span<std::uint8_t> into, FileFacts* opened) {
    struct stat st {};
    const Descriptor fd = openRegularForReading(name, st);
    if (!fd) {
        return ReadOutcome::CannotOpen;
    }
    if (opened != nullptr) {
        *opened = factsOf(st);
    }
    if (!factsOf(st).matches(measured)) {
        noteFailure(kChanged);
        return ReadOutcome::Changed;
    }
    std::size_t got = 0;
    while (got < into.size()) {
        const ssize_t n = ::read(fd.get(), into.data() + got, into.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            noteFailure(n < 0 ? std::strerror(errno) : kChanged);
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
            noteFailure(std::strerror(errno));
            return ReadOutcome::Changed;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > facts.size) {
            noteFailure(kChanged);
            return ReadOutcome::Changed;  // it grew while being read
        }
        consume(block.first(static_cast<std::size_t>(n)));
    }
    if (total != facts.size) {
        noteFailure(kChanged);
        return ReadOutcome::Changed;
    }
    return ReadOutcome::Read;
}

namespace {

WriteOutcome replace(const std::string& name, const Content& content, const ReplaceTerms& terms) {
    if (name.empty() || holdsNul(name)) {
        errno = ENOENT;
        return WriteOutcome::NotCreated;
    }
    const Target target = resolve(name);
    const bool overInput = terms.input && target.isFile(*terms.input);
    if (terms.onlyOverInput && (!overInput || !factsOf(*target.existing).unchangedSince(*terms.input))) {
        return WriteOutcome::InputChanged;
    }
    switch (target.kind) {
        case Target::Kind::Unreachable:
            return WriteOutcome::NotCreated;
        case Target::Kind::Descriptor:
            return writeDirectly(target.descriptor, content);
        case Target::Kind::Special: {
            // A device or FIFO cannot be renamed over; a folder fails to open here.
            Descriptor fd(::openat(target.folder.fd.get(), target.base.c_str(),
                                   O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
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
    return writeBeside(target, content, overInput ? terms.input : std::nullopt, terms.keepHeld);
}

}  // namespace

WriteOutcome replaceFile(const std::string& name, const Content& content,
                         const ReplaceTerms& terms) {
    errno = 0;
    const WriteOutcome outcome = replace(name, content, terms);
    if (outcome != WriteOutcome::Written) {
        const bool systemSaid = errno != 0 && outcome != WriteOutcome::InputChanged;
        noteFailure(systemSaid ? std::strerror(errno) : fallbackReason(outcome));
    }
    return outcome;
}

}  // namespace tagwright::files
