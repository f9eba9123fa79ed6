// The one place where the engine touches the disk.
//
// Reading. Only a regular file is read: a folder, FIFO, socket or device is "cannot
// open", found without blocking (a FIFO is opened non-blocking and refused). A file
// is measured once and read once; the read checks through its own descriptor that
// it has the file measured (same size, and the same file where the platform tells).
//
// Writing: replaceFile() makes the named file hold exactly the given content.
//
//   name                    how it is written
//   ----------------------  ------------------------------------------------------
//   /dev/stdout, stderr,    the descriptor that is already open, without reopening:
//   /dev/fd/N,              what it appends to is appended to, a pipe is filled
//   /proc/self/fd/N
//   a device or FIFO        opened and written directly
//   a regular file, or a    a new file in the same folder, complete (fill included),
//   name not yet taken      synced, then renamed over the name in one atomic step,
//                           and the folder synced; on any failure the target is as
//                           it was and the new file is gone
//   a symbolic link         followed, at most kMaxLinks deep; the link stays a link.
//                           A loop or a longer chain is "not created"
//
// A save over the file its content was read from (ReplaceTerms::input) replaces only
// that file: just before the rename, the name in its folder, not followed, must still
// be it, unchanged (FileFacts::unchangedSince). Where it is not (the file was swapped
// for another or for a link, or changed), nothing is replaced and the new file goes.
//
// The new file is private from its first moment: unnamed where the system offers it
// (Linux O_TMPFILE, linked in under a ".NAME.tagwright-XXXXXXXX.tmp" name just before
// the rename), otherwise created under that name exclusively, not following links,
// with mode 0600. Owner, group and permission bits are then set through the open
// descriptor, never by name: a replaced file keeps its owner and group where the
// program may set them, and its permission bits (without the group bits when the
// group could not be kept); a new file gets 0666 less the umask. Other hard links to
// a replaced file keep the old content, as with every atomic replacement.
//
// SIGINT, SIGTERM, SIGHUP and SIGPIPE are held back while the new file exists; one
// that arrives abandons the write, removes the new file and then ends the program
// as that signal does. One that arrives after the rename acts once the write has
// returned, or, with ReplaceTerms::keepHeld, once the caller lets it (after saying
// that the file was replaced).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace tagwright::files {

inline constexpr int kMaxLinks = 40;

// What tells one file from another: device and file number where the platform has
// them (zero where it does not; on Windows the volume serial number and file index),
// the length in bytes and the time of the last change to its content (nanoseconds
// in the platform's own reckoning).
struct FileFacts {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    bool sameFileAs(const FileFacts& other) const {
        return device == other.device && number == other.number;
    }
    // Whether this is the file `before` describes, with its length and content time.
    bool unchangedSince(const FileFacts& before) const {
        return sameFileAs(before) && size == before.size && modified == before.modified;
    }
    // Whether an open file is the one `measured` describes: the same size, and the
    // same file unless the measurement carries no identity (device and number zero).
    bool matches(const FileFacts& measured) const {
        const bool identityKnown = measured.device != 0 || measured.number != 0;
        return size == measured.size && (!identityKnown || sameFileAs(measured));
    }
};

// Opens, measures and closes the named regular file. Nothing for a name that does
// not open, is not a regular file or holds a NUL byte.
std::optional<FileFacts> measure(const std::string& name);

enum class ReadOutcome {
    Read,        // `into` holds the file's first into.size() bytes
    CannotOpen,  // as for measure()
    Changed,     // not the file measured (other file, other size), or a short read
};

// A part of a file just read, handed over at once: it is still in the processor's
// cache, where a pass over it costs a fraction of a pass over the whole file later.
using PartRead = std::function<void(std::span<const std::uint8_t>)>;

// Reads the named file, which must still be the file `measured` describes, into `into`.
// `measured` with device and number zero checks the size only. `opened`, when given,
// receives the facts of the file read. With `consume`, reads at most `part` bytes at a
// time and hands each part to it in order as it arrives.
ReadOutcome readWhole(const std::string& name, const FileFacts& measured,
                      std::span<std::uint8_t> into, FileFacts* opened = nullptr,
                      const PartRead& consume = nullptr, std::size_t part = std::size_t{1} << 20);

