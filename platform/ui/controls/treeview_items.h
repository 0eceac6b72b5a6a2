// The items of a tree view: a tree of records under an invisible root,
// handed out to the program as handles that go stale when deleted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <commctrl.h>

namespace kvplatform::ui {

struct TreeItem {
  uintptr_t id = 0;
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  int childrenFlag = 0;  // the program's "has children" (cChildren)
  LPARAM param = 0;
  bool expanded = false;
  TreeItem* parent = nullptr;
  std::vector<std::unique_ptr<TreeItem>> children;
};

class TreeItems {
 public:
  TreeItems();

  // Null for null, TVI_ROOT, stale and foreign handles.
  TreeItem* Find(HTREEITEM handle) const;
  static HTREEITEM HandleOf(const TreeItem* item);
  TreeItem* Root() { return &root_; }
  bool IsRoot(const TreeItem* item) const { return item == &root_; }

  // `after` is an item among the parent's children, TVI_FIRST, TVI_LAST or
  // TVI_SORT (case-insensitive text order). Null when `after` is not valid.
  TreeItem* Insert(TreeItem* parent, HTREEITEM after, std::unique_ptr<TreeItem> item);
  // Removes the item and everything under it.
  void Delete(TreeItem* item);
  void DeleteAll();
  // Whether `item` is `ancestor` or lies under it.
  static bool IsWithin(const TreeItem* item, const TreeItem* ancestor);

  TreeItem* FirstChild(const TreeItem* item) const;
  TreeItem* NextSibling(const TreeItem* item) const;
  TreeItem* PreviousSibling(const TreeItem* item) const;
  static bool HasChildren(const TreeItem* item) { return !item->children.empty() || item->childrenFlag != 0; }
  static int Depth(const TreeItem* item);  // 0 for the top-level items

  // The items shown, top to bottom: those whose ancestors are all expanded.
  std::vector<TreeItem*> VisibleRows() const;

 private:
  void Collect(const TreeItem* under, std::vector<TreeItem*>& rows) const;
  void Forget(TreeItem* item);

  TreeItem root_;
  uintptr_t nextId_ = 1;
  std::unordered_map<uintptr_t, TreeItem*> byId_;
};

}  // namespace kvplatform::ui
