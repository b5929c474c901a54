// Reading text into trees: kinds, leniencies, errors and what a failure leaves behind.
#include "test_util.h"

namespace varnok::json {
namespace {

using testing::ErrorOf;
using testing::RegionalSeparator;
using testing::U16;
using testing::U8;

// The text a value parsed from input writes, or the error it raises.
std::string ValueResult(const std::string& input) {
  TJsonValue value;
  try {
    value.Parse(U16(input));
  } catch (const JsonError& error) {
    return std::string("error: ") + error.what();
  }
  return U8(value.Stringify());
}

struct ParseCase {
  const char* input;
  const char* result;
};

TEST(ParseValue, ReadsEveryKind) {
  const ParseCase cases[] = {
      {"[]", "[]"},
      {"[ ]", "[]"},
      {"{}", "{}"},
      {"null", "null"},
      {"NULL", "null"},
      {"Null", "null"},
      {"TRUE", "true"},
      {"False", "false"},
      {"7", "7"},
      {"+7", "7"},
      {"007", "7"},
      {"-0x1F", "-31"},
      {"$10", "16"},
      {"9223372036854775807", "9223372036854775807"},
      {"9223372036854775808", "9.22337203685478E18"},
      {"12.5", "12.5"},
      {"1e3", "1000"},
      {"1E-2", "0.01"},
      {".5", "0.5"},
      {"5.", "5"},
      {"\"a\\u00e9b\"", "\"a\\u00e9b\""},
      {" \t\r\n[1,2,]\n", "[1,2]"},
      {"[1,000]", "[1,0]"},
      {"[1,5]", "[1,5]"},
      {"{\"a\":1,\"a\":2}", "{\"a\":1,\"a\":2}"},
      {"nul", "error: <TJsonValue>\"\" parse error: nul"},
      {"truex", "error: <TJsonValue>\"\" parse error: truex"},
      {"", "error: <TJsonValue>\"\" parse error: "},
      {"1,5", "error: <TJsonValue>\"\" parse error: 1,5"},
      {"1e", "error: <TJsonValue>\"\" parse error: 1e"},
      {"1.2.3", "error: <TJsonValue>\"\" parse error: 1.2.3"},
      {"Infinity", "error: <TJsonValue>\"\" parse error: Infinity"},
      {"NaN", "error: <TJsonValue>\"\" parse error: NaN"},
      {"1e400", "error: <TJsonValue>\"\" parse error: 1e400"},
      {"1e1025", "error: <TJsonValue>\"\" parse error: 1e1025"},
      {"[1,,2]", "error: <TJsonValue>\"\" parse error: "},
      {"[,1]", "error: <TJsonValue>\"\" parse error: "},
      {"[\"abc]", "error: <TJsonValue>\"\" parse error: \"abc"},
      {"{a:1}", "error: <TJsonPair>\"\" parse error: a"},
      {"{\"a\":1:2:3}", "error: <TJsonPair>\"\" parse error: \"a\":1:2:3"},
      {"{\"data\":[1,x]}", "error: <TJsonValue>\"data\" parse error: x"},
      {"\"\\u12G4\"", "error: Invalid unicode \\u12G4"},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(ValueResult(c.input), c.result) << c.input;
}

TEST(ParseValue, ReadsRegionalDecimalSeparatorOutsideArrays) {
  RegionalSeparator comma(u',');
  EXPECT_EQ(ValueResult("1,5"), "1.5");
  EXPECT_EQ(ValueResult("[1,5]"), "[1,5]");
}

TEST(ParseObject, FailsOnTextsThatAreNoObject) {
  const ParseCase cases[] = {
      {"", "<TJsonObject>\"\" parse error: "},
      {"[1]", "<TJsonObject>\"\" parse error: [1]"},
      {" {\"a\":1} x ", "<TJsonObject>\"\" parse error: {\"a\":1} x"},
  };
  for (const ParseCase& c : cases) {
    TJsonObject object;
    EXPECT_EQ(ErrorOf([&] { object.Parse(U16(c.input)); }), c.result) << c.input;
    EXPECT_EQ(object.Count(), 0);
  }
}

}  // namespace
}  // namespace varnok::json
