// Reading text into trees: kinds, each leniency on both sides, every parse error, what
// a failure leaves behind, and the nesting limit.
#include <string>
#include <vector>

#include "reference_reader.h"
#include "test_util.h"

namespace varnok::json {
namespace {

using testing::ErrorOf;
using testing::RegionalSeparator;
using testing::U16;
using testing::U8;

// What a root of the given class makes of input: the kinds and content of the tree
// (reference::Describe), or "error: " and the message.
template <typename Root>
std::string Result(const std::string& input) {
  Root root;
  try {
    root.Parse(U16(input));
  } catch (const JsonError& error) {
    return std::string("error: ") + error.what();
  }
  return reference::Describe(root);
}

template <>
std::string Result<TJsonPair>(const std::string& input) {
  TJsonPair pair(nullptr, u"");
  try {
    pair.Parse(U16(input));
  } catch (const JsonError& error) {
    return std::string("error: ") + error.what();
  }
  return reference::Describe(pair);
}

struct Case {
  const char* input;
  const char* result;
};

void ExpectValueResults(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Result<TJsonValue>(c.input), c.result) << c.input;
}

TEST(ParseValue, ReadsEveryKind) {
  ExpectValueResults({
      {"[]", "jvArray=[]"},
      {"{}", "jvObject={}"},
      {"null", "jvNull=null"},
      {"true", "jvBoolean=true"},
      {"false", "jvBoolean=false"},
      {"7", "jvInteger=7"},
      {"-7", "jvInteger=-7"},
      {"12.5", "jvNumber=12.5"},
      {"1e3", "jvNumber=1000"},
      {"1E-2", "jvNumber=0.01"},
      {"9223372036854775807", "jvInteger=9223372036854775807"},
      {"9223372036854775808", "jvNumber=9.2233720368547758e+18"},
      {"-9223372036854775808", "jvInteger=-9223372036854775808"},
      {"\"texto\"", "jvString=\"texto\""},
      {"\"\"", "jvString=\"\""},
      {"[1,\"a\",null,[true],{\"k\":2.5}]",
       "jvArray=[jvInteger=1,jvString=\"a\",jvNull=null,jvArray=[jvBoolean=true],"
       "jvObject={k:jvNumber=2.5}]"},
      {"{\"a\":{\"b\":[]}}", "jvObject={a:jvObject={b:jvArray=[]}}"},
  });
}

TEST(ParseValue, FailsOnTextsThatFitNoKind) {
  ExpectValueResults({
      {"", "error: <TJsonValue>\"\" parse error: "},
      {"   ", "error: <TJsonValue>\"\" parse error: "},
      {"nul", "error: <TJsonValue>\"\" parse error: nul"},
      {"truex", "error: <TJsonValue>\"\" parse error: truex"},
      {"\"", "error: <TJsonValue>\"\" parse error: \""},
      {"\"abc", "error: <TJsonValue>\"\" parse error: \"abc"},
      {"[1", "error: <TJsonValue>\"\" parse error: [1"},
      {"1e", "error: <TJsonValue>\"\" parse error: 1e"},
      {"1.2.3", "error: <TJsonValue>\"\" parse error: 1.2.3"},
      {"Infinity", "error: <TJsonValue>\"\" parse error: Infinity"},
      {"NaN", "error: <TJsonValue>\"\" parse error: NaN"},
      {"1e400", "error: <TJsonValue>\"\" parse error: 1e400"},
      {"1e1025", "error: <TJsonValue>\"\" parse error: 1e1025"},
      {"1,5", "error: <TJsonValue>\"\" parse error: 1,5"},
      {"\xC2\xA0"
       "1",
       "error: <TJsonValue>\"\" parse error: \xC2\xA0"
       "1"},
      {"\xEF\xBB\xBF"
       "1",
       "error: <TJsonValue>\"\" parse error: \xEF\xBB\xBF"
       "1"},
  });
}

// Each leniency of the reader, with what it accepts and where it stops.
TEST(Leniency, TrailingCommaBeforeTheClosingBracket) {
  ExpectValueResults({
      {"[1,2,]", "jvArray=[jvInteger=1,jvInteger=2]"},
      {"[1,2, \n]", "jvArray=[jvInteger=1,jvInteger=2]"},
      {"{\"a\":1,}", "jvObject={a:jvInteger=1}"},
      {"[1,2,,]", "error: <TJsonValue>\"\" parse error: "},
      {"[1,,2]", "error: <TJsonValue>\"\" parse error: "},
      {"[,1]", "error: <TJsonValue>\"\" parse error: "},
      {"[,]", "error: <TJsonValue>\"\" parse error: "},
      {"{\"a\":1,,\"b\":2}", "error: <TJsonPair>\"\" parse error: "},
      {"{,}", "error: <TJsonPair>\"\" parse error: "},
  });
}

TEST(Leniency, LiteralsInAnyLetterCase) {
  ExpectValueResults({
      {"NULL", "jvNull=null"},
      {"Null", "jvNull=null"},
      {"TRUE", "jvBoolean=true"},
      {"False", "jvBoolean=false"},
      {"fALSE", "jvBoolean=false"},
      {"nulL ", "jvNull=null"},
      {"nul", "error: <TJsonValue>\"\" parse error: nul"},
      {"truex", "error: <TJsonValue>\"\" parse error: truex"},
      {"t", "error: <TJsonValue>\"\" parse error: t"},
  });
}

TEST(Leniency, IntegerSignsLeadingZerosAndHexadecimal) {
  ExpectValueResults({
      {"+7", "jvInteger=7"},
      {"007", "jvInteger=7"},
      {"-0x1F", "jvInteger=-31"},
      {"$10", "jvInteger=16"},
      {"x10", "jvInteger=16"},
      {"0X10", "jvInteger=16"},
      {"[1,000]", "jvArray=[jvInteger=1,jvInteger=0]"},
      {"++7", "error: <TJsonValue>\"\" parse error: ++7"},
      {"0x", "error: <TJsonValue>\"\" parse error: 0x"},
      {"$G", "error: <TJsonValue>\"\" parse error: $G"},
      {"0x1.5", "error: <TJsonValue>\"\" parse error: 0x1.5"},
  });
}

TEST(Leniency, NumbersWithDigitsOnOneSideOfThePoint) {
  ExpectValueResults({
      {".5", "jvNumber=0.5"},
      {"5.", "jvNumber=5"},
      {"+.5e1", "jvNumber=5"},
      {"-5.e-1", "jvNumber=-0.5"},
      {".", "error: <TJsonValue>\"\" parse error: ."},
      {".e1", "error: <TJsonValue>\"\" parse error: .e1"},
      {"5.5.", "error: <TJsonValue>\"\" parse error: 5.5."},
  });
}

TEST(Leniency, RegionalDecimalSeparatorAsPoint) {
  {
    RegionalSeparator comma(u',');
    ExpectValueResults({
        {"1,5", "jvNumber=1.5"},
        {"1.5", "jvNumber=1.5"},
        {"{\"a\":2,5}", "error: <TJsonPair>\"\" parse error: 5"},
        {"[1,5]", "jvArray=[jvInteger=1,jvInteger=5]"},
        {"1,5,1", "error: <TJsonValue>\"\" parse error: 1,5,1"},
    });
  }
  ExpectValueResults({{"1,5", "error: <TJsonValue>\"\" parse error: 1,5"}});
}

TEST(Leniency, StringsWhoseFirstAndLastCharactersAreQuotes) {
  ExpectValueResults({
      {"\"a\tb\nc\"", "jvString=\"a\\tb\\nc\""},
      {"\"a\"b\"", "jvString=\"a\\\"b\""},
      {"\"\"\"", "jvString=\"\\\"\""},
      {"[\"a\"b\"]", "jvArray=[jvString=\"a\\\"b\"]"},
      {"[\"a\" \"b\"]", "jvArray=[jvString=\"a\\\" \\\"b\"]"},
      {"\"a\" x", "error: <TJsonValue>\"\" parse error: \"a\" x"},
  });
}

TEST(Leniency, EscapesOfAnyCharacterAndShortUnicodeAtTheEnd) {
  ExpectValueResults({
      {"\"a\\u00e9b\"", "jvString=\"a\\u00e9b\""},
      {"\"\\uD83D\\uDE00\"", "jvString=\"\\ud83d\\ude00\""},
      {"\"\\q\"", "jvString=\"q\""},
      {"\"\\u41\"", "jvString=\"A\""},
      {"\"\\\"", "jvString=\"\""},
      {"\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"", "jvString=\"\\\"\\/\\\\\\b\\f\\n\\r\\t\""},
      {"\"\\uDE00x\"", "jvString=\"\\ude00x\""},
      {"\"\\u0041BC\"", "jvString=\"ABC\""},
      {"\"\\u12G4\"", "error: Invalid unicode \\u12G4"},
      {"\"\\u\"", "error: Invalid unicode \\u"},
      {"\"\\uG\"", "error: Invalid unicode \\uG"},
      {"\"\\u 41\"", "error: Invalid unicode \\u 41"},
      {"{\"a\\uZ\":1}", "error: Invalid unicode \\uZ"},
  });
}

TEST(Leniency, ControlCharactersCountAsWhitespace) {
  ExpectValueResults({
      {"\x01[\x02"
       "1\x03,\x1f"
       "2\x04]\x05",
       "jvArray=[jvInteger=1,jvInteger=2]"},
      {"{\t\"a\"\r:\n1\x0b}", "jvObject={a:jvInteger=1}"},
      {"\"\x01\"", "jvString=\"\\u0001\""},
      {"\x7f"
       "1",
       "error: <TJsonValue>\"\" parse error: \x7f"
       "1"},
  });
}

TEST(Leniency, MemberNamesAreNotCompared) {
  TJsonObject object;
  object.Parse(u"{\"a\":1,\"A\":2,\"a\":3}");
  EXPECT_EQ(object.Count(), 3);
  EXPECT_EQ(object.Values(u"a").AsInteger(), 1);
  object.Delete(u"A");
  EXPECT_EQ(U8(object.Stringify()), "{\"A\":2,\"a\":3}");
}

TEST(Leniency, ColonsOfAMember) {
  ExpectValueResults({
      {"{\"a:b\":\"c:d\"}", "jvObject={a:b:jvString=\"c:d\"}"},
      {"{\"a\":{\"b\":1}}", "jvObject={a:jvObject={b:jvInteger=1}}"},
      // An empty part after the last colon is dropped like an empty last item.
      {"{\"a\":1:}", "jvObject={a:jvInteger=1}"},
      {"{\"a\"::1}", "error: <TJsonPair>\"\" parse error: \"a\"::1"},
      {"{\"a\":1:2}", "error: <TJsonPair>\"\" parse error: \"a\":1:2"},
      {"{\"a\"}", "error: <TJsonPair>\"\" parse error: \"a\""},
      {"{\"a\":}", "error: <TJsonPair>\"\" parse error: \"a\":"},
      {"{:1}", "error: <TJsonPair>\"\" parse error: "},
      {"{a:1}", "error: <TJsonPair>\"\" parse error: a"},
      {"{'a':1}", "error: <TJsonPair>\"\" parse error: 'a'"},
      {"{\"a\" x:1}", "error: <TJsonPair>\"\" parse error: \"a\" x"},
  });
}

TEST(Cutting, QuotesAndBracketsHideDelimitersUntilTheirOwnCloser) {
  ExpectValueResults({
      {"[\"a,b\",\"c\"]", "jvArray=[jvString=\"a,b\",jvString=\"c\"]"},
      {"[\"a\\\",b\"]", "jvArray=[jvString=\"a\\\",b\"]"},
      {"[\"a\\\\\",\"b\"]", "jvArray=[jvString=\"a\\\\\",jvString=\"b\"]"},
      {"[[1,2],[3]]", "jvArray=[jvArray=[jvInteger=1,jvInteger=2],jvArray=[jvInteger=3]]"},
      {"[\"]\",1]", "jvArray=[jvString=\"]\",jvInteger=1]"},
      // Inside brackets a backslash means nothing, nor does the other bracket's closer.
      // ... so the quote in [\"] opens a quoted run that takes the rest of the text.
      {"[[\\\"],1]", "error: <TJsonValue>\"\" parse error: [\\\"],1"},
      {"[{],1}]", "error: <TJsonPair>\"\" parse error: ]"},
      {"[[}],1]", "error: <TJsonValue>\"\" parse error: }"},
      // An opener never closed takes the rest of the text into its item.
      {"[\"abc]", "error: <TJsonValue>\"\" parse error: \"abc"},
      {"[[1,2]", "error: <TJsonValue>\"\" parse error: [1,2"},
      {"[1,{\"a\":[2,3}]", "error: <TJsonValue>\"a\" parse error: [2,3"},
      {"[[1]]]", "error: <TJsonValue>\"\" parse error: 1]"},
  });
}

TEST(ParseObject, FailsOnTextsThatAreNoObject) {
  const Case cases[] = {
      {"", "error: <TJsonObject>\"\" parse error: "},
      {"[1]", "error: <TJsonObject>\"\" parse error: [1]"},
      {" {\"a\":1} x ", "error: <TJsonObject>\"\" parse error: {\"a\":1} x"},
      {"\"{}\"", "error: <TJsonObject>\"\" parse error: \"{}\""},
      {"{", "error: <TJsonObject>\"\" parse error: {"},
      {" { } ", "{}"},
  };
  for (const Case& c : cases) EXPECT_EQ(Result<TJsonObject>(c.input), c.result) << c.input;
}

TEST(ParseArray, FailsOnTextsThatAreNoArray) {
  const Case cases[] = {
      {"", "error: <TJsonArray>\"\" parse error: "},
      {"{}", "error: <TJsonArray>\"\" parse error: {}"},
      {"]", "error: <TJsonArray>\"\" parse error: ]"},
      {"\t[ ]\n", "[]"},
      {"[\"a\",{\"b\":[null]}]", "[jvString=\"a\",jvObject={b:jvArray=[jvNull=null]}]"},
  };
  for (const Case& c : cases) EXPECT_EQ(Result<TJsonArray>(c.input), c.result) << c.input;
}

TEST(ParsePair, ReadsOneMember) {
  const Case cases[] = {
      {" \"nome\" : [1] ", "nome:jvArray=[jvInteger=1]"},
      {"\"\\u00e9\":null", "\\u00e9:jvNull=null"},
      {"\"a\":", "error: <TJsonPair>\"\" parse error: \"a\":"},
      {"", "error: <TJsonPair>\"\" parse error: "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Result<TJsonPair>(c.input), c.result) << c.input;
  }
}

TEST(ParseErrors, NameTheNearestEnclosingMember) {
  ExpectValueResults({
      {"{\"data\":[1,x]}", "error: <TJsonValue>\"data\" parse error: x"},
      {"{\"data\":[{\"preco_venda\":abc}]}", "error: <TJsonValue>\"preco_venda\" parse error: abc"},
      {"{\"data\":[{\"preco_venda\":[1,]x]}]}",
       "error: <TJsonValue>\"preco_venda\" parse error: ]x"},
      {"{\"a\":{\"b\" 1}}", "error: <TJsonPair>\"a\" parse error: \"b\" 1"},
      {"{\"a\":{x}}", "error: <TJsonPair>\"a\" parse error: x"},
      {"{\"a\":[{\"b\":1},{]}", "error: <TJsonValue>\"a\" parse error: {"},
      {"{\"a\": 1, b}", "error: <TJsonPair>\"\" parse error: b"},
      {"{\"m\":\"\\uXYZW\"}", "error: Invalid unicode \\uXYZW"},
  });
}

// After a failure nothing is rolled back: what was read stays, and so does the child
// that failed, in the state the failure left it.
TEST(StateAfterFailure, EarlierItemsStayAndTheFailingChildIsLeftAsItStopped) {
  struct StateCase {
    const char* input;
    const char* error;
    const char* tree;
  };
  const StateCase cases[] = {
      {"[1,\"a\",x,2]", "<TJsonValue>\"\" parse error: x",
       "jvArray=[jvInteger=1,jvString=\"a\",jvNone=null]"},
      {"[1,\"\\uZZZZ\",2]", "Invalid unicode \\uZZZZ", "jvArray=[jvInteger=1,jvString=\"\"]"},
      {"[1,[2,[3,x]],4]", "<TJsonValue>\"\" parse error: x",
       "jvArray=[jvInteger=1,jvArray=[jvInteger=2,jvArray=[jvInteger=3,jvNone=null]]]"},
      {"{\"a\":1,\"b\":{\"c\":2,\"d\"},\"e\":3}", "<TJsonPair>\"b\" parse error: \"d\"",
       "jvObject={a:jvInteger=1,b:jvObject={c:jvInteger=2,:jvNone=null}}"},
      {"{\"a\":1,\"b\":[2,{x}]}", "<TJsonPair>\"b\" parse error: x",
       "jvObject={a:jvInteger=1,b:jvArray=[jvInteger=2,jvObject={:jvNone=null}]}"},
      {"{\"a\":1,\"\\u0G\":2}", "Invalid unicode \\u0G", "jvObject={a:jvInteger=1,:jvNone=null}"},
  };
  for (const StateCase& c : cases) {
    TJsonValue value;
    EXPECT_EQ(ErrorOf([&] { value.Parse(U16(c.input)); }), c.error) << c.input;
    EXPECT_EQ(reference::Describe(value), c.tree) << c.input;
  }
}

TEST(StateAfterFailure, ARootLosesItsOldContentFirst) {
  TJsonArray array;
  array.Parse(u"[1,2]");
  EXPECT_EQ(ErrorOf([&] { array.Parse(u"{}"); }), "<TJsonArray>\"\" parse error: {}");
  EXPECT_EQ(array.Count(), 0);
  TJsonObject object;
  object.Parse(u"{\"a\":1}");
  EXPECT_EQ(ErrorOf([&] { object.Parse(u"x"); }), "<TJsonObject>\"\" parse error: x");
  EXPECT_EQ(object.Count(), 0);
  TJsonValue value;
  value.Parse(u"[1]");
  EXPECT_EQ(ErrorOf([&] { value.Parse(u"?"); }), "<TJsonValue>\"\" parse error: ?");
  EXPECT_TRUE(value.IsEmpty());
}

TEST(StateAfterFailure, APairThatCannotBeCutKeepsItsNameAndValue) {
  TJsonPair pair(nullptr, u"antigo");
  pair.Value().SetAsInteger(1);
  const Case cases[] = {
      {"\"a\":1:2", "<TJsonPair>\"\" parse error: \"a\":1:2"},
      {"a:1", "<TJsonPair>\"\" parse error: a"},
      {"\"\\uQ\":1", "Invalid unicode \\uQ"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { pair.Parse(U16(c.input)); }), c.result) << c.input;
    EXPECT_EQ(U8(pair.Stringify()), "\"antigo\":1") << c.input;
  }
  // A value that fails is the pair's own value: the new name stays, the value empties.
  EXPECT_EQ(ErrorOf([&] { pair.Parse(u"\"novo\":x"); }), "<TJsonValue>\"novo\" parse error: x");
  EXPECT_EQ(pair.Name(), u"novo");
  EXPECT_TRUE(pair.Value().IsEmpty());
}

