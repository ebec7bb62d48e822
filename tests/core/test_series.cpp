#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/Collation.h"
#include "core/Series.h"
#include "core/UserList.h"

using namespace pellora;

namespace {

std::vector<std::string> Names(const UserList& users) {
  std::vector<std::string> out;
  for (const TUserList& u : users) out.push_back(u.UserName);
  return out;
}

bool AllOf(const std::string& s, const char* allowed) {
  return !s.empty() && s.find_first_not_of(allowed) == std::string::npos;
}

const char* kAlnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

TEST(Series, DefaultsMakeThreeEnabledUsersInNameOrder) {
  UserList users;
  EXPECT_EQ(CreateSeries(users, SeriesSettings{}), 3u);
  ASSERT_EQ(users.CountUsers(), 3u);
  EXPECT_EQ(users.CountEnabledUsers(), 3u);
  for (const TUserList& u : users) {
    EXPECT_EQ(u.UserName.size(), 6u);
    EXPECT_EQ(u.Password.size(), 6u);
    EXPECT_TRUE(AllOf(u.UserName, kAlnum)) << u.UserName;
    EXPECT_TRUE(AllOf(u.Password, kAlnum)) << u.Password;
    EXPECT_TRUE(u.Email.empty() && u.FullName.empty() && u.Notes.empty());
  }
  const auto names = Names(users);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                             [](const std::string& a, const std::string& b) { return CompareUserNames(a, b) < 0; }));
}

TEST(Series, JoinsAnExistingListInNameOrderWithoutDuplicates) {
  UserList users;
  for (const char* n : {"m", "5", "Q"}) {
    TUserList u;
    u.UserName = n;
    users.InsertSorted(u);
  }
  SeriesSettings s;
  s.Count = 40;
  s.UserLength = 1;  // 62 names, three of them taken
  EXPECT_EQ(CreateSeries(users, s), 40u);
  const auto names = Names(users);
  ASSERT_EQ(names.size(), 43u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 43u);
  EXPECT_TRUE(users.InNameOrder());
}

TEST(Series, NumeralIgnoresTheLetterCase) {
  UserList users;
  SeriesSettings s;
  s.Count = 20;
  s.UserChars = 1;
  s.UserCase = 1;
  s.PasswordChars = 1;
  s.PasswordCase = 2;
  s.PasswordLength = 9;
  EXPECT_EQ(CreateSeries(users, s), 20u);
  for (const TUserList& u : users) {
    EXPECT_TRUE(AllOf(u.UserName, "0123456789")) << u.UserName;
    EXPECT_TRUE(AllOf(u.Password, "0123456789")) << u.Password;
    EXPECT_EQ(u.Password.size(), 9u);
  }
}

TEST(Series, NamesDifferingOnlyInCaseAreDistinctUsers) {
  // Length 1 of letters has exactly 52 names; all of them must come out,
  // which needs "a" and "A" to count as two users.
  UserList users;
  SeriesSettings s;
  s.Count = 52;
  s.UserLength = 1;
  s.UserChars = 2;
  EXPECT_EQ(CreateSeries(users, s), 52u);
  EXPECT_TRUE(users.FindUser("a") && users.FindUser("A") && users.FindUser("z") && users.FindUser("Z"));
}

TEST(Series, AskingForMoreNamesThanExistEndsWithTheUsersMade) {
  UserList users;
  SeriesSettings s;
  s.Count = 11;
  s.UserLength = 1;
  s.UserChars = 1;
  EXPECT_EQ(CreateSeries(users, s), 10u);
  auto names = Names(users);
  EXPECT_EQ(names, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));

  // A full name space: a second series adds nothing and still returns.
  s.Count = 4096;
  EXPECT_EQ(CreateSeries(users, s), 0u);
  EXPECT_EQ(users.CountUsers(), 10u);
}

TEST(Series, ExistingUsersLeaveOnlyTheFreeNames) {
  UserList users;
  for (char c = '0'; c <= '8'; ++c) {
    TUserList u;
    u.UserName = std::string(1, c);
    users.AppendUser(u);
  }
  SeriesSettings s;
  s.Count = 5;
  s.UserLength = 1;
  s.UserChars = 1;
  EXPECT_EQ(CreateSeries(users, s), 1u);
  EXPECT_EQ(users.Last()->UserName, "9");
}
