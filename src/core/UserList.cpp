#include "core/UserList.h"

#include "core/Collation.h"
#include "core/PositionTree.h"

namespace pellora {

using detail::AsNode;
using detail::UserNode;

namespace detail {
// Equal names by list position: the relative order of two records never
// changes while both are in the list, so the index stays sorted.
bool ByNameThenPosition::operator()(const UserNode* a, const UserNode* b) const {
  if (int c = a->key.compare(b->key)) return c < 0;
  return a != b && TreeRank(a) < TreeRank(b);
}
bool ByNameThenPosition::operator()(const UserNode* a, std::string_view key) const { return a->key < key; }
bool ByNameThenPosition::operator()(std::string_view key, const UserNode* b) const { return key < b->key; }
}  // namespace detail

TUserList& UserList::Link(TUserList user, std::string key, UserNode* before) {
  auto* node = new UserNode(std::move(user), std::move(key), detail::TreePriority(++draws_));
  TUserList* after = before ? before->Prev : last_;
  node->Prev = after;
  node->Next = before;
  (after ? after->Next : first_) = node;
  (before ? before->Prev : last_) = node;
  ++count_;
  detail::TreeInsert(root_, node, before);
  index_.insert(node);  // after the tree, which gives its position
  return *node;
}

void UserList::Unlink(UserNode* node) {
  index_.erase(node);  // while the tree still knows its position
  detail::TreeErase(root_, node);
  TUserList* prev = node->Prev;
  TUserList* next = node->Next;
  (prev ? prev->Next : first_) = next;
  (next ? next->Prev : last_) = prev;
  node->Prev = node->Next = nullptr;
  --count_;
}

TUserList& UserList::InsertSorted(TUserList user) {
  std::string key = UserNameSortKey(user.UserName);
  UserNode* before = detail::TreeFirstAfter(root_, key);
  return Link(std::move(user), std::move(key), before);
}

TUserList& UserList::AppendUser(TUserList user) {
  std::string key = UserNameSortKey(user.UserName);
  return Link(std::move(user), std::move(key), nullptr);
}

TUserList* UserList::FindUser(std::string_view name, const TUserList* skip) const {
  const std::string key = UserNameSortKey(name);
  // Records of one name stand in the index in list order.
  auto it = index_.lower_bound(std::string_view(key));
  if (it != index_.end() && *it == skip) ++it;
  return it != index_.end() && (*it)->key == key ? *it : nullptr;
}

void UserList::UnlinkUser(TUserList* user) {
  UserNode* node = AsNode(user);
  Unlink(node);
  delete node;
}

void UserList::ClearUsers() {
  index_.clear();
  for (TUserList* r = first_; r;) {
    TUserList* next = r->Next;
    delete AsNode(r);
    r = next;
  }
  first_ = last_ = nullptr;
  root_ = nullptr;
  count_ = 0;
}

void UserList::RenameUser(TUserList& user, std::string name) {
  // The record keeps its place in the list, whatever its new name.
  UserNode* node = AsNode(&user);
  index_.erase(node);
  node->UserName = std::move(name);
  detail::SetKey(node, UserNameSortKey(node->UserName));
  detail::TreeKeyChanged(node);
  index_.insert(node);
}

bool UserList::InNameOrder() const {
  for (const TUserList* r = first_; r && r->Next; r = r->Next)
    if (AsNode(r)->key > AsNode(r->Next)->key) return false;
  return true;
}

std::size_t UserList::CountEnabledUsers() const {
  std::size_t n = 0;
  for (const TUserList& u : *this)
    if (!u.Disabled) ++n;
  return n;
}

}  // namespace pellora