TEST(Parse, ReplacesTheContentOnEveryCall) {
  TJsonObject object;
  object.Parse(u"{\"a\":1}");
  object.Parse(u"{\"b\":[2]}");
  EXPECT_EQ(U8(object.Stringify()), "{\"b\":[2]}");
  EXPECT_EQ(object.Items(0).Owner(), &object);
  EXPECT_EQ(object.Values(u"b").AsArray().Owner(), &object.Values(u"b"));
}

// ---- Nesting limit ---------------------------------------------------------------------

std::string Nested(int depth, const std::string& open, const std::string& inner,
                   const std::string& close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += inner;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(NestingLimit, TheDeepestAcceptedTreeIsReadCopiedWrittenAndDestroyed) {
  const std::string arrays = Nested(kMaxNestingDepth, "[", "1", "]");
  auto value = std::make_unique<TJsonValue>();
  value->Parse(U16(arrays));
  EXPECT_EQ(U8(value->Stringify()), arrays);
  TJsonValue copy;
  copy.Assign(value.get());
  value.reset();
  EXPECT_EQ(U8(copy.Stringify()), arrays);

  const std::string objects = Nested(kMaxNestingDepth - 1, "{\"a\":", "[]", "}");
  TJsonObject root;
  EXPECT_EQ(ErrorOf([&] { root.Parse(U16(objects)); }), "(no error)");
  EXPECT_EQ(U8(root.Stringify()), objects);
}

TEST(NestingLimit, OneLevelMoreFailsAtTheArrayThatIsTooDeep) {
  const std::string tooDeep = Nested(kMaxNestingDepth + 1, "[", "", "]");
  TJsonArray root;
  EXPECT_EQ(ErrorOf([&] { root.Parse(U16(tooDeep)); }), "<TJsonArray>\"\" parse error: []");
  // Every level above the refused one was read, and the refused array stays behind as
  // an empty item of the deepest accepted one.
  EXPECT_EQ(U8(root.Stringify()), tooDeep);
  TJsonArray* level = &root;
  for (int depth = 1; depth < kMaxNestingDepth; ++depth) {
    ASSERT_EQ(level->Count(), 1) << "depth " << depth;
    level = &level->Items(0).AsArray();
  }
  ASSERT_EQ(level->Count(), 1);
  EXPECT_EQ(level->Items(0).AsArray().Count(), 0);

  const std::string objects = Nested(kMaxNestingDepth, "{\"k\":", "{}", "}");
  TJsonValue value;
  EXPECT_EQ(ErrorOf([&] { value.Parse(U16(objects)); }), "<TJsonObject>\"k\" parse error: {}");
}

TEST(NestingLimit, AHundredThousandLevelsFailWithoutExhaustingTheStack) {
  const std::string deep = Nested(100000, "[", "", "]");
  TJsonValue value;
  const std::string error = ErrorOf([&] { value.Parse(U16(deep)); });
  EXPECT_EQ(error,
            "<TJsonArray>\"\" parse error: " + Nested(100000 - kMaxNestingDepth, "[", "", "]"));
  const std::string unclosed(100000, '[');
  EXPECT_EQ(ErrorOf([&] { value.Parse(U16(unclosed)); }),
            "<TJsonValue>\"\" parse error: " + unclosed);
}

// A tree built through the interface has no depth limit; destroying, copying and
// writing it use no recursion.
TEST(NestingLimit, TreesBuiltDeeperThanTheLimitAreCopiedWrittenAndDestroyed) {
  constexpr int kDepth = 200000;
  auto root = std::make_unique<TJsonArray>();
  TJsonArray* level = root.get();
  for (int i = 0; i < kDepth; ++i) level = &level->Add().AsArray();
  const std::u16string text = root->Stringify();
  EXPECT_EQ(text.size(), 2u * (kDepth + 1));
  TJsonArray copy;
  copy.Assign(root.get());
  EXPECT_EQ(copy.Stringify(), text);
  root.reset();
  copy.Clear();
  EXPECT_EQ(U8(copy.Stringify()), "[]");
}

// ---- The text helpers of the reader ------------------------------------------------------

TEST(Split, CutsAtTopLevelDelimitersAndAppends) {
  struct SplitCase {
    const char* text;
    char16_t delimiter;
    std::vector<std::string> items;
  };
  const SplitCase cases[] = {
      {"1, 2 ,3", u',', {"1", "2", "3"}},
      {"1,2,", u',', {"1", "2"}},
      {",1,,2", u',', {"", "1", "", "2"}},
      {"", u',', {}},
      {" ", u',', {}},
      {"\"a,b\",[1,2],{\"c\":3,\"d\":4}", u',', {"\"a,b\"", "[1,2]", "{\"c\":3,\"d\":4}"}},
      {"\"a\":\"b:c\":{\"d\":1}", u':', {"\"a\"", "\"b:c\"", "{\"d\":1}"}},
      {"[1,\"]\",2],3", u',', {"[1,\"]\",2]", "3"}},
      {"\"x\\\",y\",z", u',', {"\"x\\\",y\"", "z"}},
      {"[\\\"],1", u',', {"[\\\"],1"}},
      {"\"abc,def", u',', {"\"abc,def"}},
  };
  for (const SplitCase& c : cases) {
    std::vector<std::u16string> strings{u"before"};
    TJsonBase::Split(U16(c.text), c.delimiter, strings);
    std::vector<std::string> items;
    for (std::size_t i = 1; i < strings.size(); ++i) items.push_back(U8(strings[i]));
    EXPECT_EQ(strings.front(), u"before") << c.text;
    EXPECT_EQ(items, c.items) << c.text;
  }
}

TEST(Decode, ResolvesEscapesAndNeverGrows) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"a\\u00e9b", u"aéb"},
      {u"\\uD83D\\uDE00", u"\U0001F600"},
      {u"\\q", u"q"},
      {u"\\u41", u"A"},
      {u"\\", u""},
      {u"a\"b", u"a\"b"},
      {u"\\\\\\\"\\/", u"\\\"/"},
      {u"\\b\\f\\n\\r\\t", u"\b\f\n\r\t"},
      {u"\\u004a\\u004A", u"JJ"},
  };
  for (const auto& [body, decoded] : cases) {
    EXPECT_EQ(TJsonBase::Decode(body), decoded) << U8(body);
    EXPECT_LE(TJsonBase::Decode(body).size(), body.size());
  }
  EXPECT_EQ(ErrorOf([] { TJsonBase::Decode(u"\\u12G4"); }), "Invalid unicode \\u12G4");
  EXPECT_EQ(ErrorOf([] { TJsonBase::Decode(u"x\\u"); }), "Invalid unicode \\u");
}

