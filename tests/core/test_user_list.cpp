#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/Collation.h"
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

// The plain definition of the list, walk by walk, against which the list is
// checked on out-of-order contents.
namespace {
class ReferenceList {
 public:
  void InsertSorted(const TUserList* r) {
    auto it = order_.begin();
    while (it != order_.end() && CompareUserNames(r->UserName, (*it)->UserName) >= 0) ++it;
    order_.insert(it, r);
  }
  void AppendUser(const TUserList* r) { order_.push_back(r); }
  void Unlink(const TUserList* r) { order_.erase(std::find(order_.begin(), order_.end(), r)); }
  const TUserList* FindUser(const std::string& name, const TUserList* skip) const {
    for (const TUserList* r : order_)
      if (r != skip && CompareUserNames(name, r->UserName) == 0) return r;
    return nullptr;
  }
  bool InNameOrder() const {
    for (std::size_t i = 1; i < order_.size(); ++i)
      if (CompareUserNames(order_[i - 1]->UserName, order_[i]->UserName) > 0) return false;
    return true;
  }
  const std::vector<const TUserList*>& Order() const { return order_; }

 private:
  std::vector<const TUserList*> order_;
};

std::vector<const TUserList*> Records(const UserList& list) {
  std::vector<const TUserList*> out;
  for (const TUserList& u : list) out.push_back(&u);
  return out;
}

// Random mixes of every operation on few, often equal, names, each step
// compared with the plain walks: order, the identity of every record (callers
// hold pointers), duplicate lookups with and without a record skipped.
TEST(UserList, RandomOperationsAgreeWithThePlainWalks) {
  const std::vector<std::string> pool = {"",  " ", "a",  "A",   "aa",  "ab", "aB",       "Ab",
                                         "b", "B", "ba", "bob", "Bob", "e",  "\xc3\xa9", "zed"};
  for (unsigned seed = 1; seed <= 120; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    UserList list;
    ReferenceList reference;
    for (int step = 0; step < 150; ++step) {
      const std::string& name = pool[pick(pool.size())];
      const std::vector<const TUserList*>& order = reference.Order();
      auto* some = order.empty() ? nullptr : const_cast<TUserList*>(order[pick(order.size())]);
      switch (pick(10)) {
        case 0:
        case 1:
        case 2:
        case 3: reference.InsertSorted(&list.InsertSorted(User(name))); break;
        case 4:
        case 5: reference.AppendUser(&list.AppendUser(User(name))); break;
        case 6:
        case 7:
          if (some) list.RenameUser(*some, name);
          break;
        case 8:
          if (some) {
            reference.Unlink(some);
            list.UnlinkUser(some);
          }
          break;
        default:
          if (pick(8) == 0) {
            list.ClearUsers();
            reference = ReferenceList();
          }
          break;
      }
      ASSERT_EQ(Records(list), reference.Order()) << "step " << step;
      ASSERT_EQ(list.InNameOrder(), reference.InNameOrder()) << "step " << step;
      const TUserList* skip = reference.Order().empty() ? nullptr : reference.Order()[pick(reference.Order().size())];
      for (const std::string& probe : {name, pool[pick(pool.size())]}) {
        ASSERT_EQ(list.FindUser(probe), reference.FindUser(probe, nullptr)) << "step " << step;
        ASSERT_EQ(list.FindUser(probe, skip), reference.FindUser(probe, skip)) << "step " << step;
      }
    }
    ExpectLinksConsistent(list);
  }
}
}  // namespace
