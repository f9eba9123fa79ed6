// POSIX access control lists in the form the kernel keeps them, as the extended
// attributes system.posix_acl_access (a file's own) and system.posix_acl_default (what
// a folder hands to new files):
//
//   header   u32 version, 2                                 (all values little-endian)
//   entries  8 bytes each: u16 tag, u16 permissions (4 read, 2 write, 1 execute), u32 id
//            tags: 0x01 owner, 0x02 named user, 0x04 owning group, 0x08 named group,
//                  0x10 mask, 0x20 other; the id counts for named entries only
//
// A list of only owner, owning group and other is the same as the permission bits. With
// a mask, the mode's group bits are the mask; without, the owning group's permissions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tagwright::files::acl {

enum Tag : std::uint16_t {
    kOwner = 0x01,
    kNamedUser = 0x02,
    kOwningGroup = 0x04,
    kNamedGroup = 0x08,
    kMask = 0x10,
    kOther = 0x20,
};

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t permissions = 0;
    std::uint32_t id = 0;
    bool operator==(const Entry&) const = default;
};

using List = std::vector<Entry>;

// Nothing when the bytes are not a version-2 list of whole entries.
std::optional<List> parse(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> serialize(const List& list);

// The three entries the permission bits stand for.
List fromMode(unsigned mode);
// The permission bits (0777) a list stands for.
unsigned modeOf(const List& list);
// Whether the list says no more than the permission bits.
bool isMinimal(const List& list);

// What a file created with `mode` gets from its folder's default list, as the kernel
// does it for open(O_CREAT): owner, other and the mask (the owning group when there is
// no mask) keep only what `mode` allows them; the umask plays no part.
List inherited(List defaults, unsigned mode);

// The list to give a replacement whose owner or owning group could not be kept, so
// that no one reads it who could not read the old file: "other" keeps no more than the
// lost owner or group had, since they now count among the others, and a new owning
// group gets nothing (its members counted among the others before). The owner entry
// stays: the new owner is the one who wrote the content.
List withoutLostOwners(List list, bool ownerKept, bool groupKept);

}  // namespace tagwright::files::acl