TEST(KindDecision, FirstAndLastCharactersThenTrialConversions) {
  const std::pair<const char*, TJsonValueType> cases[] = {
      {" {x} ", TJsonValueType::jvObject},
      {"[}", TJsonValueType::jvNone},
      {"[x]", TJsonValueType::jvArray},
      {"\"x", TJsonValueType::jvNone},
      {"\"\"", TJsonValueType::jvString},
      {"\"", TJsonValueType::jvNone},
      {"NuLL", TJsonValueType::jvNull},
      {"TrUe", TJsonValueType::jvBoolean},
      {"7", TJsonValueType::jvInteger},
      {"7.0", TJsonValueType::jvNumber},
      {"", TJsonValueType::jvNone},
      {"x", TJsonValueType::jvNone},
      {"\t-0x10\n", TJsonValueType::jvInteger},
  };
  for (const auto& [text, type] : cases) {
    EXPECT_EQ(TJsonBase::AnalyzeJsonValueType(U16(text)), type) << text;
  }
}

TEST(Predicates, TrimOnlyForTheBracketedKinds) {
  EXPECT_TRUE(TJsonBase::IsJsonObject(u" {} "));
  EXPECT_TRUE(TJsonBase::IsJsonArray(u"\n[]\t"));
  EXPECT_TRUE(TJsonBase::IsJsonString(u" \"\" "));
  EXPECT_FALSE(TJsonBase::IsJsonObject(u"{"));
  EXPECT_FALSE(TJsonBase::IsJsonString(u"\""));
  EXPECT_TRUE(TJsonBase::IsJsonNull(u"nUlL"));
  EXPECT_FALSE(TJsonBase::IsJsonNull(u" null"));
  EXPECT_TRUE(TJsonBase::IsJsonBoolean(u"FALSE"));
  EXPECT_FALSE(TJsonBase::IsJsonBoolean(u"true "));
  EXPECT_TRUE(TJsonBase::IsJsonInteger(u"  12"));
  EXPECT_FALSE(TJsonBase::IsJsonInteger(u"12 "));
  EXPECT_TRUE(TJsonBase::IsJsonNumber(u" 1.5 "));
  EXPECT_FALSE(TJsonBase::IsJsonNumber(u"\t1.5"));
}

