#include <gtest/gtest.h>

#include <clocale>

#include "core/Collation.h"
#include "core/Text.h"

using namespace pellora;

TEST(Collation, LowerCaseBeforeUpperAndAlphabetFirst) {
  EXPECT_LT(CompareUserNames("alice", "Alice"), 0);
  EXPECT_LT(CompareUserNames("Alice", "bob"), 0);
  EXPECT_LT(CompareUserNames("bob", "Bob"), 0);
  EXPECT_GT(CompareUserNames("Bob", "alice"), 0);
  EXPECT_EQ(CompareUserNames("bob", "bob"), 0);
  EXPECT_NE(CompareUserNames("bob", "Bob"), 0);
}

TEST(Collation, AccentsSortBesideTheirLetter) {
  EXPECT_LT(CompareUserNames("e", "\xc3\xa9"), 0);  // e < é
  EXPECT_LT(CompareUserNames("\xc3\xa9", "f"), 0);  // é < f
  EXPECT_NE(CompareUserNames("e", "\xc3\xa9"), 0);
}

TEST(Collation, SortKeysAgreeWithCompare) {
  const char* names[] = {"alice", "Alice", "bob", "Bob", "b", "\xc3\xa9", "e", "10", "9", "", "a b"};
  for (const char* a : names)
    for (const char* b : names) {
      int c = CompareUserNames(a, b);
      int k = UserNameSortKey(a).compare(UserNameSortKey(b));
      EXPECT_EQ(c < 0, k < 0) << a << " / " << b;
      EXPECT_EQ(c == 0, k == 0) << a << " / " << b;
    }
}

TEST(Collation, CaseInsensitiveEquality) {
  EXPECT_TRUE(EqualIgnoringCase("false", "FALSE"));
  EXPECT_TRUE(EqualIgnoringCase("False", "false"));
  EXPECT_FALSE(EqualIgnoringCase("false", "0"));
  EXPECT_FALSE(EqualIgnoringCase("false", "no"));
}

TEST(Trim, RemovesControlAndBlankBytesOnlyAtTheEnds) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim(std::string("\0\x01x\x1f ", 5)), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");  // bytes of 128 and above stay
  EXPECT_EQ(Trim("!x!"), "!x!");              // 33 is not trimmed
}
