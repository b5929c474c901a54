// Writing trees as text: Stringify of each node class and the escaper Encode.
#include "test_util.h"

namespace varnok::json {
namespace {

using testing::RegionalSeparator;
using testing::U16;
using testing::U8;

struct EncodeCase {
  std::u16string text;
  const char* encoded;
};

TEST(Encode, EscapesEverythingOutsidePrintableAscii) {
  const EncodeCase cases[] = {
      {u"plain text 123", "plain text 123"},
      {u"\"/\\", "\\\"\\/\\\\"},
      {u"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {u"\x01", "\\u0001"},
      {std::u16string(1, u'\0'), "\\u0000"},
      {u"\x1f", "\\u001f"},
      {u"\x7f", "\x7f"},
      {u"\x80", "\\u0080"},
      {u"é", "\\u00e9"},
      {u"ção", "\\u00e7\\u00e3o"},
      {u"\uABCD", "\\uabcd"},
      {u"\U0001F600", "\\ud83d\\ude00"},
      {u"\xD800", "\\ud800"},
      {u"", ""},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(U8(TJsonBase::Encode(c.text)), c.encoded) << U8(c.text);
  }
}

TEST(Stringify, WritesEachKindOfValue) {
  TJsonValue value;
  EXPECT_EQ(U8(value.Stringify()), "null");
  value.SetIsNull(true);
  EXPECT_EQ(U8(value.Stringify()), "null");
  value.SetAsInteger(-42);
  EXPECT_EQ(U8(value.Stringify()), "-42");
  value.SetAsBoolean(true);
  EXPECT_EQ(U8(value.Stringify()), "true");
  value.SetAsBoolean(false);
  EXPECT_EQ(U8(value.Stringify()), "false");
  value.SetAsString(u"a\"b");
  EXPECT_EQ(U8(value.Stringify()), "\"a\\\"b\"");
  value.SetAsNumber(12.5);
  EXPECT_EQ(U8(value.Stringify()), "12.5");
  value.Clear();
  value.AsArray();
  EXPECT_EQ(U8(value.Stringify()), "[]");
}

TEST(Stringify, NestedTreeHasNoBlanksAndKeepsOrder) {
  TJsonObject object;
  TJsonArray& items = object.Values(u"a").AsArray();
  items.Put(1);
  items.Put(u"x");
  object.Put(u"é", 1.0);
  object.Put(u"a", TJsonNull::null);
  object.Put(u"", TJsonEmpty::empty);
  object.Put(u"o", TJsonObject());
  EXPECT_EQ(U8(object.Stringify()),
            "{\"a\":[1,\"x\"],\"\\u00e9\":1,\"a\":null,\"\":null,\"o\":{}}");
  EXPECT_EQ(U8(object.Items(0).Stringify()), "\"a\":[1,\"x\"]");
  EXPECT_EQ(U8(items.Stringify()), "[1,\"x\"]");
}

TEST(Stringify, NumbersUsePointOnACommaHost) {
  RegionalSeparator comma(u',');
  TJsonObject object;
  object.Put(u"preco", 12.5);
  object.Put(u"peso", 1.0);
  EXPECT_EQ(U8(object.Stringify()), "{\"preco\":12.5,\"peso\":1}");
  EXPECT_EQ(U8(object.Values(u"preco").AsString()), "12.5");
}

}  // namespace
}  // namespace varnok::json
