#include "ui/dialogs/dialog_template.h"

#include <cstring>

namespace kvplatform::ui {
namespace {

class Reader {
 public:
  Reader(const BYTE* start, size_t limit) : start_(start), at_(start), limit_(limit) {}
  bool ok() const { return ok_; }
  void Raw(void* out, size_t n) {
    if (!Has(n)) return;
    std::memcpy(out, at_, n);
    at_ += n;
  }
  WORD Word() {
    WORD w = 0;
    Raw(&w, 2);
    return w;
  }
  std::u16string Text() {
    std::u16string s;
    for (;;) {
      char16_t c = Word();
      if (!ok_ || c == 0) return s;
      s += c;
    }
  }
  // A name that may instead be 0xFFFF and an ordinal.
  std::u16string NameOrOrdinal(WORD& ordinal) {
    ordinal = 0;
    WORD first = Word();
    if (first == 0) return {};
    if (first == 0xFFFF) {
      ordinal = Word();
      return {};
    }
    std::u16string s(1, first);
    return s + Text();
  }
  void AlignTo(size_t n) {
    size_t offset = static_cast<size_t>(at_ - start_);
    if (offset % n) Skip(n - offset % n);
  }
  void Skip(size_t n) {
    if (Has(n)) at_ += n;
  }

 private:
  bool Has(size_t n) {
    if (static_cast<size_t>(at_ - start_) + n > limit_) ok_ = false;
    return ok_;
  }
  const BYTE* start_;
  const BYTE* at_;
  size_t limit_;
  bool ok_ = true;
};

std::u16string PredefinedClass(WORD atom) {
  switch (atom) {
    case 0x80: return u"BUTTON";
    case 0x81: return u"EDIT";
    case 0x82: return u"STATIC";
    case 0x83: return u"LISTBOX";
    case 0x84: return u"SCROLLBAR";
    case 0x85: return u"COMBOBOX";
    default: return {};
  }
}

}  // namespace

bool ParseDialogTemplate(const DLGTEMPLATE* dialogTemplate, DialogRecord& out, size_t limit) {
  if (!dialogTemplate) return false;
  Reader r(reinterpret_cast<const BYTE*>(dialogTemplate), limit);
  DLGTEMPLATE head{};
  r.Raw(&head, sizeof head);
  out = DialogRecord{};
  out.style = head.style;
  out.exStyle = head.dwExtendedStyle;
  out.x = head.x;
  out.y = head.y;
  out.cx = head.cx;
  out.cy = head.cy;
  WORD ordinal;
  r.NameOrOrdinal(ordinal);  // menu: dialogs on this system have none
  out.className = r.NameOrOrdinal(ordinal);
  out.caption = r.Text();
  if (head.style & DS_SETFONT) {
    out.pointSize = r.Word();
    out.font = r.Text();
  }
  for (WORD i = 0; i < head.cdit && r.ok(); ++i) {
    r.AlignTo(4);
    DLGITEMTEMPLATE itemHead{};
    r.Raw(&itemHead, sizeof itemHead);
    DialogItemRecord item;
    item.style = itemHead.style;
    item.exStyle = itemHead.dwExtendedStyle;
    item.x = itemHead.x;
    item.y = itemHead.y;
    item.cx = itemHead.cx;
    item.cy = itemHead.cy;
    item.id = itemHead.id;
    item.className = r.NameOrOrdinal(ordinal);
    if (item.className.empty()) item.className = PredefinedClass(ordinal);
    item.text = r.NameOrOrdinal(ordinal);
    WORD extra = r.Word();
    item.creationData.resize(extra);
    if (extra) r.Raw(item.creationData.data(), extra);
    if (item.className.empty()) return false;
    out.items.push_back(std::move(item));
  }
  return r.ok();
}

}  // namespace kvplatform::ui
