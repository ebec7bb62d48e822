#pragma once
#include <cstddef>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace pellora {

struct TUserList;

namespace detail {
struct BySortKey {
  using is_transparent = void;
  bool operator()(const TUserList* a, const TUserList* b) const;
  bool operator()(const TUserList* a, std::string_view key) const;
  bool operator()(std::string_view key, const TUserList* b) const;
};
}  // namespace detail

// One web user. Text is UTF-8, stored as the user dialog trims it.
// Once a record is in a list, change its name only with UserList::RenameUser.
struct TUserList {
  std::string UserName;
  std::string Password;
  bool Disabled = false;
  std::string Email;
  std::string FullName;
  std::string Notes;
  TUserList* Prev = nullptr;
  TUserList* Next = nullptr;

 private:
  friend class UserList;
  friend struct detail::BySortKey;
  std::string sortKey_;  // collation key of UserName, kept by the owning list
};

// The project's users as one doubly linked list that owns its records.
// The list keeps name order as long as users come in through InsertSorted;
// renames in place and loads in file order may leave it out of order, and
// every operation keeps its exact meaning then too. While the list is in
// order, an index of collation keys spares the walks.
class UserList {
 public:
  UserList() = default;
  UserList(const UserList&) = delete;
  UserList& operator=(const UserList&) = delete;
  ~UserList() { ClearUsers(); }

  TUserList* First() const { return first_; }
  TUserList* Last() const { return last_; }

  // Links a copy of user in front of the first record whose name collates
  // after it (after the last record when there is none). No duplicate test.
  TUserList& InsertSorted(TUserList user);
  // Links a copy of user after the last record, whatever its name.
  TUserList& AppendUser(TUserList user);
  // The first record in list order, other than skip, whose name collates
  // equal to name; nullptr when there is none.
  TUserList* FindUser(std::string_view name, const TUserList* skip = nullptr) const;
  // Unlinks and frees a record of this list.
  void UnlinkUser(TUserList* user);
  void ClearUsers();
  void RenameUser(TUserList& user, std::string name);

  std::size_t CountUsers() const { return count_; }
  std::size_t CountEnabledUsers() const;
  bool InNameOrder() const { return inversions_ == 0; }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TUserList;
    using difference_type = std::ptrdiff_t;
    using pointer = TUserList*;
    using reference = TUserList&;
    Iterator() = default;
    explicit Iterator(TUserList* node) : node_(node) {}
    TUserList& operator*() const { return *node_; }
    TUserList* operator->() const { return node_; }
    Iterator& operator++() { node_ = node_->Next; return *this; }
    Iterator operator++(int) { Iterator old = *this; node_ = node_->Next; return old; }
    bool operator==(const Iterator&) const = default;
   private:
    TUserList* node_ = nullptr;
  };
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(); }

 private:
  TUserList& Link(TUserList user, std::string key, TUserList* before);
  void Unlink(TUserList* user);
  void EraseFromIndex(TUserList* user);
  TUserList* FirstOfEqualRun(TUserList* user) const;
  int InversionsAround(const TUserList* user) const;

  TUserList* first_ = nullptr;
  TUserList* last_ = nullptr;
  std::size_t count_ = 0;
  std::size_t inversions_ = 0;  // neighbour pairs whose names are out of order
  std::multiset<TUserList*, detail::BySortKey> index_;
};

}  // namespace pellora
