// The file layer on Windows. Names are UTF-8 in the rest of the program and UTF-16
// here (a name that is not valid UTF-8 is taken in the ANSI code page instead).
//
// Differences from the POSIX layer, all from the platform:
// - devices (NUL, CON, COM1, \\.\...) and pipes are recognised by opening the name:
//   whatever is not a disk file is written directly;
// - the new file is created exclusively (CREATE_NEW, not sharing with anyone) and
//   marked for deletion on close at once, so that a Ctrl-C, a crash or a kill
//   leaves nothing behind; the mark is lifted just before the move;
// - it replaces the target with MoveFileExW (MOVEFILE_REPLACE_EXISTING |
//   MOVEFILE_WRITE_THROUGH), after FlushFileBuffers; the replaced file's attributes
//   (hidden, system, archive) are carried over, its permissions come from the folder;
// - symbolic links are not followed: the name itself is replaced;
// - the file number is the volume serial number and file index, the content time
//   the last write time;
// - signals are not held back (Ctrl-C ends the program at once; the new file goes
//   with it, being marked for deletion).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "image/file_layer.hpp"

namespace tagwright::files {

namespace {

std::wstring widen(const std::string& name, UINT codePage, DWORD flags) {
    if (name.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(codePage, flags, name.data(),
                                           static_cast<int>(name.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, name.data(), static_cast<int>(name.size()), wide.data(),
                        length);
    return wide;
}

// The UTF-16 name, or nothing for a name that cannot be a file name.
std::optional<std::wstring> wideName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::wstring wide = widen(name, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (wide.empty()) {
        wide = widen(name, CP_ACP, 0);
    }
    if (wide.empty()) {
        return std::nullopt;
    }
    return wide;
}

class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    bool close() { return CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE)) != 0; }
    void reset() {
        if (*this) {
            CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE));
        }
    }

  private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileFacts factsOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileFacts facts;
    facts.device = info.dwVolumeSerialNumber;
    facts.number = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    facts.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    const std::uint64_t ticks = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime;
    facts.modified = static_cast<std::int64_t>(ticks) * 100;  // ticks of 100 ns
    return facts;
}

// Whether the name, itself and not where a link there leads, is a disk file that is
// still the one `before` describes.
bool stillThere(const std::wstring& name, const FileFacts& before) {
    const Handle file(CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && GetFileInformationByHandle(file.get(), &info) != 0 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               0 &&
           factsOf(info).unchangedSince(before);
}

// The system's reason for a failure, in the words the POSIX systems use where there
// are such (so that messages read the same everywhere), else in Windows' own.
std::string systemReason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return "No such file or directory";
        case ERROR_ACCESS_DENIED:
            return "Permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "in use by another program";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        default:
            break;
    }
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason.empty() ? "Windows error " + std::to_string(error) : reason;
}

ReadOutcome changed() {
    noteFailure("changed while being read");
    return ReadOutcome::Changed;
}

// A disk file (not a folder, device or pipe) opened for reading.
Handle openDiskFileForReading(const std::string& name, FileFacts& facts) {
    const auto wide = wideName(name);
    if (!wide) {
        noteFailure(systemReason(ERROR_FILE_NOT_FOUND));
        return {};
    }
    Handle file(CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide->c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES &&
                            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        noteFailure(folder ? std::string("Is a directory") : systemReason(error));
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        GetFileInformationByHandle(file.get(), &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        noteFailure("not a regular file");
        return {};
    }
    facts = factsOf(info);
    return file;
}

bool writeAll(HANDLE file, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        DWORD written = 0;
        if (WriteFile(file, bytes, chunk, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

std::optional<WriteOutcome> writeContent(HANDLE file, const Content& content) {
    return writeInPieces(content, [file](std::span<const std::uint8_t> piece) {
        return writeAll(file, piece.data(), piece.size());
    });
}

bool markForDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

std::wstring folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L"";
    }
    return path.substr(0, slash + 1);
}

std::wstring baseOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    std::wstring base = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (slash == std::wstring::npos && base.size() >= 2 && base[1] == L':') {
        base = base.substr(2);
    }
    return base;
}

std::wstring temporaryName(const std::wstring& target) {
    std::uint32_t value = GetTickCount() ^ (GetCurrentProcessId() << 16);
    LARGE_INTEGER counter{};
    if (QueryPerformanceCounter(&counter) != 0) {
        value ^= static_cast<std::uint32_t>(counter.QuadPart);
    }
    wchar_t suffix[9];
    (void)std::swprintf(suffix, 9, L"%08x", value);
    constexpr std::size_t kStemLimit = 64;
    return folderOf(target) + L"." + baseOf(target).substr(0, kStemLimit) + L".tagwright-" +
           suffix + L".tmp";
}

// `input`: the file that must still be under the name, unchanged, at the move.
WriteOutcome writeBeside(const std::wstring& target, std::optional<DWORD> oldAttributes,
                         const Content& content, const std::optional<FileFacts>& input) {
    const std::wstring base = baseOf(target);
    if (base.empty() || base == L"." || base == L"..") {
        return WriteOutcome::NotCreated;
    }
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring temporary = temporaryName(target);
        Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return WriteOutcome::NotCreated;
        }
        // Gone with the last handle, however the program ends, until the mark is lifted.
        const bool marked = markForDeletion(file.get(), true);
        // A marked file goes with its handle; an unmarked one is removed by name.
        auto discard = [&] {
            file.reset();
            if (!marked) {
                DeleteFileW(temporary.c_str());
            }
        };
        if (const auto failed = writeContent(file.get(), content)) {
            discard();
            return *failed;
        }
        if (FlushFileBuffers(file.get()) == 0 || (marked && !markForDeletion(file.get(), false))) {
            discard();
            return WriteOutcome::WriteFailed;
        }
        if (!file.close()) {
            DeleteFileW(temporary.c_str());
            return WriteOutcome::WriteFailed;
        }
        if (oldAttributes) {
            constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            const DWORD kept = *oldAttributes & kKept;
            SetFileAttributesW(temporary.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
        }
        if (input && !stillThere(target, *input)) {
            DeleteFileW(temporary.c_str());
            return WriteOutcome::InputChanged;
        }
        if (MoveFileExW(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
            DeleteFileW(temporary.c_str());
            return WriteOutcome::WriteFailed;
        }
        return WriteOutcome::Written;
    }
    return WriteOutcome::NotCreated;
}

}  // namespace

