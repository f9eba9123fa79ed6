// The file layer on POSIX systems (Linux first: O_TMPFILE where the file system has
// it): reading, and the write that puts a new file in place of the name's target.
// The walk from the name to that target is posix_name_walk.hpp; the new file itself,
// posix_new_file.hpp.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "image/file_attributes_posix.hpp"
#include "image/file_layer.hpp"
#include "image/posix_descriptor.hpp"
#include "image/posix_name_walk.hpp"
#include "image/posix_new_file.hpp"

namespace tagwright::files {

namespace {

constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kChanged = "changed while being read";

bool holdsNul(const std::string& name) {
    return name.find('\0') != std::string::npos;
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
            held.hold(
                [previous = previous_] { (void)sigprocmask(SIG_SETMASK, &previous, nullptr); });
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

// Whether the binary is built to use the named temporary file only, as where the
// file system has no unnamed ones; the tests run that path through such a build.
#ifdef TAGWRIGHT_NAMED_TEMPORARY_ONLY
constexpr bool kUnnamedFirst = false;
#else
constexpr bool kUnnamedFirst = true;
#endif

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

// Whether `base` in the folder, not followed, is still the file `before` describes.
bool stillThere(int folder, const std::string& base, const FileFacts& before) {
    struct stat st {};
    return ::fstatat(folder, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           factsOf(st).unchangedSince(before);
}

// A new name gets an unnamed file linked straight in (nothing else ever appears in
// the folder); a file to replace gets a new one renamed over it, by way of a
// temporary name. `input`: the file that must still be under the name, unchanged,
// at the rename.
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

std::span<std::uint8_t> ReadBuffer::take(std::size_t size) {
    if (size > capacity_) {
        release();
        // Whole huge pages, mapped apart from the heap so that they go back at once.
        constexpr std::size_t kHugePage = std::size_t{1} << 21;
        const std::size_t capacity = (std::max(size, least_) + kHugePage - 1) / kHugePage * kHugePage;
        void* memory = ::mmap(nullptr, capacity + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            throw std::bad_alloc();
        }
        // Aligned to a huge page, the slack on either side given back.
        auto* start = static_cast<std::uint8_t*>(memory);
        std::uint8_t* aligned = start + (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
        if (aligned > start) {
            ::munmap(start, static_cast<std::size_t>(aligned - start));
        }
        const std::size_t after = kHugePage - static_cast<std::size_t>(aligned - start);
        if (after > 0) {
            ::munmap(aligned + capacity, after);
        }
#ifdef MADV_HUGEPAGE
        ::madvise(aligned, capacity, MADV_HUGEPAGE);  // advice: ordinary pages where refused
#endif
        data_ = aligned;
        capacity_ = capacity;
    }
    return {data_, size};
}

void ReadBuffer::release() {
    if (data_ != nullptr) {
        ::munmap(data_, capacity_);
    }
    data_ = nullptr;
    capacity_ = 0;
}

ReadOutcome readWhole(const std::string& name, const FileFacts& measured,
                      std::span<std::uint8_t> into, FileFacts* opened, const PartRead& consume,
                      std::size_t part) {
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
    const std::size_t most = consume && part > 0 ? part : into.size();
    std::size_t got = 0;
    while (got < into.size()) {
        const ssize_t n = ::read(fd.get(), into.data() + got, std::min(most, into.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            noteFailure(n < 0 ? std::strerror(errno) : kChanged);
            return ReadOutcome::Changed;
        }
        if (consume) {
            consume(into.subspan(got, static_cast<std::size_t>(n)));
        }
        got += static_cast<std::size_t>(n);
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
    if (terms.onlyOverInput &&
        (!overInput || !factsOf(*target.existing).unchangedSince(*terms.input))) {
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
