#pragma once
// The balanced tree behind UserList: its in-order sequence is the list order,
// and every subtree knows its size and its greatest collation key, so "the
// first record in list order that collates after a name" and "the position of
// a record" are one walk down or up, whatever order the names are in. It is a
// treap: random priorities keep it balanced without regard to the names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/UserList.h"

namespace pellora::detail {

// The first eight bytes of a key as a number, zero-padded. Two keys whose
// heads differ compare as their heads do, so most comparisons on the way
// down the tree need no other node's key.
std::uint64_t KeyHead(std::string_view key);

struct UserNode : TUserList {
  UserNode(TUserList user, std::string sortKey, std::uint64_t priority)
      : TUserList(std::move(user)), key(std::move(sortKey)), head(KeyHead(key)), priority(priority) {}

  std::string key;  // collation key of UserName
  std::uint64_t head;
  std::uint64_t priority;
  UserNode* parent = nullptr;
  UserNode* left = nullptr;
  UserNode* right = nullptr;
  std::size_t size = 1;             // nodes in this subtree
  const UserNode* greatest = this;  // a node of the subtree holding its greatest key
  std::uint64_t greatestHead = head;
};

// key changes only through this, so that head follows it.
void SetKey(UserNode* node, std::string key);

inline UserNode* AsNode(TUserList* user) { return static_cast<UserNode*>(user); }
inline const UserNode* AsNode(const TUserList* user) { return static_cast<const UserNode*>(user); }

// A balancing priority for the n-th node drawn.
std::uint64_t TreePriority(std::uint64_t n);

// Puts node into the tree just in front of before, or last when before is
// nullptr.
void TreeInsert(UserNode*& root, UserNode* node, UserNode* before);
void TreeErase(UserNode*& root, UserNode* node);
// Brings the subtrees above node up to date after its key changed.
void TreeKeyChanged(UserNode* node);
// The first node in order whose key is greater than key; nullptr when none.
UserNode* TreeFirstAfter(UserNode* root, std::string_view key);
// The position of node in order, counting from 0.
std::size_t TreeRank(const UserNode* node);

}  // namespace pellora::detail
