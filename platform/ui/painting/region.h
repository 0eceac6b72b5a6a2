// A set of pixels as non-overlapping rectangles: what a window may draw on
// after the windows above it and its children are cut away.
#pragma once

#include <vector>

#include <wintypes.h>

namespace kvplatform::ui {

inline bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
RECT Intersect(const RECT& a, const RECT& b);
// The smallest rectangle holding both; an empty rectangle adds nothing.
RECT Union(const RECT& a, const RECT& b);
RECT Offset(RECT r, int dx, int dy);
inline bool Contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r) { Add(r); }

  // Adds a rectangle that may overlap what is there (the overlap is kept once).
  void Add(const RECT& r);
  void Subtract(const RECT& r);
  void IntersectWith(const RECT& r);
  void Translate(int dx, int dy);
  bool Empty() const { return rects_.empty(); }
  bool Intersects(const RECT& r) const;
  RECT Bounds() const;
  const std::vector<RECT>& Rects() const { return rects_; }

 private:
  std::vector<RECT> rects_;
};

}  // namespace kvplatform::ui
