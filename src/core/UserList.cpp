#include "core/UserList.h"

#include "core/Collation.h"

namespace pellora {

namespace detail {
bool BySortKey::operator()(const TUserList* a, const TUserList* b) const { return a->sortKey_ < b->sortKey_; }
bool BySortKey::operator()(const TUserList* a, std::string_view key) const { return a->sortKey_ < key; }
bool BySortKey::operator()(std::string_view key, const TUserList* b) const { return key < b->sortKey_; }
}  // namespace detail

int UserList::InversionsAround(const TUserList* user) const {
  int n = 0;
  if (user->Prev && user->Prev->sortKey_ > user->sortKey_) ++n;
  if (user->Next && user->sortKey_ > user->Next->sortKey_) ++n;
  return n;
}

TUserList& UserList::Link(TUserList user, std::string key, TUserList* before) {
  auto* node = new TUserList(std::move(user));
  node->sortKey_ = std::move(key);
  TUserList* after = before ? before->Prev : last_;
  if (after && before && after->sortKey_ > before->sortKey_) --inversions_;
  node->Prev = after;
  node->Next = before;
  (after ? after->Next : first_) = node;
  (before ? before->Prev : last_) = node;
  inversions_ += InversionsAround(node);
  ++count_;
  index_.insert(node);
  return *node;
}

void UserList::Unlink(TUserList* user) {
  inversions_ -= InversionsAround(user);
  TUserList* prev = user->Prev;
  TUserList* next = user->Next;
  (prev ? prev->Next : first_) = next;
  (next ? next->Prev : last_) = prev;
  if (prev && next && prev->sortKey_ > next->sortKey_) ++inversions_;
  user->Prev = user->Next = nullptr;
  --count_;
  EraseFromIndex(user);
}

void UserList::EraseFromIndex(TUserList* user) {
  auto [from, to] = index_.equal_range(std::string_view(user->sortKey_));
  for (auto it = from; it != to; ++it)
    if (*it == user) {
      index_.erase(it);
      return;
    }
}

TUserList* UserList::FirstOfEqualRun(TUserList* user) const {
  while (user->Prev && user->Prev->sortKey_ == user->sortKey_) user = user->Prev;
  return user;
}

TUserList& UserList::InsertSorted(TUserList user) {
  std::string key = UserNameSortKey(user.UserName);
  TUserList* before = nullptr;
  if (InNameOrder()) {
    auto it = index_.upper_bound(std::string_view(key));
    if (it != index_.end()) before = FirstOfEqualRun(*it);
  } else {
    for (TUserList* r = first_; r; r = r->Next)
      if (key < r->sortKey_) {
        before = r;
        break;
      }
  }
  return Link(std::move(user), std::move(key), before);
}

TUserList& UserList::AppendUser(TUserList user) {
  std::string key = UserNameSortKey(user.UserName);
  return Link(std::move(user), std::move(key), nullptr);
}

TUserList* UserList::FindUser(std::string_view name, const TUserList* skip) const {
  const std::string key = UserNameSortKey(name);
  auto [from, to] = index_.equal_range(std::string_view(key));
  TUserList* only = nullptr;
  int candidates = 0;
  for (auto it = from; it != to && candidates < 2; ++it)
    if (*it != skip) {
      only = *it;
      ++candidates;
    }
  if (candidates == 0) return nullptr;
  if (InNameOrder()) {
    // Equal names stand side by side; the first of them comes first in the list.
    TUserList* r = FirstOfEqualRun(only);
    if (r == skip) r = r->Next;
    return r && r->sortKey_ == key ? r : nullptr;
  }
  if (candidates == 1) return only;
  for (TUserList* r = first_; r; r = r->Next)
    if (r != skip && r->sortKey_ == key) return r;
  return nullptr;
}

void UserList::UnlinkUser(TUserList* user) {
  Unlink(user);
  delete user;
}

void UserList::ClearUsers() {
  for (TUserList* r = first_; r;) {
    TUserList* next = r->Next;
    delete r;
    r = next;
  }
  first_ = last_ = nullptr;
  count_ = inversions_ = 0;
  index_.clear();
}

void UserList::RenameUser(TUserList& user, std::string name) {
  // The record keeps its place in the list, whatever its new name.
  inversions_ -= InversionsAround(&user);
  EraseFromIndex(&user);
  user.UserName = std::move(name);
  user.sortKey_ = UserNameSortKey(user.UserName);
  index_.insert(&user);
  inversions_ += InversionsAround(&user);
}

std::size_t UserList::CountEnabledUsers() const {
  std::size_t n = 0;
  for (const TUserList& u : *this)
    if (!u.Disabled) ++n;
  return n;
}

}  // namespace pellora
