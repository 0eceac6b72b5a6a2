#include "record_codec.h"

#include <bit>
#include <cstring>

namespace kvplatform::db {
namespace {

constexpr unsigned char kFormat = 1;

void Put32(std::vector<unsigned char>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Texts are stored little-endian, as this machine holds them: one copy.
void CopyText(char16_t* to, const unsigned char* from, uint32_t chars) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(to, from, size_t{chars} * 2);
  } else {
    for (uint32_t i = 0; i < chars; ++i) to[i] = static_cast<char16_t>(from[2 * i] | (from[2 * i + 1] << 8));
  }
}

class Reader {
 public:
  explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  bool Get32(uint32_t& value) {
    if (bytes_.size() - pos_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += 4;
    return true;
  }
  bool GetText(std::u16string& text, uint32_t chars) {
    const unsigned char* from = nullptr;
    if (!GetTextBytes(from, chars)) return false;
    text.resize(chars);
    CopyText(text.data(), from, chars);
    return true;
  }
  // Where a text of aChars characters starts, once it is known to be whole.
  bool GetTextBytes(const unsigned char*& from, uint32_t chars) {
    if ((bytes_.size() - pos_) / 2 < chars) return false;
    from = bytes_.data() + pos_;
    pos_ += size_t{chars} * 2;
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }
  bool Skip(size_t n) {
    if (bytes_.size() - pos_ < n) return false;
    pos_ += n;
    return true;
  }

 private:
  const std::vector<unsigned char>& bytes_;
  size_t pos_ = 0;
};

bool IsStoredType(CEPROPID propid) {
  WORD type = TypeFromPropID(propid);
  return type == CEVT_LPWSTR || type == CEVT_UI4 || type == CEVT_FILETIME;
}

size_t Align(size_t n) { return (n + 1) & ~size_t{1}; }

}  // namespace

std::vector<unsigned char> EncodeRecord(const std::vector<StoredValue>& values) {
  std::vector<unsigned char> out;
  out.push_back(kFormat);
  for (const StoredValue& v : values) {
    Put32(out, v.propid);
    switch (TypeFromPropID(v.propid)) {
      case CEVT_UI4: Put32(out, v.number); break;
      case CEVT_FILETIME:
        Put32(out, v.filetime.dwLowDateTime);
        Put32(out, v.filetime.dwHighDateTime);
        break;
      case CEVT_LPWSTR:
        Put32(out, static_cast<uint32_t>(v.text.size()));
        for (char16_t c : v.text) {
          out.push_back(static_cast<unsigned char>(c & 0xff));
          out.push_back(static_cast<unsigned char>(c >> 8));
        }
        break;
      default: break;
    }
  }
  return out;
}

std::optional<std::vector<StoredValue>> DecodeRecord(const std::vector<unsigned char>& bytes) {
  if (bytes.empty() || bytes[0] != kFormat) return std::nullopt;
  Reader in(bytes);
  in.Skip(1);
  std::vector<StoredValue> values;
  while (!in.AtEnd()) {
    StoredValue v;
    uint32_t a = 0, b = 0;
    if (!in.Get32(v.propid) || !IsStoredType(v.propid)) return std::nullopt;
    switch (TypeFromPropID(v.propid)) {
      case CEVT_UI4:
        if (!in.Get32(v.number)) return std::nullopt;
        break;
      case CEVT_FILETIME:
        if (!in.Get32(a) || !in.Get32(b)) return std::nullopt;
        v.filetime = {a, b};
        break;
      default:
        if (!in.Get32(a) || !in.GetText(v.text, a)) return std::nullopt;
        break;
    }
    values.push_back(std::move(v));
  }
  return values;
}

bool MergeValues(std::vector<StoredValue>& record, const CEPROPVAL* values, WORD count, DWORD& error) {
  for (WORD i = 0; i < count; ++i) {
    const CEPROPVAL& in = values[i];
    auto existing = record.begin();
    while (existing != record.end() && existing->propid != in.propid) ++existing;
    if (in.wFlags & CEDB_PROPDELETE) {
      if (existing != record.end()) record.erase(existing);
      continue;
    }
    if (!IsStoredType(in.propid)) {
      error = ERROR_INVALID_PARAMETER;
      return false;
    }
    StoredValue v;
    v.propid = in.propid;
    switch (TypeFromPropID(in.propid)) {
      case CEVT_UI4: v.number = in.val.ulVal; break;
      case CEVT_FILETIME: v.filetime = in.val.filetime; break;
      default:
        if (in.val.lpwstr != nullptr) v.text = in.val.lpwstr;
        break;
    }
    if (existing != record.end())
      *existing = std::move(v);
    else
      record.push_back(std::move(v));
  }
  return true;
}

// One pass to check the record and size the buffer, one to lay it out: the
// texts go from the stored bytes straight to the caller's buffer.
std::optional<size_t> ReadBufferSize(const std::vector<unsigned char>& bytes, WORD& count) {
  if (bytes.empty() || bytes[0] != kFormat) return std::nullopt;
  Reader in(bytes);
  in.Skip(1);
  size_t properties = 0, texts = 0;
  while (!in.AtEnd()) {
    uint32_t propid = 0, value = 0;
    const unsigned char* text = nullptr;
    if (!in.Get32(propid) || !IsStoredType(propid) || !in.Get32(value)) return std::nullopt;
    switch (TypeFromPropID(propid)) {
      case CEVT_UI4: break;
      case CEVT_FILETIME:
        if (!in.Get32(value)) return std::nullopt;
        break;
      default:
        if (!in.GetTextBytes(text, value)) return std::nullopt;
        texts += Align((size_t{value} + 1) * sizeof(WCHAR));
        break;
    }
    ++properties;
  }
  if (properties > 0xffff) return std::nullopt;
  count = static_cast<WORD>(properties);
  return properties * sizeof(CEPROPVAL) + texts;
}

void FillReadBuffer(const std::vector<unsigned char>& bytes, WORD count, BYTE* buffer) {
  Reader in(bytes);
  in.Skip(1);
  auto* props = reinterpret_cast<CEPROPVAL*>(buffer);
  BYTE* texts = buffer + size_t{count} * sizeof(CEPROPVAL);
  for (WORD i = 0; i < count; ++i) {
    CEPROPVAL& out = props[i];
    std::memset(&out, 0, sizeof out);
    uint32_t low = 0, high = 0;
    in.Get32(out.propid);
    switch (TypeFromPropID(out.propid)) {
      case CEVT_UI4: in.Get32(out.val.ulVal); break;
      case CEVT_FILETIME:
        in.Get32(low);
        in.Get32(high);
        out.val.filetime = {low, high};
        break;
      default: {
        uint32_t chars = 0;
        const unsigned char* from = nullptr;
        in.Get32(chars);
        in.GetTextBytes(from, chars);
        auto* text = reinterpret_cast<WCHAR*>(texts);
        CopyText(text, from, chars);
        text[chars] = 0;
        out.val.lpwstr = text;
        // The device reports a text's length in bytes with its terminator.
        size_t size = (size_t{chars} + 1) * sizeof(WCHAR);
        out.wLenData = static_cast<WORD>(size > 0xffff ? 0xffff : size);
        texts += Align(size);
        break;
      }
    }
  }
}

}  // namespace kvplatform::db
