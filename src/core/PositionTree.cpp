#include "core/PositionTree.h"

namespace pellora::detail {

namespace {

std::size_t SizeOf(const UserNode* n) { return n ? n->size : 0; }

bool Less(std::uint64_t aHead, std::string_view a, std::uint64_t bHead, std::string_view b) {
  return aHead != bHead ? aHead < bHead : a < b;
}

// Whether the greatest key of the subtree at n is greater than key.
bool HoldsGreater(const UserNode* n, std::uint64_t head, std::string_view key) {
  return n && Less(head, key, n->greatestHead, n->greatest->key);
}

void SetGreatest(UserNode* n, const UserNode* holder) {
  n->greatest = holder;
  n->greatestHead = holder->head;
}

void Pull(UserNode* n) {
  n->size = 1 + SizeOf(n->left) + SizeOf(n->right);
  const UserNode* top = n;
  if (HoldsGreater(n->left, top->head, top->key)) top = n->left->greatest;
  if (HoldsGreater(n->right, top->head, top->key)) top = n->right->greatest;
  SetGreatest(n, top);
}

void PullUpFrom(UserNode* n) {
  for (; n; n = n->parent) Pull(n);
}

// Lifts x above its parent and keeps the order of the nodes.
void RotateUp(UserNode*& root, UserNode* x) {
  UserNode* p = x->parent;
  UserNode* g = p->parent;
  if (p->left == x) {
    p->left = x->right;
    if (x->right) x->right->parent = p;
    x->right = p;
  } else {
    p->right = x->left;
    if (x->left) x->left->parent = p;
    x->left = p;
  }
  p->parent = x;
  x->parent = g;
  if (!g) root = x;
  else (g->left == p ? g->left : g->right) = x;
  Pull(p);
  Pull(x);
}

UserNode* Rightmost(UserNode* n) {
  while (n->right) n = n->right;
  return n;
}

}  // namespace

std::uint64_t KeyHead(std::string_view key) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < 8; ++i) head = head << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return head;
}

void SetKey(UserNode* node, std::string key) {
  node->key = std::move(key);
  node->head = KeyHead(node->key);
}

std::uint64_t TreePriority(std::uint64_t n) {
  // splitmix64: well spread, and independent of the names, so no order of
  // names can unbalance the tree.
  std::uint64_t z = n * 0x9E3779B97F4A7C15ull + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void TreeInsert(UserNode*& root, UserNode* node, UserNode* before) {
  node->parent = node->left = node->right = nullptr;
  Pull(node);
  if (!root) {
    root = node;
    return;
  }
  UserNode* parent;
  if (!before) {
    parent = Rightmost(root);
    parent->right = node;
  } else if (!before->left) {
    parent = before;
    parent->left = node;
  } else {
    parent = Rightmost(before->left);
    parent->right = node;
  }
  node->parent = parent;
  // One more node below each ancestor; its key can only raise their greatest.
  for (UserNode* n = parent; n; n = n->parent) {
    ++n->size;
    if (HoldsGreater(node, n->greatestHead, n->greatest->key)) SetGreatest(n, node);
  }
  while (node->parent && node->priority > node->parent->priority) RotateUp(root, node);
}

void TreeErase(UserNode*& root, UserNode* node) {
  while (node->left || node->right) {
    UserNode* child = !node->left                                    ? node->right
                      : !node->right                                 ? node->left
                      : node->left->priority > node->right->priority ? node->left
                                                                     : node->right;
    RotateUp(root, child);
  }
  UserNode* parent = node->parent;
  if (!parent) root = nullptr;
  else (parent->left == node ? parent->left : parent->right) = nullptr;
  node->parent = nullptr;
  PullUpFrom(parent);
}

void TreeKeyChanged(UserNode* node) { PullUpFrom(node); }

UserNode* TreeFirstAfter(UserNode* root, std::string_view key) {
  const std::uint64_t head = KeyHead(key);
  UserNode* n = root;
  if (!HoldsGreater(n, head, key)) return nullptr;
  // The subtree at n always holds a greater key; take the leftmost place
  // that does.
  for (;;) {
    if (HoldsGreater(n->left, head, key)) n = n->left;
    else if (Less(head, key, n->head, n->key)) return n;
    else n = n->right;
  }
}

std::size_t TreeRank(const UserNode* node) {
  std::size_t rank = SizeOf(node->left);
  for (const UserNode* n = node; n->parent; n = n->parent)
    if (n->parent->right == n) rank += SizeOf(n->parent->left) + 1;
  return rank;
}

}  // namespace pellora::detail
