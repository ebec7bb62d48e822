#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace pellora {

namespace detail {
struct UserNode;  // a record with its collation key and its place in the position tree
struct ByNameThenPosition {
  using is_transparent = void;
  bool operator()(const UserNode* a, const UserNode* b) const;
  bool operator()(const UserNode* a, std::string_view key) const;
  bool operator()(std::string_view key, const UserNode* b) const;
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
  // A hash adopted from an existing .htpasswd, kept until a password is set
  // and written as it stands for a user without a password; or, with a
  // digest, the hash a generation made from Password, written again while
  // the digest still matches the password and the project's format.
  std::string Hash;
  std::string HashDigest;
  TUserList* Prev = nullptr;
  TUserList* Next = nullptr;
};

// A user known only by a kept hash: the password that made it is unknown.
inline bool HashOnly(const TUserList& user) {
  return user.Password.empty() && user.HashDigest.empty() && !user.Hash.empty();
}

// The project's users as one doubly linked list that owns its records; a
// record stays at its address until it is unlinked. The list keeps name
// order as long as users come in through InsertSorted; renames in place and
// loads in file order may leave it out of order, and every operation keeps
// its exact meaning then too, at logarithmic cost: a balanced tree over the
// list positions finds the first record that collates after a name, and an
// index by name and position finds the first record of a name.
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
  // Whether every record collates at or after the one before it (one walk).
  bool InNameOrder() const;

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
    Iterator& operator++() {
      node_ = node_->Next;
      return *this;
    }
    Iterator operator++(int) {
      Iterator old = *this;
      node_ = node_->Next;
      return old;
    }
    bool operator==(const Iterator&) const = default;

   private:
    TUserList* node_ = nullptr;
  };
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(); }

 private:
  TUserList& Link(TUserList user, std::string key, detail::UserNode* before);
  void Unlink(detail::UserNode* node);

  TUserList* first_ = nullptr;
  TUserList* last_ = nullptr;
  std::size_t count_ = 0;
  detail::UserNode* root_ = nullptr;
  std::uint64_t draws_ = 0;  // counts the tree's balancing priorities drawn
  std::set<detail::UserNode*, detail::ByNameThenPosition> index_;
};

}  // namespace pellora
