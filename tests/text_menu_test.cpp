#include "console/text_menu.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tagwright {
namespace {

struct Run {
    std::int32_t choice;
    std::string shown;
};

Run runOnce(TextMenu& menu, std::istream& in) {
    std::ostringstream out;
    const auto choice = menu.run(in, out);
    return {choice, out.str()};
}

TEST(TextMenu, FrameFollowsTheTitle) {
    TextMenu menu(2);
    menu.setTitle("Other Utils Menu");  // 16 characters
    menu.setItem("First", 1);
    menu.setClosingItem("Back.");
    std::istringstream in("1\n");
    EXPECT_EQ(runOnce(menu, in).shown,
              "##################\n#Other Utils Menu#\n------------------\n"
              "# 1 - First\n# 2 - \n# 3 - Back.\n------------------\nEnter Selection:\n");

    TextMenu untitled(0);
    untitled.setTitle("");
    std::istringstream in2("1\n");
    EXPECT_EQ(runOnce(untitled, in2).shown, "##\n##\n--\n# 1 - Quit.\n--\nEnter Selection:\n");
}

TEST(TextMenu, DefaultsAndNumbersPastNine) {
    TextMenu menu(10);
    menu.setItem("nine", 9);
    menu.setItem("ten", 10);
    menu.setItem("ignored", 12);
    std::istringstream in("5");
    const auto shown = runOnce(menu, in).shown;
    EXPECT_EQ(shown.substr(0, 14), "######\n#Menu#\n");
    EXPECT_NE(shown.find("\n# 9 - nine\n# 10 - ten\n# 11 - Quit.\n------\n"), std::string::npos);
}

TEST(TextMenu, SelectionRule) {
    TextMenu menu(6);
    // Tokens are shared: what one run leaves is taken by the next without waiting.
    std::istringstream in("0\n-3\n+2\n007\n99\n3abc\n4 5\n99999999999\n6\n");
    const std::int32_t expected[] = {0, -3, 2, 7, 99, 3, 0, 4, 5, 0, 6};
    for (const std::int32_t value : expected) {
        EXPECT_EQ(runOnce(menu, in).choice, value);
        EXPECT_EQ(menu.lastChoice, value);
        EXPECT_FALSE(menu.sessionEnded());
    }
    EXPECT_EQ(runOnce(menu, in).choice, 0);
    EXPECT_TRUE(menu.sessionEnded());
}

TEST(TextMenu, AWordCountsAsZeroAndIsDiscardedWithItsLine) {
    TextMenu menu(6);
    std::istringstream in("2\nhello there 5\n  \n\n1\n");
    EXPECT_EQ(runOnce(menu, in).choice, 2);
    EXPECT_EQ(runOnce(menu, in).choice, 0);
    EXPECT_EQ(menu.lastChoice, 0);
    EXPECT_EQ(runOnce(menu, in).choice, 1);  // empty lines are skipped
}

TEST(TextMenu, AnOutputThatCannotBeWrittenEndsTheSession) {
    TextMenu menu(6);
    std::istringstream in("1\n1\n1\n");
    std::ostringstream out;
    out.setstate(std::ios::badbit);  // like standard output closed or a broken pipe
    EXPECT_EQ(menu.run(in, out), 1);
    EXPECT_TRUE(menu.sessionEnded());
}

}  // namespace
}  // namespace tagwright
