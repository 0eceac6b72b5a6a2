#include <gtest/gtest.h>

#include "store/message_gateway.h"

TEST(GatewayMark, AMarkComesBackAsItWasWrittenAndADamagedOneAsNone) {
  TKvGatewayMark mark;
  mark.iPublished = true;
  mark.iRequest = EKvRequestFailed;
  mark.iReport = true;
  mark.iRequestId = "order;42|x";
  TKvGatewayMark back = ParseGatewayMark(FormatGatewayMark(mark));
  EXPECT_TRUE(back.iPublished);
  EXPECT_EQ(back.iRequest, EKvRequestFailed);
  EXPECT_TRUE(back.iReport);
  EXPECT_EQ(back.iRequestId, "order;42|x");

  // A received message seen and not yet published keeps a mark of its own.
  const std::u16string owed = FormatGatewayMark(TKvGatewayMark{});
  EXPECT_FALSE(owed.empty());
  EXPECT_FALSE(ParseGatewayMark(owed).iPublished);

  for (const std::u16string& damaged : {std::u16string(), std::u16string(u"g1;1;0"), std::u16string(u"g2;1;0;0;"),
                                        std::u16string(u"g1;2;0;0;"), std::u16string(u"g1;1;7;0;"),
                                        std::u16string(u"g1;1;1;0;\u20ac")}) {
    TKvGatewayMark none = ParseGatewayMark(damaged);
    EXPECT_FALSE(none.iPublished);
    EXPECT_EQ(none.iRequest, EKvRequestNone);
    EXPECT_EQ(none.iRequestId, "");
  }
}
