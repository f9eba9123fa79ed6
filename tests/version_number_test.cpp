#include "app/version_number.hpp"

#include <gtest/gtest.h>

namespace tagwright {
namespace {

TEST(VersionNumber, ReadsLikeAnUnsignedCNumber) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"255", 255},
        {"0x1F", 31},
        {"0X1f", 31},
        {"010", 8},
        {"09", 0},
        {"256", 256},
        {"abc", 0},
        {"-1", 4294967295u},
        {"+7", 7},
        {"  42", 42},
        {"12abc", 12},
        {"0", 0},
        {"0x", 0},
        {"0xg", 0},
        {"-0x10", 4294967280u},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"99999999999999999999999", 4294967295u},
        {"-99999999999", 4294967295u},
        {"", 0},
        {"-", 0},
        {" + 5", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parseVersionNumber(text), value) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace tagwright
