// Number texts: the writer FloatToJson and the readers JsonToInteger, TryJsonToFloat
// and JsonToFloat, on hosts whose decimal separator is '.' and ','.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "test_util.h"

namespace varnok::json {
namespace {

using testing::ErrorOf;
using testing::RegionalSeparator;
using testing::U16;
using testing::U8;

struct FloatCase {
  double value;
  const char* text;
};

const FloatCase kFloatCases[] = {
    {12.5, "12.5"},
    {1.0, "1"},
    {100.0, "100"},
    {0.35, "0.35"},
    {-2.5, "-2.5"},
    {0.0, "0"},
    {-0.0, "0"},
    {0.0001, "0.0001"},
    {0.000123, "0.000123"},
    {0.00001, "1E-5"},
    {0.0000123, "1.23E-5"},
    {-0.0000123, "-1.23E-5"},
    {1e15, "1E15"},
    {999999999999999.0, "999999999999999"},
    {1.5e20, "1.5E20"},
    {1.0 / 3.0, "0.333333333333333"},
    {0.1 + 0.2, "0.3"},
    {123456789012345678.0, "1.23456789012346E17"},
    {1e-300, "1E-300"},
    {1.7976931348623157e308, "1.79769313486232E308"},
    {5e-324, "4.94065645841247E-324"},
    {9.9999999999999999e14, "1E15"},
    {12345.678, "12345.678"},
    // Not finite: no JSON form, written as null so that the text stays valid JSON.
    {std::numeric_limits<double>::quiet_NaN(), "null"},
    {std::numeric_limits<double>::infinity(), "null"},
    {-std::numeric_limits<double>::infinity(), "null"},
};

TEST(FloatToJson, WritesFifteenDigitsWithPointWhateverTheRegionalSeparator) {
  for (const char16_t separator : {u'.', u','}) {
    RegionalSeparator regional(separator);
    for (const FloatCase& c : kFloatCases) {
      EXPECT_EQ(U8(FloatToJson(c.value)), c.text)
          << "value " << c.value << " separator " << static_cast<char>(separator);
    }
  }
}

// Any finite double is written as its value rounded to 15 significant digits; the
// rounding is worked out here with the C library's formatting instead of the library's
// own path. Short decimals, long ones, random bit patterns and subnormals alike.
TEST(FloatToJson, WritesEveryDoubleRoundedToFifteenDigits) {
  std::mt19937_64 random(42);
  auto check = [](double value) {
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.14e", value);
    const std::string written = U8(FloatToJson(value));
    ASSERT_EQ(std::strtod(written.c_str(), nullptr), std::strtod(rounded, nullptr))
        << rounded << " written " << written;
    ASSERT_EQ(written.find_first_not_of("-0123456789.E"), std::string::npos) << written;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) check(value);
    check(static_cast<double>(static_cast<std::int64_t>(random() % 100000000)) /
          std::pow(10.0, static_cast<int>(random() % 12)));
    check(
        std::ldexp(static_cast<double>(random() % 1000), -1074 + static_cast<int>(random() % 60)));
  }
}

struct IntegerCase {
  const char* text;
  bool valid;
  std::int64_t value;
};

const IntegerCase kIntegerCases[] = {
    {"7", true, 7},
    {"+7", true, 7},
    {"007", true, 7},
    {"-7", true, -7},
    {"  7", true, 7},
    {"-0x1F", true, -31},
    {"$10", true, 16},
    {"x1f", true, 31},
    {"X1F", true, 31},
    {"0Xff", true, 255},
    {"+$10", true, 16},
    {"$FFFFFFFFFFFFFFFF", true, -1},
    {"$0000000000000000001", true, 1},
    {"-$8000000000000000", true, std::numeric_limits<std::int64_t>::min()},
    {"9223372036854775807", true, std::numeric_limits<std::int64_t>::max()},
    {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min()},
    {"9223372036854775808", false, 0},
    {"-9223372036854775809", false, 0},
    {"$10000000000000000", false, 0},
    {"", false, 0},
    {"-", false, 0},
    {"+", false, 0},
    {"$", false, 0},
    {"0x", false, 0},
    {"7 ", false, 0},
    {"\t7", false, 0},
    {"1.0", false, 0},
    {"1e3", false, 0},
    {"--7", false, 0},
    {"$1G", false, 0},
    {"00x1", false, 0},
    {"- 7", false, 0},
    {"\xEF\xBC\x97", false, 0},  // a full-width digit seven
};

TEST(JsonToInteger, ReadsTheIntegerFormAndNothingElse) {
  for (const IntegerCase& c : kIntegerCases) {
    const std::u16string text = U16(c.text);
    EXPECT_EQ(TJsonBase::IsJsonInteger(text), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(JsonToInteger(text), c.value) << c.text;
    } else {
      EXPECT_EQ(ErrorOf([&] { JsonToInteger(text); }),
                std::string("'") + c.text + "' is not a valid integer value");
    }
  }
}

struct NumberCase {
  const char* text;
  // The expected value on a host with '.' and on one with ','; NaN for no number.
  double withPoint;
  double withComma;
};

constexpr double kNo = std::numeric_limits<double>::quiet_NaN();

const NumberCase kNumberCases[] = {
    {"12.5", 12.5, 12.5},
    {"1e3", 1000.0, 1000.0},
    {"1E-2", 0.01, 0.01},
    {".5", 0.5, 0.5},
    {"5.", 5.0, 5.0},
    {"+5", 5.0, 5.0},
    {"-0.25", -0.25, -0.25},
    {"007.5", 7.5, 7.5},
    {" 1.5 ", 1.5, 1.5},
    {"1e+3", 1000.0, 1000.0},
    {"1e0001", 10.0, 10.0},
    {"1e1024", kNo, kNo},
    {"0e1024", 0.0, 0.0},
    {"1e-1024", 0.0, 0.0},
    {"1.7976931348623157e308", 1.7976931348623157e308, 1.7976931348623157e308},
    {"1.8e308", kNo, kNo},
    {"123456789012345678901234567890", 123456789012345678901234567890.0,
     123456789012345678901234567890.0},
    {"1,5", kNo, 1.5},
    {",5", kNo, 0.5},
    {"1.2,3", kNo, kNo},
    {"1e", kNo, kNo},
    {"e3", kNo, kNo},
    {".", kNo, kNo},
    {"1.2.3", kNo, kNo},
    {"Infinity", kNo, kNo},
    {"NaN", kNo, kNo},
    {"1e400", kNo, kNo},
    {"1e1025", kNo, kNo},
    {"1e-1025", kNo, kNo},
    {"0x10", kNo, kNo},
    {"1 000", kNo, kNo},
    {"\t1", kNo, kNo},
    {"", kNo, kNo},
    {"-", kNo, kNo},
};

TEST(TryJsonToFloat, ReadsTheNumberFormWithPointAndRegionalSeparator) {
  for (const char16_t separator : {u'.', u','}) {
    RegionalSeparator regional(separator);
    for (const NumberCase& c : kNumberCases) {
      const double expected = separator == u'.' ? c.withPoint : c.withComma;
      const std::u16string text = U16(c.text);
      double value = -1.0;
      const bool read = TryJsonToFloat(text, value);
      EXPECT_EQ(read, !std::isnan(expected)) << c.text << " with " << char(separator);
      EXPECT_EQ(TJsonBase::IsJsonNumber(text), read) << c.text;
      if (read) {
        EXPECT_EQ(value, expected) << c.text << " with " << char(separator);
      }
    }
  }
}

TEST(JsonToFloat, ErrorShowsTheTextWithPointsReplacedByTheSeparator) {
  EXPECT_EQ(ErrorOf([] { JsonToFloat(u"1.2.3"); }), "'1.2.3' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { JsonToFloat(u"abc"); }), "'abc' is not a valid floating point value");
  RegionalSeparator comma(u',');
  EXPECT_EQ(ErrorOf([] { JsonToFloat(u"1.2.3"); }), "'1,2,3' is not a valid floating point value");
  EXPECT_EQ(JsonToFloat(u"2.5"), 2.5);
}

TEST(DecimalSeparatorSnapshot, IsTakenByEveryNodeConstructor) {
  SetRegionalDecimalSeparator(u',');
  EXPECT_EQ(RegionalDecimalSeparator(), u',');
  TJsonArray array;
  EXPECT_EQ(DecimalSeparatorSnapshot(), u',');
  SetRegionalDecimalSeparator(u'.');
  // Until a node is created the snapshot keeps the old separator.
  EXPECT_EQ(DecimalSeparatorSnapshot(), u',');
  double value = 0.0;
  EXPECT_TRUE(TryJsonToFloat(u"1,5", value));
  array.Add();
  EXPECT_EQ(DecimalSeparatorSnapshot(), u'.');
  EXPECT_FALSE(TryJsonToFloat(u"1,5", value));
}

}  // namespace
}  // namespace varnok::json
