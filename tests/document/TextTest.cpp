#include <gtest/gtest.h>

#include "document/Cp1251.h"
#include "document/RateText.h"

namespace {

TEST(Cp1251, CyrillicAndAsciiBothWays) {
  const std::string bytes = "\xcd\xc4\xd1 12,5";  // НДС 12,5
  EXPECT_EQ(Cp1251ToUtf8(bytes), "НДС 12,5");
  EXPECT_EQ(Utf8ToCp1251("НДС 12,5"), bytes);
  EXPECT_EQ(Utf8ToCp1251("Ёё№"), "\xa8\xb8\xb9");
  EXPECT_EQ(Utf8ToCp1251("ая"), "\xe0\xff");
}

TEST(Cp1251, EveryByteComesBackUnchanged) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string text = Cp1251ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1251(text), all);
  EXPECT_EQ(Utf8Length(text), 256u);
}

TEST(Cp1251, CharactersWithoutAByteBecomeAQuestionMark) {
  EXPECT_EQ(Utf8ToCp1251("a€b"), "a\x88" "b");  // the euro sign is in the code page
  EXPECT_EQ(Utf8ToCp1251("a中b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("ß😀"), "??");
  EXPECT_FALSE(IsCp1251Character(U'中'));
  EXPECT_TRUE(IsCp1251Character(U'Ї'));
}

TEST(Cp1251, MalformedUtf8BecomesOneQuestionMarkPerBadSequence) {
  EXPECT_EQ(Utf8ToCp1251("a\xff" "b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("\xd0"), "?");           // cut short at the end
  EXPECT_EQ(Utf8ToCp1251("\xc0\xaf"), "?");       // an overlong form
  EXPECT_EQ(Utf8ToCp1251("\xed\xa0\x80"), "?");   // a surrogate
}

TEST(Utf8, LengthAndLeftCountCharactersNotBytes) {
  EXPECT_EQ(Utf8Length("НДС"), 3u);
  EXPECT_EQ(Utf8Left("Налог на добавленную", 5), "Налог");
  EXPECT_EQ(Utf8Left("ab", 16), "ab");
  EXPECT_EQ(DecodeUtf8("Ая"), U"Ая");
  EXPECT_EQ(EncodeUtf8(U"Ая€"), "Ая€");
}

TEST(RateText, DecimalTextsAndTheirValues) {
  EXPECT_TRUE(IsDecimalText("05,00"));
  EXPECT_TRUE(IsDecimalText("5"));
  EXPECT_TRUE(IsDecimalText(",5"));
  EXPECT_TRUE(IsDecimalText("5,"));
  EXPECT_FALSE(IsDecimalText(""));
  EXPECT_FALSE(IsDecimalText(","));
  EXPECT_FALSE(IsDecimalText("1,2,3"));
  EXPECT_FALSE(IsDecimalText("5.5"));  // the separator is the comma
  EXPECT_FALSE(IsDecimalText("+5"));
  EXPECT_DOUBLE_EQ(*DecimalValue("03,456"), 3.456);
  EXPECT_DOUBLE_EQ(*DecimalValue("99,99"), 99.99);
  EXPECT_DOUBLE_EQ(*DecimalValue("123"), 123.0);
  EXPECT_FALSE(DecimalValue("x").has_value());
  EXPECT_EQ(DecimalSeparator, ',');
  EXPECT_STREQ(DefaultRate, "00,00");
}

TEST(RateText, WholeNumberTexts) {
  EXPECT_TRUE(IsWholeNumberText("0"));
  EXPECT_TRUE(IsWholeNumberText("08"));
  EXPECT_FALSE(IsWholeNumberText(""));
  EXPECT_FALSE(IsWholeNumberText("-1"));
  EXPECT_FALSE(IsWholeNumberText("1a"));
  EXPECT_FALSE(IsWholeNumberText(" 1"));
}

}  // namespace
