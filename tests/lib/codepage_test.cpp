#include "varnok/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace varnok {
namespace {

struct EncodeCase {
  std::u16string text;
  std::string bytes;
};

class ToWindows1252 : public testing::TestWithParam<EncodeCase> {};

TEST_P(ToWindows1252, GivesOneBytePerCharacter) {
  EXPECT_EQ(toWindows1252(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToWindows1252,
    testing::Values(
        EncodeCase{u"", ""}, EncodeCase{u"abc\r\n\t", "abc\r\n\t"},
        EncodeCase{u"Solicitação", "Solicita\xE7\xE3o"},
        EncodeCase{u"PRODUTO NÃO", "PRODUTO N\xC3O"}, EncodeCase{u"Cód", "C\xF3\x64"},
        EncodeCase{u"\u00A0\u00FF", "\xA0\xFF"},
        // The typographic marks that Windows-1252 puts where Latin-1 has controls.
        EncodeCase{u"€‚ƒ„…†‡ˆ‰Š‹ŒŽ", "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"},
        EncodeCase{u"‘’“”•–—˜™š›œžŸ", "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F"},
        // C1 controls that the code page has no mark for.
        EncodeCase{u"\u0080\u0085\u009F", "???"},
        EncodeCase{u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
        EncodeCase{u"a中b", "a?b"}, EncodeCase{u"Ā", "?"},
        // A character beyond the first plane is one character: one '?'.
        EncodeCase{u"x😀y", "x?y"}, EncodeCase{std::u16string{u'a', char16_t(0xD800), u'b'}, "a?b"},
        EncodeCase{std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "??"}));

TEST(FromWindows1252, DecodesTypographicMarksAndLatin1) {
  EXPECT_EQ(fromWindows1252("Solicita\xE7\xE3o \x80\x9F"), u"Solicitação €Ÿ");
}

TEST(FromWindows1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  const std::u16string text = fromWindows1252(all);
  ASSERT_EQ(text.size(), all.size());
  EXPECT_EQ(toWindows1252(text), all);
}

}  // namespace
}  // namespace varnok
