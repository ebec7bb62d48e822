#include <gtest/gtest.h>

#include <vector>

#include "core/UserList.h"

using namespace pellora;

namespace {
TUserList User(std::string name, bool disabled = false) {
  TUserList u;
  u.UserName = std::move(name);
  u.Disabled = disabled;
  return u;
}

std::vector<std::string> Names(const UserList& list) {
  std::vector<std::string> out;
  for (const TUserList& u : list) out.push_back(u.UserName);
  return out;
}

// Walks the links both ways, so a broken Prev or Next shows.
void ExpectLinksConsistent(const UserList& list) {
  const TUserList* prev = nullptr;
  std::size_t n = 0;
  for (const TUserList* r = list.First(); r; r = r->Next, ++n) {
    EXPECT_EQ(r->Prev, prev);
    prev = r;
  }
  EXPECT_EQ(list.Last(), prev);
  EXPECT_EQ(list.CountUsers(), n);
}
}  // namespace

TEST(UserList, InsertSortedKeepsCollationOrder) {
  UserList list;
  TUserList& only = list.InsertSorted(User("bob"));
  EXPECT_EQ(only.Prev, nullptr);
  EXPECT_EQ(only.Next, nullptr);
  for (const char* n : {"Bob", "alice", "zed", "Alice", "aaron"}) list.InsertSorted(User(n));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"aaron", "alice", "Alice", "bob", "Bob", "zed"}));
  EXPECT_TRUE(list.InNameOrder());
  ExpectLinksConsistent(list);
}

TEST(UserList, EqualNamesGoAfterTheirEquals) {
  UserList list;
  TUserList& first = list.InsertSorted(User("bob"));
  first.Password = "1";
  list.InsertSorted(User("carl"));
  list.InsertSorted(User("bob")).Password = "2";
  std::vector<std::string> passwords;
  for (const TUserList& u : list) passwords.push_back(u.Password);
  EXPECT_EQ(passwords, (std::vector<std::string>{"1", "2", ""}));
  EXPECT_EQ(list.FindUser("bob"), &first);
  EXPECT_EQ(list.FindUser("bob", &first)->Password, "2");
}

TEST(UserList, OutOfOrderListStillInsertsAtFirstGreaterRecord) {
  UserList list;
  list.InsertSorted(User("bob"));
  TUserList& zed = list.InsertSorted(User("zed"));
  list.RenameUser(zed, "aaron");  // an edit keeps the record in place
  EXPECT_EQ(Names(list), (std::vector<std::string>{"bob", "aaron"}));
  EXPECT_FALSE(list.InNameOrder());
  list.InsertSorted(User("carl"));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"bob", "aaron", "carl"}));
  list.InsertSorted(User("alice"));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "bob", "aaron", "carl"}));
  ExpectLinksConsistent(list);
}

TEST(UserList, FileOrderLoadsAndLaterInsertions) {
  UserList list;
  for (const char* n : {"zed", "mike", "bob", "bob"}) list.AppendUser(User(n));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zed", "mike", "bob", "bob"}));
  list.InsertSorted(User("nick"));  // first record collating after nick is zed
  EXPECT_EQ(Names(list).front(), "nick");
  list.InsertSorted(User("zz"));  // nothing collates after: appended
  EXPECT_EQ(Names(list).back(), "zz");
  // Removing the records out of place brings the index back into play.
  list.UnlinkUser(list.First());  // nick
  list.UnlinkUser(list.First());  // zed
  list.UnlinkUser(list.First());  // mike
  EXPECT_TRUE(list.InNameOrder());
  list.InsertSorted(User("alice"));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"alice", "bob", "bob", "zz"}));
  ExpectLinksConsistent(list);
}

TEST(UserList, FindUserSkipsAndFindsFirstInListOrder) {
  UserList list;
  TUserList& a1 = list.AppendUser(User("x"));
  TUserList& b = list.AppendUser(User("bob"));
  TUserList& a2 = list.AppendUser(User("x"));
  EXPECT_EQ(list.FindUser("x"), &a1);
  EXPECT_EQ(list.FindUser("x", &a1), &a2);
  EXPECT_EQ(list.FindUser("bob", &b), nullptr);
  EXPECT_EQ(list.FindUser("Bob"), nullptr);  // case makes a different user
  EXPECT_EQ(list.FindUser("nobody"), nullptr);
  list.RenameUser(b, "Bob");
  EXPECT_EQ(list.FindUser("Bob"), &b);
  EXPECT_EQ(list.FindUser("bob"), nullptr);
}

TEST(UserList, UnlinkAtEveryPosition) {
  UserList list;
  for (const char* n : {"a", "b", "c", "d"}) list.InsertSorted(User(n));
  list.UnlinkUser(list.First()->Next);  // middle
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "c", "d"}));
  ExpectLinksConsistent(list);
  list.UnlinkUser(list.First());
  EXPECT_EQ(list.First()->Prev, nullptr);
  list.UnlinkUser(list.Last());
  EXPECT_EQ(Names(list), (std::vector<std::string>{"c"}));
  EXPECT_EQ(list.First()->Next, nullptr);
  list.UnlinkUser(list.First());  // only
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_EQ(list.CountUsers(), 0u);
}

TEST(UserList, CountsAndClear) {
  UserList list;
  list.InsertSorted(User("a"));
  list.InsertSorted(User("b", true));
  list.InsertSorted(User("c"));
  EXPECT_EQ(list.CountUsers(), 3u);
  EXPECT_EQ(list.CountEnabledUsers(), 2u);
  list.ClearUsers();
  EXPECT_EQ(list.CountUsers(), 0u);
  EXPECT_EQ(list.First(), nullptr);
  list.InsertSorted(User("again"));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"again"}));
}

TEST(UserList, AnyBytesAreAName) {
  UserList list;
  const std::string odd[] = {"", std::string("\0x", 2), "\xff\xfe", "a:b", "#x", std::string(10000, 'q'), "\xc3\xa9"};
  for (const std::string& n : odd) list.InsertSorted(User(n));
  EXPECT_EQ(list.CountUsers(), std::size(odd));
  for (const std::string& n : odd) EXPECT_NE(list.FindUser(n), nullptr) << n.size();
  ExpectLinksConsistent(list);
}
