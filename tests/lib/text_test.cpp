#include "varnok/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "decimal_separator_scope.h"

namespace varnok {
namespace {

TEST(TrimBlanks, RemovesControlCharactersAndBlanksOnlyAtTheEnds) {
  EXPECT_EQ(trimBlanks(u" \t\r\n\x01 12 3\x1F "), u"12 3");
  EXPECT_EQ(trimBlanks(std::u16string(u"\0a\0", 3)), u"a");
  EXPECT_EQ(trimBlanks(u"   "), u"");
  EXPECT_EQ(trimBlanks(u""), u"");
  // U+00A0 and U+3000 are not blanks here.
  EXPECT_EQ(trimBlanks(u"\u00A0x\u3000"), u"\u00A0x\u3000");
}

TEST(ZeroPad, PadsTheTrimmedTextInFront) {
  struct Case {
    std::u16string text;
    int width;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"12345670", 13, u"0000012345670"},
      {u"", 13, u"0000000000000"},
      {u"  456\r", 13, u"0000000000456"},
      {u"7", 2, u"07"},
      // Already long enough: returned as it is, never cut.
      {u"1234567890123", 13, u"1234567890123"},
      {u"12345678901234", 13, u"12345678901234"},
      {u" 42 ", 0, u"42"},
      {u"42", -3, u"42"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZeroPad(c.text, c.width), c.expected)
        << "text \"" << testing::PrintToString(c.text) << "\" width " << c.width;
  }
}

TEST(TrimZeroDecimals, DropsAZeroFractionAfterTheFirstComma) {
  struct Case {
    std::u16string text;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"1,000", u"1"},     {u"0,000", u"0"},   {u"1,250", u"1,250"}, {u"12", u"12"},
      {u"1.000", u"1.000"}, {u"-3,000", u"-3"}, {u"1,001", u"1,001"}, {u"7,", u"7,"},
      {u"1,0,0", u"1,0,0"}, {u",000", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimZeroDecimals(c.text), c.expected) << testing::PrintToString(c.text);
  }
}

TEST(TrimZeroDecimals, SeeksTheCommaWhateverTheRegionalSeparator) {
  const DecimalSeparatorScope point(u'.');
  EXPECT_EQ(TrimZeroDecimals(u"5,000"), u"5");
  EXPECT_EQ(TrimZeroDecimals(u"5.000"), u"5.000");
}

struct FormatCase {
  double value;
  int decimals;
  std::u16string comma;  // regional separator ","
};

class FormatFixed : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatFixed, WritesTheRegionalSeparator) {
  const FormatCase& c = GetParam();
  {
    const DecimalSeparatorScope comma(u',');
    EXPECT_EQ(formatFixed(c.value, c.decimals), c.comma);
  }
  std::u16string point = c.comma;
  for (char16_t& ch : point) {
    if (ch == u',') ch = u'.';
  }
  const DecimalSeparatorScope separator(u'.');
  EXPECT_EQ(formatFixed(c.value, c.decimals), point);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFixed,
    testing::Values(FormatCase{21.9, 2, u"21,90"}, FormatCase{0, 2, u"0,00"},
                    FormatCase{0.313, 3, u"0,313"}, FormatCase{1.25, 3, u"1,250"},
                    FormatCase{12.5 / 39.9, 3, u"0,313"}, FormatCase{0.05, 2, u"0,05"},
                    FormatCase{99999.0 / 100 / 0.01, 3, u"99999,000"},
                    // No thousands separator.
                    FormatCase{1234567.891, 2, u"1234567,89"},
                    // Halves round away from zero, judged on the shortest decimal text: 1.0005 and
                    // 2.675 lie just below the half in binary.
                    FormatCase{0.0005, 3, u"0,001"}, FormatCase{1.0005, 3, u"1,001"},
                    FormatCase{2.675, 2, u"2,68"}, FormatCase{0.125, 2, u"0,13"},
                    FormatCase{-0.125, 2, u"-0,13"}, FormatCase{0.0004999, 3, u"0,000"},
                    FormatCase{9.9995, 3, u"10,000"}, FormatCase{999.995, 2, u"1000,00"},
                    // Rounding to zero drops the sign.
                    FormatCase{-0.0001, 3, u"0,000"}, FormatCase{-0.0, 2, u"0,00"},
                    FormatCase{-21.9, 2, u"-21,90"}, FormatCase{1e-300, 3, u"0,000"},
                    FormatCase{5e-324, 3, u"0,000"},
                    FormatCase{1e20, 2, u"100000000000000000000,00"}, FormatCase{2.5, 0, u"3"},
                    FormatCase{std::numeric_limits<double>::infinity(), 2, u"INF"},
                    FormatCase{-std::numeric_limits<double>::infinity(), 2, u"-INF"},
                    FormatCase{std::nan(""), 3, u"NAN"}));

TEST(ReadRegionalNumber, ReadsWithTheRegionalSeparatorOnly) {
  struct Case {
    std::u16string text;
    std::optional<double> expected;
  };
  const DecimalSeparatorScope comma(u',');
  const Case cases[] = {
      {u"1,25", 1.25}, {u" 0,313 ", 0.313}, {u"-3", -3.0},     {u"+4,5", 4.5},   {u"12", 12.0},
      {u",5", 0.5},    {u"7,", 7.0},        {u"1,5e2", 150.0}, {u"2E-3", 0.002}, {u"1.25", {}},
      {u"1,2,3", {}},  {u"", {}},           {u"  ", {}},       {u"-", {}},       {u",", {}},
      {u"1e", {}},     {u"1 000", {}},      {u"abc", {}},      {u"inf", {}},     {u"nan", {}},
      {u"0x10", {}},   {u"+-1", {}},        {u"1e999", {}},    {u"12a", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readRegionalNumber(c.text), c.expected) << testing::PrintToString(c.text);
  }
}

TEST(ReadRegionalNumber, ReadsBackWhatFormatFixedWrites) {
  for (const char16_t separator : {u',', u'.'}) {
    const DecimalSeparatorScope scope(separator);
    for (const double value : {0.0, 0.313, 1.25, 21.9, -7.5, 99999.0, 1234.567}) {
      EXPECT_EQ(readRegionalNumber(formatFixed(value, 3)), value) << value;
    }
  }
}

}  // namespace
}  // namespace varnok
