#include "ui/controls/treeview_items.h"

#include <algorithm>

namespace kvplatform::ui {
namespace {

char16_t Fold(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  return c;
}

bool SortsBefore(const std::u16string& a, const std::u16string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Fold(x) < Fold(y); });
}

}  // namespace

TreeItems::TreeItems() { root_.expanded = true; }

TreeItem* TreeItems::Find(HTREEITEM handle) const {
  auto it = byId_.find(reinterpret_cast<uintptr_t>(handle));
  return it == byId_.end() ? nullptr : it->second;
}

HTREEITEM TreeItems::HandleOf(const TreeItem* item) {
  return item ? reinterpret_cast<HTREEITEM>(item->id) : nullptr;
}

TreeItem* TreeItems::Insert(TreeItem* parent, HTREEITEM after, std::unique_ptr<TreeItem> item) {
  auto& siblings = parent->children;
  size_t at;
  if (after == TVI_FIRST) {
    at = 0;
  } else if (after == TVI_LAST || after == nullptr) {
    at = siblings.size();
  } else if (after == TVI_SORT) {
    at = 0;
    while (at < siblings.size() && !SortsBefore(item->text, siblings[at]->text)) ++at;
  } else {
    TreeItem* previous = Find(after);
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](auto& s) { return s.get() == previous; });
    if (!previous || it == siblings.end()) return nullptr;
    at = static_cast<size_t>(it - siblings.begin()) + 1;
  }
  item->id = nextId_++;
  item->parent = parent;
  TreeItem* raw = item.get();
  byId_[raw->id] = raw;
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return raw;
}

void TreeItems::Forget(TreeItem* item) {
  for (auto& child : item->children) Forget(child.get());
  byId_.erase(item->id);
}

void TreeItems::Delete(TreeItem* item) {
  if (!item || IsRoot(item)) return DeleteAll();
  Forget(item);
  auto& siblings = item->parent->children;
  siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& s) { return s.get() == item; }));
}

void TreeItems::DeleteAll() {
  root_.children.clear();
  byId_.clear();
}

bool TreeItems::IsWithin(const TreeItem* item, const TreeItem* ancestor) {
  for (; item; item = item->parent)
    if (item == ancestor) return true;
  return false;
}

TreeItem* TreeItems::FirstChild(const TreeItem* item) const {
  return item->children.empty() ? nullptr : item->children.front().get();
}

TreeItem* TreeItems::NextSibling(const TreeItem* item) const {
  if (!item->parent) return nullptr;
  auto& siblings = item->parent->children;
  for (size_t i = 0; i + 1 < siblings.size(); ++i)
    if (siblings[i].get() == item) return siblings[i + 1].get();
  return nullptr;
}

TreeItem* TreeItems::PreviousSibling(const TreeItem* item) const {
  if (!item->parent) return nullptr;
  auto& siblings = item->parent->children;
  for (size_t i = 1; i < siblings.size(); ++i)
    if (siblings[i].get() == item) return siblings[i - 1].get();
  return nullptr;
}

int TreeItems::Depth(const TreeItem* item) {
  int depth = -1;
  for (; item && item->parent; item = item->parent) ++depth;
  return depth;
}

void TreeItems::Collect(const TreeItem* under, std::vector<TreeItem*>& rows) const {
  for (auto& child : under->children) {
    rows.push_back(child.get());
    if (child->expanded) Collect(child.get(), rows);
  }
}

std::vector<TreeItem*> TreeItems::VisibleRows() const {
  std::vector<TreeItem*> rows;
  Collect(&root_, rows);
  return rows;
}

}  // namespace kvplatform::ui
