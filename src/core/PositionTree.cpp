#include "core/PositionTree.h"

namespace pellora::detail {

namespace {

std::size_t SizeOf(const UserNode* n) { return n ? n->size : 0; }

void Pull(UserNode* n) {
  n->size = 1 + SizeOf(n->left) + SizeOf(n->right);
  const UserNode* top = n;
  if (n->left && n->left->greatest->key > top->key) top = n->left->greatest;
  if (n->right && n->right->greatest->key > top->key) top = n->right->greatest;
  n->greatest = top;
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
  if (!g)
    root = x;
  else
    (g->left == p ? g->left : g->right) = x;
  Pull(p);
  Pull(x);
}

UserNode* Rightmost(UserNode* n) {
  while (n->right) n = n->right;
  return n;
}

}  // namespace

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
  PullUpFrom(parent);
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
  if (!parent)
    root = nullptr;
  else
    (parent->left == node ? parent->left : parent->right) = nullptr;
  node->parent = nullptr;
  PullUpFrom(parent);
}

void TreeKeyChanged(UserNode* node) { PullUpFrom(node); }

UserNode* TreeFirstAfter(UserNode* root, std::string_view key) {
  UserNode* n = root;
  if (!n || !(key < n->greatest->key)) return nullptr;
  // The subtree at n always holds a greater key; take the leftmost place
  // that does.
  for (;;) {
    if (n->left && key < n->left->greatest->key)
      n = n->left;
    else if (key < n->key)
      return n;
    else
      n = n->right;
  }
}

std::size_t TreeRank(const UserNode* node) {
  std::size_t rank = SizeOf(node->left);
  for (const UserNode* n = node; n->parent; n = n->parent)
    if (n->parent->right == n) rank += SizeOf(n->parent->left) + 1;
  return rank;
}

}  // namespace pellora::detail
