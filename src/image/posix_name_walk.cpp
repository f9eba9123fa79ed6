#include "image/posix_name_walk.hpp"

#include <fcntl.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <cerrno>

namespace tagwright::files {

namespace {

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

}  // namespace

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

}  // namespace tagwright::files