std::optional<FileFacts> measure(const std::string& name) {
    FileFacts facts;
    if (!openDiskFileForReading(name, facts)) {
        return std::nullopt;
    }
    return facts;
}

std::span<std::uint8_t> ReadBuffer::take(std::size_t size) {
    if (size > capacity_) {
        release();
        const std::size_t capacity = std::max(size, least_);
        data_ = new std::uint8_t[capacity];
        capacity_ = capacity;
    }
    return {data_, size};
}

void ReadBuffer::release() {
    delete[] data_;
    data_ = nullptr;
    capacity_ = 0;
}

ReadOutcome readWhole(const std::string& name, const FileFacts& measured,
                      std::span<std::uint8_t> into, FileFacts* opened, const PartRead& consume,
                      std::size_t part) {
    FileFacts facts;
    const Handle file = openDiskFileForReading(name, facts);
    if (!file) {
        return ReadOutcome::CannotOpen;
    }
    if (opened != nullptr) {
        *opened = facts;
    }
    if (!facts.matches(measured)) {
        return changed();
    }
    const std::size_t most = consume && part > 0 ? std::min<std::size_t>(part, 1u << 30) : 1u << 30;
    std::size_t got = 0;
    while (got < into.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(into.size() - got, most));
        DWORD n = 0;
        if (ReadFile(file.get(), into.data() + got, chunk, &n, nullptr) == 0 || n == 0) {
            return changed();
        }
        if (consume) {
            consume(into.subspan(got, n));
        }
        got += n;
    }
    return ReadOutcome::Read;
}

namespace {

WriteOutcome replace(const std::string& name, const Content& content, const ReplaceTerms& terms) {
    const auto wide = wideName(name);
    if (!wide) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return WriteOutcome::NotCreated;
    }
    // Opening what is there (without changing it) tells a disk file from a device.
    Handle existing(CreateFileW(wide->c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            // Read-only, a folder, held open by someone who shares no writing, or a
            // folder that does not exist: nothing changes.
            return WriteOutcome::NotCreated;
        }
        if (terms.onlyOverInput) {
            return WriteOutcome::InputChanged;
        }
        return writeBeside(*wide, std::nullopt, content, std::nullopt);
    }
    if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
        if (terms.onlyOverInput) {
            return WriteOutcome::InputChanged;
        }
        // NUL, CON, a pipe: there is nothing to replace.
        const auto failed = writeContent(existing.get(), content);
        const bool closed = existing.close();
        return failed ? *failed : (closed ? WriteOutcome::Written : WriteOutcome::WriteFailed);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(existing.get(), &info) != 0;
    existing.reset();
    const bool overInput = known && terms.input && factsOf(info).sameFileAs(*terms.input);
    if (terms.onlyOverInput && (!overInput || !factsOf(info).unchangedSince(*terms.input))) {
        return WriteOutcome::InputChanged;
    }
    return writeBeside(*wide, known ? std::optional<DWORD>(info.dwFileAttributes) : std::nullopt,
                       content, overInput ? terms.input : std::nullopt);
}

}  // namespace

WriteOutcome replaceFile(const std::string& name, const Content& content,
                         const ReplaceTerms& terms) {
    SetLastError(ERROR_SUCCESS);
    const WriteOutcome outcome = replace(name, content, terms);
    if (outcome != WriteOutcome::Written) {
        const DWORD error = GetLastError();
        const bool systemSaid = error != ERROR_SUCCESS && outcome != WriteOutcome::InputChanged;
        noteFailure(systemSaid ? systemReason(error) : std::string(fallbackReason(outcome)));
    }
    return outcome;
}

}  // namespace tagwright::files