// The library's reader jumps over nested items; the plain reference reader walks every
// character. Both must build the same tree and raise the same error on texts made to
// mislead a reader that matches brackets the usual way.
TEST(Cutting, AgreesWithThePlainReaderOnAwkwardTexts) {
  const char* texts[] = {
      "[ { ] } , [ \"}\" ] , \"\\\\\" ]",
      "{\"a\":[{\"b\":\"]}\"},{]}]}",
      "[\"a\\\\\\\"b\",[\\\"],\"c\"]",
      "[[[\"]]]\"]]]",
      "[{\"a\":\"b\" \"c\":1}]",
      "{\"a\":[1,2]]:3}",
      "[\"\\\",1]",
      "{\"x\":{\"y\":[1,{\"z\":\"}]\"}]},\"w\":[[],{}]}",
      "[1,[2,[3,[4,\"5]]]]\"]]]]",
      "[\"abc]",
      "{\"a\":\"\\\"\":\"b\"}",
      "[{}{},[][]]",
  };
  for (const char* text : texts) {
    for (const char16_t separator : {u'.', u','}) {
      RegionalSeparator regional(separator);
      TJsonValue library;
      TJsonValue plain;
      const std::string libraryError = ErrorOf([&] { library.Parse(U16(text)); });
      const std::string plainError = ErrorOf([&] { reference::ParseValue(plain, U16(text)); });
      EXPECT_EQ(libraryError, plainError) << text;
      EXPECT_EQ(reference::Describe(library), reference::Describe(plain)) << text;
    }
  }
}

}  // namespace
}  // namespace varnok::json
