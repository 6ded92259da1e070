// Trimming, case conversion and splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/util.h"

namespace {

using Pieces = std::vector<std::string>;

TEST(TrimTest, RemovesOnlySpaceTabLineFeedAndReturn) {
    EXPECT_EQ(util::trim("  a b \t"), "a b");
    EXPECT_EQ(util::trim("\r\n x\n"), "x");
    EXPECT_EQ(util::trim("\va\f"), "\va\f");
    EXPECT_EQ(util::trim_left(" \tx "), "x ");
    EXPECT_EQ(util::trim_right(" x\r\n"), " x");
}

TEST(TrimTest, BlanksOnlyOrEmptyGiveTheEmptyText) {
    EXPECT_EQ(util::trim(" \t\r\n"), "");
    EXPECT_EQ(util::trim(""), "");
    EXPECT_EQ(util::trim_right("   "), "");
    EXPECT_EQ(util::trim_left(""), "");
    EXPECT_EQ(util::trim_left(" \n"), "");
    EXPECT_EQ(util::trim_right(""), "");
}

TEST(CaseTest, ConvertsAsciiAndLeavesOtherBytes) {
    EXPECT_EQ(util::to_upper("abC1-z"), "ABC1-Z");
    EXPECT_EQ(util::to_lower("ABc1-Z"), "abc1-z");
    EXPECT_EQ(util::to_upper(std::string("\xE9\xFF", 2)), std::string("\xE9\xFF", 2));
}

TEST(CaseTest, CapitalizeChangesOnlyALowerCaseFirstLetter) {
    std::string apple = "apple", zebra = "zebra", upper = "Apple", digit = "1st", empty,
                brace = "{x";
    util::capitalize(apple);
    util::capitalize(zebra);
    util::capitalize(upper);
    util::capitalize(digit);
    util::capitalize(empty);
    util::capitalize(brace);
    EXPECT_EQ(apple, "Apple");
    EXPECT_EQ(zebra, "Zebra");
    EXPECT_EQ(upper, "Apple");
    EXPECT_EQ(digit, "1st");
    EXPECT_EQ(empty, "");
    EXPECT_EQ(brace, "{x");
}

TEST(ExplodeTest, KeepsEmptyPiecesAtTheEndsAndBetweenSeparators) {
    EXPECT_EQ(util::explode(',', "a,,b,"), (Pieces{"a", "", "b", ""}));
    EXPECT_EQ(util::explode(',', ",a"), (Pieces{"", "a"}));
    EXPECT_EQ(util::explode(',', ","), (Pieces{"", ""}));
}

TEST(ExplodeTest, WithoutSeparatorGivesTheWholeText) {
    EXPECT_EQ(util::explode(',', "abc"), (Pieces{"abc"}));
    EXPECT_EQ(util::explode(',', ""), (Pieces{""}));
    EXPECT_EQ(util::explode(std::string("--"), ""), (Pieces{""}));
}

TEST(ExplodeTest, TextSeparatorsDoNotOverlap) {
    EXPECT_EQ(util::explode(std::string("::"), "a::b:::c"), (Pieces{"a", "b", ":c"}));
    EXPECT_EQ(util::explode(std::string("aa"), "aaa"), (Pieces{"", "a"}));
    EXPECT_EQ(util::explode(std::string(","), "a,,b,"), (Pieces{"a", "", "b", ""}));
}

TEST(ExplodeTest, EmptySeparatorGivesNoPieces) {
    EXPECT_TRUE(util::explode(std::string(), "abc").empty());
}

}  // namespace
