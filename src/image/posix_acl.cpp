#include "image/posix_acl.hpp"

#include <algorithm>

namespace tagwright::files::acl {

namespace {

constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kEntrySize = 8;

std::uint32_t readLittle(std::span<const std::uint8_t> bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return value;
}

void appendLittle(std::vector<std::uint8_t>& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

bool named(std::uint16_t tag) {
    return tag == kNamedUser || tag == kNamedGroup;
}

Entry* find(List& list, std::uint16_t tag) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [tag](const Entry& e) { return e.tag == tag; });
    return it == list.end() ? nullptr : &*it;
}

const Entry* find(const List& list, std::uint16_t tag) {
    return find(const_cast<List&>(list), tag);
}

std::uint16_t permissionsOf(const List& list, std::uint16_t tag) {
    const Entry* entry = find(list, tag);
    return entry == nullptr ? 0 : entry->permissions;
}

}  // namespace

std::optional<List> parse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize || (bytes.size() - kHeaderSize) % kEntrySize != 0 ||
        readLittle(bytes, 0, 4) != kVersion) {
        return std::nullopt;
    }
    List list;
    for (std::size_t at = kHeaderSize; at < bytes.size(); at += kEntrySize) {
        Entry entry{static_cast<std::uint16_t>(readLittle(bytes, at, 2)),
                    static_cast<std::uint16_t>(readLittle(bytes, at + 2, 2)), 0};
        if (named(entry.tag)) {
            entry.id = readLittle(bytes, at + 4, 4);
        }
        list.push_back(entry);
    }
    return list;
}

std::vector<std::uint8_t> serialize(const List& list) {
    std::vector<std::uint8_t> bytes;
    appendLittle(bytes, kVersion, 4);
    for (const Entry& entry : list) {
        appendLittle(bytes, entry.tag, 2);
        appendLittle(bytes, entry.permissions, 2);
        // Entries without a name carry the id -1, as the kernel writes them.
        appendLittle(bytes, named(entry.tag) ? entry.id : 0xFFFFFFFFu, 4);
    }
    return bytes;
}

List fromMode(unsigned mode) {
    return {{kOwner, static_cast<std::uint16_t>((mode >> 6) & 7), 0},
            {kOwningGroup, static_cast<std::uint16_t>((mode >> 3) & 7), 0},
            {kOther, static_cast<std::uint16_t>(mode & 7), 0}};
}

unsigned modeOf(const List& list) {
    const std::uint16_t group =
        find(list, kMask) != nullptr ? permissionsOf(list, kMask) : permissionsOf(list, kOwningGroup);
    return (unsigned{permissionsOf(list, kOwner)} << 6) | (unsigned{group} << 3) |
           permissionsOf(list, kOther);
}

bool isMinimal(const List& list) {
    return std::all_of(list.begin(), list.end(), [](const Entry& e) {
        return e.tag == kOwner || e.tag == kOwningGroup || e.tag == kOther;
    });
}

List inherited(List defaults, unsigned mode) {
    Entry* groupClass = find(defaults, kMask);
    if (groupClass == nullptr) {
        groupClass = find(defaults, kOwningGroup);
    }
    for (Entry& entry : defaults) {
        if (entry.tag == kOwner) {
            entry.permissions &= static_cast<std::uint16_t>((mode >> 6) & 7);
        } else if (entry.tag == kOther) {
            entry.permissions &= static_cast<std::uint16_t>(mode & 7);
        } else if (&entry == groupClass) {
            entry.permissions &= static_cast<std::uint16_t>((mode >> 3) & 7);
        }
    }
    return defaults;
}

List withoutLostOwners(List list, bool ownerKept, bool groupKept) {
    std::uint16_t otherLimit = 7;
    if (!ownerKept) {
        otherLimit &= permissionsOf(list, kOwner);
    }
    if (!groupKept) {
        std::uint16_t group = permissionsOf(list, kOwningGroup);
        if (find(list, kMask) != nullptr) {
            group &= permissionsOf(list, kMask);
        }
        otherLimit &= group;
        if (Entry* owningGroup = find(list, kOwningGroup)) {
            owningGroup->permissions = 0;
        }
    }
    if (Entry* other = find(list, kOther)) {
        other->permissions &= otherLimit;
    }
    return list;
}

}  // namespace tagwright::files::acl