// Memory to read files into, kept from one file to the next and never cleared (every
// byte used is read into it first). It is made at once for `least` bytes or the largest
// size asked, as memory costs only once touched; on Linux of transparent huge pages
// (2 MiB) where the system gives them, since touching 16 MiB of 4 KiB pages takes 4096
// page faults, which cost more than reading the file into them.
class ReadBuffer {
  public:
    explicit ReadBuffer(std::size_t least) : least_(least) {}
    ~ReadBuffer() { release(); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    // `size` bytes, the earlier content not kept when it grows; throws std::bad_alloc.
    std::span<std::uint8_t> take(std::size_t size);

  private:
    void release();
    std::uint8_t* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t least_ = 0;
};

// The whole content of a file: the segments one after another, then `fillCount`
// copies of `fillByte`.
struct Content {
    std::span<const std::span<const std::uint8_t>> segments;
    std::uint64_t fillCount = 0;
    std::uint8_t fillByte = 0;
};

enum class WriteOutcome {
    Written,       // all of the content is in the file, synced where it is a file
    NotCreated,    // the file could not be created or opened; nothing changed
    WriteFailed,   // writing, syncing or renaming failed; the target is as it was
    FillFailed,    // the segments went out but the fill did not; the target is as it was
    InputChanged,  // the name no longer names the input, unchanged; nothing changed
};

// Signals held back past a replacement (ReplaceTerms::keepHeld) until release() or the
// end of this object; one that arrived meanwhile then acts as it would have.
class HeldSignals {
  public:
    HeldSignals() = default;
    ~HeldSignals() { release(); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

    // Takes over the undoing of a hold (the platform layer's part).
    void hold(std::function<void()> undo) {
        release();
        undo_ = std::move(undo);
    }
    void release() {
        if (auto undo = std::exchange(undo_, nullptr)) {
            undo();
        }
    }

  private:
    std::function<void()> undo_;
};

// What a replacement must respect beyond its content.
struct ReplaceTerms {
    // The file the content was read from. With `onlyOverInput` the name must name it
    // (through links) when the write begins, and name it unchanged just before the
    // rename; without, only a write that finds it under the name must find it unchanged
    // there just before the rename. Otherwise the outcome is InputChanged.
    std::optional<FileFacts> input;
    bool onlyOverInput = false;
    // When given, signals held back by a write that renamed its file into place stay
    // held until this lets them go.
    HeldSignals* keepHeld = nullptr;
};

WriteOutcome replaceFile(const std::string& name, const Content& content,
                         const ReplaceTerms& terms = {});

// Why the last measure(), read or replaceFile() that failed did so: the system's
// words where the system gave the reason ("No such file or directory", "Permission
// denied"), the program's own otherwise ("not a regular file").
const std::string& lastFailure();

// The name a file written under `name` ends up with, which is what emulators see:
// Windows drops the dots and spaces that end a name ("trail.gba." is written as
// "trail.gba"); elsewhere the name stays as it is.
std::string storedName(const std::string& name);

// Records what lastFailure() tells (for failures found above this layer too).
void noteFailure(std::string reason);

// --- shared by the platform files ---

inline constexpr const char* kInputChangedReason =
    "no longer the file that was read (swapped or changed meanwhile); nothing replaced";

// The reason for a failed replacement that the system did not give.
const char* fallbackReason(WriteOutcome outcome);

// Hands the content to `write` in order, in pieces of at most 1 MiB (the fill from
// one 64 KiB block on the stack, so padding needs no heap memory), and stops at
// the first piece `write` refuses. Nothing when all went out; otherwise WriteFailed,
// or FillFailed when the refused piece was fill.
std::optional<WriteOutcome> writeInPieces(
    const Content& content, const std::function<bool(std::span<const std::uint8_t>)>& write);

}  // namespace tagwright::files
