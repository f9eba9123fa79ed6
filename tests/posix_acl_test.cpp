// The ACL rules against the kernel's own statement of them (acl(5), and what
// open(O_CREAT) does with a folder's default list), written out here case by case.
#include <gtest/gtest.h>

#include "image/posix_acl.hpp"

namespace tagwright::files::acl {
namespace {

// owner rw-, named user 1000 r--, owning group r-x, mask r--, other ---
const std::vector<std::uint8_t> kBytes = {2, 0, 0, 0,    1, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                          2, 0, 4, 0,    0xE8, 3, 0, 0,
                                          4, 0, 5, 0,    0xFF, 0xFF, 0xFF, 0xFF,
                                          0x10, 0, 4, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0x20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
const List kList = {{kOwner, 6, 0}, {kNamedUser, 4, 1000}, {kOwningGroup, 5, 0},
                    {kMask, 4, 0}, {kOther, 0, 0}};

TEST(PosixAcl, ReadsAndWritesTheKernelsForm) {
    EXPECT_EQ(parse(kBytes), kList);
    EXPECT_EQ(serialize(kList), kBytes);
    EXPECT_EQ(modeOf(kList), 0640u);  // the group bits are the mask
    EXPECT_FALSE(isMinimal(kList));
    EXPECT_EQ(fromMode(0754), (List{{kOwner, 7, 0}, {kOwningGroup, 5, 0}, {kOther, 4, 0}}));
    EXPECT_TRUE(isMinimal(fromMode(0754)));

    auto versionOne = kBytes;
    versionOne[0] = 1;
    EXPECT_EQ(parse(versionOne), std::nullopt);
    EXPECT_EQ(parse(std::span(kBytes).first(kBytes.size() - 1)), std::nullopt);
    EXPECT_EQ(parse(std::span(kBytes).first(3)), std::nullopt);
}

TEST(PosixAcl, NewFilesTakeTheDefaultListNarrowedByTheirMode) {
    struct Case {
        List defaults;
        unsigned mode;
        List expected;
    };
    const std::vector<Case> cases = {
        // With a mask, the mask (not the owning group) is narrowed; named entries stay.
        {{{kOwner, 7, 0}, {kNamedUser, 7, 5}, {kOwningGroup, 5, 0}, {kMask, 7, 0}, {kOther, 5, 0}},
         0666,
         {{kOwner, 6, 0}, {kNamedUser, 7, 5}, {kOwningGroup, 5, 0}, {kMask, 6, 0}, {kOther, 4, 0}}},
        // Without one, the owning group is.
        {{{kOwner, 7, 0}, {kOwningGroup, 7, 0}, {kOther, 7, 0}}, 0640,
         {{kOwner, 6, 0}, {kOwningGroup, 4, 0}, {kOther, 0, 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inherited(c.defaults, c.mode), c.expected);
    }
}

TEST(PosixAcl, LostOwnersNeverWidenAccess) {
    struct Case {
        unsigned mode;
        bool ownerKept, groupKept;
        unsigned expected;
    };
    const std::vector<Case> cases = {
        {0644, true, true, 0644},
        {0644, true, false, 0604},   // the old group becomes others: they keep read
        {0604, true, false, 0600},   // a group denied what others may: now others may not
        {0606, true, false, 0600},
        {0046, false, true, 0040},   // an owner denied: others no more than the owner had
        {0624, false, false, 0600},  // others keep only what both old owner and group had
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(modeOf(withoutLostOwners(fromMode(c.mode), c.ownerKept, c.groupKept)), c.expected);
    }
    // With a list, what the old group could do is its entry as the mask let it.
    const List narrowed = withoutLostOwners(
        {{kOwner, 6, 0}, {kNamedUser, 4, 7}, {kOwningGroup, 6, 0}, {kMask, 4, 0}, {kOther, 6, 0}},
        true, false);
    EXPECT_EQ(narrowed, (List{{kOwner, 6, 0}, {kNamedUser, 4, 7}, {kOwningGroup, 0, 0},
                              {kMask, 4, 0}, {kOther, 4, 0}}));
}

}  // namespace
}  // namespace tagwright::files::acl
