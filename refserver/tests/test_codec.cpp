#include <gtest/gtest.h>

#include "Codec.h"

using namespace qs;

TEST(UploadEscape, RoundTripOfMixedText) {
  EXPECT_EQ(EncodeUploadEscape("가 나/1.jpg"), "%uAC00%20%uB098/1%2Ejpg");
  for (std::string text : std::vector<std::string>{"가 나/1.jpg", "a&b=c|d^e", "줄\r\n바꿈", "😀 outside the basic plane", "＆＝ full width",
                           std::string("nul\0inside", 10), ""}) {
    auto back = DecodeUploadEscape(EncodeUploadEscape(text));
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(*back, text);
  }
  EXPECT_EQ(EncodeUploadEscape("😀"), "%uD83D%uDE00");
}

TEST(UploadEscape, RefusesWhatTheEscapingNeverMakes) {
  for (const char* bad : {"%uD83D", "%uDE00", "%uD83Dx", "%uD83D%u0041", "%u12", "%uZZZZ", "%G1", "%4", "%",
                          "%C3%A9", "caf\xC3\xA9", "tab\there"}) {
    EXPECT_FALSE(DecodeUploadEscape(bad)) << bad;
  }
  // Literal records travel unescaped.
  EXPECT_EQ(*DecodeUploadEscape("has_child=1|parent_number=0"), "has_child=1|parent_number=0");
}

TEST(PercentForm, PlusStaysPlusAndBytesMustBeUtf8) {
  EXPECT_EQ(*DecodePercentUtf8("a+b%20%23c"), "a+b #c");
  EXPECT_EQ(*DecodePercentUtf8("%EB%8D%B0%EB%AA%A8"), "데모");
  EXPECT_EQ(EncodePercentUtf8("a+b #c/데"), "a+b%20%23c/%EB%8D%B0");
  EXPECT_FALSE(DecodePercentUtf8("%EB%8D"));  // cut in the middle of a character
  EXPECT_FALSE(DecodePercentUtf8("%ZZ"));
  EXPECT_FALSE(DecodePercentUtf8("%C0%AF"));  // overlong "/"
}

TEST(FormBody, SplitsAtTheFirstEqualsSign) {
  auto f = SplitFormBody("id=demo&coremeta=has_child=1|parent_number=0&&pw=x");
  ASSERT_TRUE(f);
  ASSERT_EQ(f->size(), 3u);
  EXPECT_EQ(FieldValue(*f, "coremeta"), "has_child=1|parent_number=0");
  EXPECT_FALSE(SplitFormBody("id=demo&garbage"));
  EXPECT_FALSE(SplitFormBody("=value"));
}
