#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "core/Random.h"

using namespace pellora;

namespace {
// Every character that many draws of (class, case) produce.
std::set<char> Drawn(int charClass, int letterCase, int draws = 4000) {
  std::set<char> seen;
  for (int i = 0; i < draws; ++i)
    for (char c : RandomString(4, charClass, letterCase)) seen.insert(c);
  return seen;
}
std::set<char> Span(std::initializer_list<std::pair<char, char>> ranges) {
  std::set<char> s;
  for (auto [lo, hi] : ranges)
    for (char c = lo; c <= hi; ++c) s.insert(c);
  return s;
}
}  // namespace

TEST(RandomString, EachClassAndCaseReachesExactlyItsRangeBothEndsIncluded) {
  const auto digits = Span({{'0', '9'}});
  EXPECT_EQ(Drawn(ClassRandom, CaseRandom), Span({{'0', '9'}, {'A', 'Z'}, {'a', 'z'}}));
  EXPECT_EQ(Drawn(ClassRandom, CaseUpper), Span({{'0', '9'}, {'A', 'Z'}}));
  EXPECT_EQ(Drawn(ClassRandom, CaseLower), Span({{'0', '9'}, {'a', 'z'}}));
  EXPECT_EQ(Drawn(ClassNumeral, CaseRandom), digits);
  EXPECT_EQ(Drawn(ClassNumeral, CaseUpper), digits);
  EXPECT_EQ(Drawn(ClassNumeral, CaseLower), digits);
  EXPECT_EQ(Drawn(ClassLetter, CaseRandom), Span({{'A', 'Z'}, {'a', 'z'}}));
  EXPECT_EQ(Drawn(ClassLetter, CaseUpper), Span({{'A', 'Z'}}));
  EXPECT_EQ(Drawn(ClassLetter, CaseLower), Span({{'a', 'z'}}));
  EXPECT_EQ(Drawn(7, 9), Drawn(ClassRandom, CaseRandom));  // unknown values: the widest range
}

TEST(RandomString, LengthZeroOrLessGivesFiveToSeven) {
  std::set<std::size_t> lengths;
  for (int len : {0, -1, -1000})
    for (int i = 0; i < 300; ++i) lengths.insert(RandomString(len, 0, 0).size());
  EXPECT_EQ(lengths, (std::set<std::size_t>{5, 6, 7}));
  EXPECT_EQ(RandomString(2, 0, 0).size(), 2u);
  EXPECT_EQ(RandomString(255, 0, 0).size(), 255u);
}

// Every position of a range is equally likely, so with case Lower each of the
// 36 characters comes 1/36 of the time (digits 10/36 in all, not a coin toss
// between letter and digit). Tolerances lie over 8 standard deviations out,
// so the test cannot flake, yet catch any bias of one part in 20.
TEST(RandomString, DrawsAreUniformOverTheTablePositions) {
  constexpr int kDraws = 360000;
  std::map<char, int> counts;
  std::string s = RandomString(kDraws, ClassRandom, CaseLower);
  for (char c : s) ++counts[c];
  ASSERT_EQ(counts.size(), 36u);
  for (auto [c, n] : counts) EXPECT_NEAR(n, kDraws / 36.0, kDraws / 36.0 * 0.05) << c;
  SeedRandom();
  std::map<char, int> wide;
  for (char c : RandomString(kDraws, ClassRandom, CaseRandom)) ++wide[c];
  ASSERT_EQ(wide.size(), 62u);
  for (auto [c, n] : wide) EXPECT_NEAR(n, kDraws / 62.0, kDraws / 62.0 * 0.07) << c;
}
