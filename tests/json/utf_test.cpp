// UTF-8 <-> UTF-16 at the edges: well-formed text both ways, ill-formed bytes as one
// U+FFFD per maximal ill-formed subpart, lone surrogates as U+FFFD.
#include "test_util.h"

namespace varnok::json {
namespace {

TEST(FromUtf8, DecodesEveryLengthOfSequence) {
  EXPECT_EQ(FromUtf8("abc"), u"abc");
  EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(FromUtf8("\xC3\xA9"), u"é");
  EXPECT_EQ(FromUtf8("\xE2\x82\xAC"), u"€");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(FromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(FromUtf8("\xEF\xBB\xBF"), u"\uFEFF");
}

TEST(FromUtf8, ReplacesEachMaximalIllFormedSubpart) {
  const std::pair<const char*, std::u16string> cases[] = {
      {"\xFF", u"\uFFFD"},
      {"a\x80z", u"a\uFFFDz"},
      {"\xC3", u"\uFFFD"},
      {"\xC3(", u"\uFFFD("},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE2\x82", u"\uFFFD"},
      {"\xE2\x82z", u"\uFFFDz"},
      {"\xF0\x9F\x98", u"\uFFFD"},
      {"\xF0\x9F\x98\xC3\xA9", u"\uFFFDé"},
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(FromUtf8(bytes), text) << ::testing::PrintToString(std::string(bytes));
  }
}

TEST(ToUtf8, EncodesPairsAndReplacesLoneSurrogates) {
  EXPECT_EQ(ToUtf8(u"aé€\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD83D')), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(u"\xDE00x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(ToUtf8(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(u""), "");
}

TEST(Utf8, WellFormedTextSurvivesBothWays) {
  const std::u16string text = u"Pão de açúcar — 100% \U0001F600 \x7F\xFFFF";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}

}  // namespace
}  // namespace varnok::json
