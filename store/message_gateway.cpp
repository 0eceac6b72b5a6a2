#include "store/message_gateway.h"

namespace {

const size_t KMaxIdBytes = 256;

// The id is kept as one UTF-16 unit a byte: it is only ever compared and
// given back, never shown from here.
std::u16string Widened(const std::string& aText) { return std::u16string(aText.begin(), aText.end()); }

}  // namespace

std::u16string FormatGatewayMark(const TKvGatewayMark& aMark) {
  std::u16string text = u"g1;";
  text += aMark.iPublished ? u'1' : u'0';
  text += u';';
  text += static_cast<char16_t>(u'0' + static_cast<int>(aMark.iRequest));
  text += u';';
  text += aMark.iReport ? u'1' : u'0';
  text += u';';
  text += Widened(aMark.iRequestId.substr(0, KMaxIdBytes));
  return text;
}

TKvGatewayMark ParseGatewayMark(const std::u16string& aText) {
  TKvGatewayMark mark;
  // "g1;P;R;T;" and the id.
  if (aText.size() < 9 || aText.compare(0, 3, u"g1;") != 0 || aText[4] != u';' || aText[6] != u';' ||
      aText[8] != u';')
    return mark;
  const char16_t published = aText[3], request = aText[5], report = aText[7];
  if ((published != u'0' && published != u'1') || request < u'0' || request > u'3' ||
      (report != u'0' && report != u'1') || aText.size() - 9 > KMaxIdBytes)
    return mark;
  std::string id;
  for (size_t i = 9; i < aText.size(); ++i) {
    if (aText[i] > 0xFF) return TKvGatewayMark{};
    id += static_cast<char>(aText[i]);
  }
  mark.iPublished = published == u'1';
  mark.iRequest = static_cast<TKvRequestState>(request - u'0');
  mark.iReport = report == u'1';
  mark.iRequestId = std::move(id);
  return mark;
}
