// Property: any tree whose numbers are finite is written and read back into an equal
// tree, except that empty values come back as null, numbers come back rounded to 15
// significant digits, and whole numbers below 10^15 in magnitude come back as integers.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "reference_reader.h"
#include "test_util.h"

namespace varnok::json {
namespace {

using testing::RegionalSeparator;

// Builds random trees, and beside each the tree that reading its text must give.
class TreeGenerator {
 public:
  explicit TreeGenerator(unsigned seed) : random_(seed) {}

  void FillArray(TJsonArray& written, TJsonArray& expected, int depth) {
    const int count = Pick(0, depth > 3 ? 2 : 5);
    for (int i = 0; i < count; ++i) FillValue(written.Add(), expected.Add(), depth + 1);
  }

  void FillObject(TJsonObject& written, TJsonObject& expected, int depth) {
    const int count = Pick(0, depth > 3 ? 2 : 5);
    for (int i = 0; i < count; ++i) {
      // Names repeat now and then: duplicates must survive in order.
      const std::u16string name = Pick(0, 4) == 0 ? u"dup" : Text();
      FillValue(written.Add(name).Value(), expected.Add(name).Value(), depth + 1);
    }
  }

  void FillValue(TJsonValue& written, TJsonValue& expected, int depth) {
    switch (Pick(0, depth > 5 ? 5 : 7)) {
      case 0:
        written.SetIsEmpty(true);
        expected.SetIsNull(true);
        break;
      case 1:
        written.SetIsNull(true);
        expected.SetIsNull(true);
        break;
      case 2: {
        const std::u16string text = Text();
        written.SetAsString(text);
        expected.SetAsString(text);
        break;
      }
      case 3: {
        const std::int64_t integer = Integer();
        written.SetAsInteger(integer);
        expected.SetAsInteger(integer);
        break;
      }
      case 4: {
        const double number = Number();
        written.SetAsNumber(number);
        ExpectNumber(expected, number);
        break;
      }
      case 5: {
        const bool boolean = Pick(0, 1) == 1;
        written.SetAsBoolean(boolean);
        expected.SetAsBoolean(boolean);
        break;
      }
      case 6:
        FillObject(written.AsObject(), expected.AsObject(), depth);
        break;
      default:
        FillArray(written.AsArray(), expected.AsArray(), depth);
        break;
    }
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // Any code units: ASCII, controls, quotes and backslashes, accented letters,
  // surrogate pairs and lone surrogates, U+0000.
  std::u16string Text() {
    static const char16_t kUnits[] = {u'a',      u'Z',      u'0',  u' ',  u'"',    u'\\',
                                      u'/',      u'\b',     u'\t', u'\n', u'\x01', u'\0',
                                      u'\x7f',   u'\x80',   u'é',  u'ç',  u'€',    u'\xD83D',
                                      u'\xDE00', u'\xFFFF', u'{',  u'[',  u':',    u','};
    std::u16string text;
    const int length = Pick(0, 8);
    for (int i = 0; i < length; ++i) text += kUnits[Pick(0, std::size(kUnits) - 1)];
    return text;
  }

  std::int64_t Integer() {
    switch (Pick(0, 3)) {
      case 0:
        return Pick(-1000, 1000);
      case 1:
        return std::numeric_limits<std::int64_t>::min();
      case 2:
        return std::numeric_limits<std::int64_t>::max();
      default:
        return std::uniform_int_distribution<std::int64_t>()(random_);
    }
  }

  // Finite doubles of every scale, whole ones included; none so large that rounding
  // to 15 digits passes the largest double.
  double Number() {
    switch (Pick(0, 4)) {
      case 0:
        return Pick(-100000, 100000);
      case 1:
        return Pick(-100000, 100000) / 8.0;
      case 2:
        return std::uniform_real_distribution<double>(-1.0, 1.0)(random_);
      case 3:
        return (Pick(0, 1) ? -1.0 : 1.0) * std::pow(10.0, Pick(-320, 300)) * 1.2345678901234567;
      default:
        return std::uniform_real_distribution<double>(-1e17, 1e17)(random_);
    }
  }

  // The 15-digit rounding, worked out with the C library's formatting and reading
  // rather than the library's own code.
  static void ExpectNumber(TJsonValue& expected, double number) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.14e", number);
    const double rounded = std::strtod(digits, nullptr);
    if (std::fabs(rounded) < 1e15 && rounded == std::trunc(rounded)) {
      expected.SetAsInteger(static_cast<std::int64_t>(rounded));
    } else {
      expected.SetAsNumber(rounded);
    }
  }

  std::mt19937 random_;
};

TEST(RoundTrip, WrittenTreesReadBackEqualButForTheThreeKnownDifferences) {
  for (const char16_t separator : {u'.', u','}) {
    RegionalSeparator regional(separator);
    TreeGenerator generator(20261211);
    for (int round = 0; round < 400; ++round) {
      TJsonObject written;
      TJsonObject expected;
      generator.FillObject(written, expected, 0);
      const std::u16string text = written.Stringify();
      TJsonObject read;
      ASSERT_NO_THROW(read.Parse(text)) << testing::U8(text);
      ASSERT_EQ(reference::Describe(read), reference::Describe(expected))
          << "round " << round << ": " << testing::U8(text);
      EXPECT_EQ(read.Stringify(), text);
    }
  }
}

TEST(RoundTrip, ArraysAndValuesAsRoots) {
  TreeGenerator generator(7);
  for (int round = 0; round < 200; ++round) {
    TJsonArray written;
    TJsonArray expected;
    generator.FillArray(written, expected, 0);
    TJsonArray read;
    read.Parse(written.Stringify());
    ASSERT_EQ(reference::Describe(read), reference::Describe(expected)) << round;

    TJsonValue value;
    TJsonValue expectedValue;
    generator.FillValue(value, expectedValue, 0);
    TJsonValue readValue;
    readValue.Parse(value.Stringify());
    ASSERT_EQ(reference::Describe(readValue), reference::Describe(expectedValue)) << round;
  }
}

}  // namespace
}  // namespace varnok::json
