#include <gtest/gtest.h>

#include <string>

#include "gateway/gateway_topics.h"
#include "gateway/send_request.h"

TEST(SendRequest, AWellFormedRequestGivesItsFieldsAndANumberIdBecomesText) {
  TKvSendRequest request = ParseSendRequest(R"({"to": "+447700900123", "text": "Alarm: door", "id": 42, "report": true})");
  ASSERT_TRUE(request.iValid) << request.iError;
  EXPECT_EQ(request.iTo, "+447700900123");
  EXPECT_EQ(request.iText, "Alarm: door");
  EXPECT_EQ(request.iId, "42");
  EXPECT_TRUE(request.iReport);
  TKvSendRequest plain = ParseSendRequest(R"({"to": "Dora", "text": ""})");
  ASSERT_TRUE(plain.iValid);
  EXPECT_EQ(plain.iId, "");
  EXPECT_FALSE(plain.iReport);
}

TEST(SendRequest, EachMalformedRequestIsRefusedWithItsReasonAndKeepsItsIdWhenItHasOne) {
  struct TCase {
    std::string iPayload;
    std::string iError;
    std::string iId;
  };
  const std::string longTo(KKvMaxRequestTo + 1, '1');
  const TCase cases[] = {
      {"not json", "the request is not a JSON object", ""},
      {"[1, 2]", "the request is not a JSON object", ""},
      {R"({"text": "x", "id": "a"})", "no \"to\"", "a"},
      {R"({"to": "", "text": "x", "id": "b"})", "no \"to\"", "b"},
      {R"({"to": 123, "text": "x"})", "no \"to\"", ""},
      {R"({"to": "+1", "id": "c"})", "no \"text\"", "c"},
      {R"({"to": "+1", "text": "x", "report": "yes", "id": "d"})", "\"report\" is not true or false", "d"},
      {R"({"to": "+1", "text": "x", "id": [1]})", "\"id\" is not a text or a number", ""},
      {R"({"to": "a\u001bb", "text": "x", "id": "e"})",
       "\"to\" is longer than 64 bytes or holds control characters", "e"},
      {R"({"to": ")" + longTo + R"(", "text": "x", "id": "f"})",
       "\"to\" is longer than 64 bytes or holds control characters", "f"},
      {R"({"to": "+1", "text": "x", "id": ")" + std::string(KKvMaxRequestId + 1, 'i') + R"("})",
       "\"id\" is longer than 64 bytes or holds control characters", ""},
      {R"({"to": "+1", "text": "x", "id": "g\u0007"})",
       "\"id\" is longer than 64 bytes or holds control characters", ""},
      {R"({"to": "+1", "id": "h", "text": ")" + std::string(KKvMaxRequestTextBytes + 1, 'x') + R"("})",
       "the text is too long", "h"},
      {std::string(KKvMaxRequestBytes + 1, ' '), "the request is longer than 65536 bytes", ""},
      // Not UTF-8: no JSON parser may take it as text.
      {"{\"to\": \"+1\", \"text\": \"\xff\"}", "the request is not a JSON object", ""},
  };
  for (const TCase& each : cases) {
    TKvSendRequest request = ParseSendRequest(each.iPayload);
    EXPECT_FALSE(request.iValid) << each.iPayload.substr(0, 80);
    EXPECT_EQ(request.iError, each.iError) << each.iPayload.substr(0, 80);
    EXPECT_EQ(request.iId, each.iId) << each.iPayload.substr(0, 80);
  }
}

TEST(SendRequest, OnlyDigitsWithAnOptionalPlusAreANumberAndOnlyPlainWordsMakeATopicLevel) {
  EXPECT_TRUE(IsPhoneNumber("+447700900123"));
  EXPECT_TRUE(IsPhoneNumber("112"));
  EXPECT_FALSE(IsPhoneNumber("+"));
  EXPECT_FALSE(IsPhoneNumber("Dora"));
  EXPECT_FALSE(IsPhoneNumber("+44 7700"));
  EXPECT_FALSE(IsPhoneNumber("123456789012345678901"));
  EXPECT_FALSE(IsPhoneNumber("1;ATD"));

  EXPECT_TRUE(IsTopicWord("korvanet"));
  EXPECT_TRUE(IsTopicWord("352099001761481"));
  EXPECT_TRUE(IsTopicWord("modem-1.home_2"));
  for (const char* bad : {"", "a/b", "+", "#", "a b", "$SYS", "a\nb"}) EXPECT_FALSE(IsTopicWord(bad)) << bad;
  EXPECT_FALSE(IsTopicWord(std::string(KKvMaxTopicWord + 1, 'a')));

  TKvGatewayTopics topics("kv", "m1");
  EXPECT_EQ(topics.iReceived, "kv/m1/received");
  EXPECT_EQ(topics.iSend, "kv/m1/send");
  EXPECT_EQ(topics.iFleetSend, "$share/kv/kv/send");
  EXPECT_EQ(topics.iFleetSendTopic, "kv/send");
  EXPECT_EQ(topics.iSent, "kv/m1/sent");
}
