#include "image/file_attributes_posix.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/posix_acl.hpp"

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace tagwright::files {

namespace {

constexpr const char* kAccessAcl = "system.posix_acl_access";
constexpr const char* kDefaultAcl = "system.posix_acl_default";

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    (void)::umask(mask);
    return mask;
}

#ifdef __linux__

// An extended attribute of an open file; a folder opened only as a path is read
// through its /proc name. Nothing when it is absent or cannot be read.
std::optional<std::vector<std::uint8_t>> readAttribute(int fd, const char* name) {
    const std::string viaProc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        const bool byPath = size < 0 && errno == EBADF;
        if (byPath) {
            size = ::getxattr(viaProc.c_str(), name, nullptr, 0);
        }
        if (size < 0) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
        const ssize_t got = byPath ? ::getxattr(viaProc.c_str(), name, value.data(), value.size())
                                   : ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;  // ERANGE: it grew in between; ask again
        }
    }
    return std::nullopt;
}

std::optional<acl::List> readAcl(int fd, const char* name) {
    const auto bytes = readAttribute(fd, name);
    return bytes ? acl::parse(*bytes) : std::nullopt;
}

bool writeAcl(int fd, const acl::List& list) {
    const auto bytes = acl::serialize(list);
    return ::fsetxattr(fd, kAccessAcl, bytes.data(), bytes.size(), 0) == 0;
}

void dropAcl(int fd) {
    (void)::fremovexattr(fd, kAccessAcl);  // absent, or unsupported: nothing to drop
}

// The user. and security. attributes, as far as the file system and the program's
// rights allow; ACLs are dealt with on their own.
void copyExtendedAttributes(int from, int to) {
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0) {
        return;
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    size = ::flistxattr(from, names.data(), names.size());
    if (size <= 0) {
        return;
    }
    for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
        const std::string_view name(names.data() + at);
        at += name.size() + 1;
        if (name.rfind("user.", 0) != 0 && name.rfind("security.", 0) != 0) {
            continue;
        }
        const std::string key(name);
        if (const auto value = readAttribute(from, key.c_str())) {
            (void)::fsetxattr(to, key.c_str(), value->data(), value->size(), 0);
        }
    }
}

#else

std::optional<acl::List> readAcl(int, const char*) {
    return std::nullopt;
}
bool writeAcl(int, const acl::List&) {
    return false;
}
void dropAcl(int) {}
void copyExtendedAttributes(int, int) {}

#endif

// The list as permission bits when it cannot be set: the owning group gets no more
// than the mask allowed it, and named entries are lost (never widened).
unsigned narrowedMode(const acl::List& list) {
    acl::List minimal;
    std::copy_if(list.begin(), list.end(), std::back_inserter(minimal), [](const acl::Entry& e) {
        return e.tag == acl::kOwner || e.tag == acl::kOwningGroup || e.tag == acl::kOther;
    });
    const unsigned groupClass = acl::modeOf(list) & 070;  // the mask, when there is one
    return acl::modeOf(minimal) & (0707 | groupClass);
}

}  // namespace

bool takeOverAttributes(int fd, int replaced, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);  // the group, at least
    }
    struct stat now {};
    if (::fstat(fd, &now) != 0) {
        return false;
    }
    const bool ownerKept = now.st_uid == old.st_uid;
    const bool groupKept = now.st_gid == old.st_gid;
    const acl::List list = acl::withoutLostOwners(
        readAcl(replaced, kAccessAcl).value_or(acl::fromMode(old.st_mode)), ownerKept, groupKept);
    mode_t special = old.st_mode & 07000;
    if (!ownerKept) {
        special &= ~static_cast<mode_t>(S_ISUID);
    }
    if (!groupKept) {
        special &= ~static_cast<mode_t>(S_ISGID);
    }
    // The new file may have inherited its folder's default ACL; only the old one counts.
    dropAcl(fd);
    if (::fchmod(fd, special | narrowedMode(list)) != 0) {
        return false;
    }
    if (!acl::isMinimal(list) && writeAcl(fd, list) && ::fchmod(fd, special | acl::modeOf(list)) != 0) {
        return false;
    }
    copyExtendedAttributes(replaced, fd);
    return true;
}

bool giveNewFileAttributes(int fd, int folder) {
    if (const auto defaults = readAcl(folder, kDefaultAcl)) {
        const acl::List list = acl::inherited(*defaults, 0666);
        if (acl::isMinimal(list)) {
            dropAcl(fd);
            return ::fchmod(fd, acl::modeOf(list)) == 0;
        }
        if (writeAcl(fd, list)) {
            return true;
        }
        return ::fchmod(fd, narrowedMode(list)) == 0;
    }
    return ::fchmod(fd, 0666 & ~currentUmask()) == 0;
}

}  // namespace tagwright::files
