#include "ui/painting/region.h"

#include <algorithm>

namespace kvplatform::ui {

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (RectEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}

RECT Union(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT Offset(RECT r, int dx, int dy) {
  r.left += dx;
  r.right += dx;
  r.top += dy;
  r.bottom += dy;
  return r;
}

void Region::Add(const RECT& r) {
  if (RectEmpty(r)) return;
  Subtract(r);
  rects_.push_back(r);
}

void Region::Subtract(const RECT& s) {
  if (RectEmpty(s)) return;
  std::vector<RECT> out;
  out.reserve(rects_.size() + 4);
  for (const RECT& r : rects_) {
    RECT overlap = Intersect(r, s);
    if (RectEmpty(overlap)) {
      out.push_back(r);
      continue;
    }
    // Up to four pieces of r around the overlap: above, below, left, right.
    if (r.top < overlap.top) out.push_back({r.left, r.top, r.right, overlap.top});
    if (overlap.bottom < r.bottom) out.push_back({r.left, overlap.bottom, r.right, r.bottom});
    if (r.left < overlap.left) out.push_back({r.left, overlap.top, overlap.left, overlap.bottom});
    if (overlap.right < r.right) out.push_back({overlap.right, overlap.top, r.right, overlap.bottom});
  }
  rects_ = std::move(out);
}

void Region::IntersectWith(const RECT& clip) {
  std::vector<RECT> out;
  for (const RECT& r : rects_) {
    RECT piece = Intersect(r, clip);
    if (!RectEmpty(piece)) out.push_back(piece);
  }
  rects_ = std::move(out);
}

void Region::Translate(int dx, int dy) {
  for (RECT& r : rects_) r = Offset(r, dx, dy);
}

bool Region::Intersects(const RECT& r) const {
  return std::any_of(rects_.begin(), rects_.end(), [&](const RECT& x) { return !RectEmpty(Intersect(x, r)); });
}

RECT Region::Bounds() const {
  RECT bounds{0, 0, 0, 0};
  for (const RECT& r : rects_) bounds = Union(bounds, r);
  return bounds;
}

}  // namespace kvplatform::ui
