// The node classes: kinds and their conversions, ownership, copies, lookup and errors.
#include <cmath>
#include <limits>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

#include "test_util.h"

namespace varnok::json {
namespace {

using testing::ErrorOf;
using testing::RegionalSeparator;
using testing::U16;
using testing::U8;

// ---- Reading the scalar properties of each kind -------------------------------------

struct Reading {
  std::string asString;
  std::string asInteger;
  std::string asNumber;
  std::string asBoolean;
};

// Each property as text, or the error it raises.
Reading ReadAll(const TJsonValue& value) {
  Reading reading;
  auto readOr = [](auto read) {
    try {
      return read();
    } catch (const JsonError& error) {
      return std::string(error.what());
    }
  };
  reading.asString = readOr([&] { return U8(value.AsString()); });
  reading.asInteger = readOr([&] { return std::to_string(value.AsInteger()); });
  reading.asNumber = readOr([&] { return U8(FloatToJson(value.AsNumber())); });
  reading.asBoolean = readOr([&] { return std::string(value.AsBoolean() ? "true" : "false"); });
  return reading;
}

void ExpectReading(const TJsonValue& value, const Reading& expected, const std::string& what) {
  const Reading actual = ReadAll(value);
  EXPECT_EQ(actual.asString, expected.asString) << what << ": AsString";
  EXPECT_EQ(actual.asInteger, expected.asInteger) << what << ": AsInteger";
  EXPECT_EQ(actual.asNumber, expected.asNumber) << what << ": AsNumber";
  EXPECT_EQ(actual.asBoolean, expected.asBoolean) << what << ": AsBoolean";
}

TEST(TJsonValue, NewValueIsEmpty) {
  TJsonValue value;
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_FALSE(value.IsNull());
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvNone);
  EXPECT_EQ(value.Owner(), nullptr);
  ExpectReading(value, {"", "0", "0", "false"}, "new value");
  EXPECT_EQ(U8(value.Stringify()), "null");
}

TEST(TJsonValue, ReadsEachKindThroughEachScalarProperty) {
  TJsonValue value;
  value.SetIsNull(true);
  ExpectReading(value, {"", "0", "0", "false"}, "null");
  value.SetAsInteger(-42);
  ExpectReading(value, {"-42", "-42", "-42", "true"}, "integer");
  value.SetAsInteger(0);
  ExpectReading(value, {"0", "0", "0", "false"}, "integer 0");
  value.SetAsNumber(12.5);
  // A number reads as integer 0: it is neither truncated nor rounded.
  ExpectReading(value, {"12.5", "0", "12.5", "true"}, "number");
  value.SetAsNumber(0.0);
  ExpectReading(value, {"0", "0", "0", "false"}, "number 0");
  value.SetAsNumber(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(value.AsBoolean()) << "a NaN reads true";
  value.SetAsBoolean(true);
  ExpectReading(value, {"true", "1", "1", "true"}, "true");
  value.SetAsBoolean(false);
  ExpectReading(value, {"false", "0", "0", "false"}, "false");
}

TEST(TJsonValue, ReadsTextThroughTheNumberReaders) {
  struct Case {
    const char* text;
    Reading expected;
  };
  const Case cases[] = {
      {"42", {"42", "42", "42", "false"}},
      {"-0x1F", {"-0x1F", "-31", "'-0x1F' is not a valid floating point value", "false"}},
      {"2.5", {"2.5", "'2.5' is not a valid integer value", "2.5", "false"}},
      {"TRUE",
       {"TRUE", "'TRUE' is not a valid integer value", "'TRUE' is not a valid floating point value",
        "true"}},
      {"tRuE",
       {"tRuE", "'tRuE' is not a valid integer value", "'tRuE' is not a valid floating point value",
        "true"}},
      {"1", {"1", "1", "1", "false"}},
      {"yes",
       {"yes", "'yes' is not a valid integer value", "'yes' is not a valid floating point value",
        "false"}},
      {"",
       {"", "'' is not a valid integer value", "'' is not a valid floating point value", "false"}},
  };
  for (const Case& c : cases) {
    TJsonValue value;
    value.SetAsString(U16(c.text));
    ExpectReading(value, c.expected, c.text);
  }
}

TEST(TJsonValue, ReadsTextWithTheRegionalSeparator) {
  RegionalSeparator comma(u',');
  TJsonValue value;
  value.SetAsString(u"1,5");
  EXPECT_EQ(value.AsNumber(), 1.5);
  value.SetAsString(u"1.5");
  EXPECT_EQ(value.AsNumber(), 1.5);
  value.SetAsString(u"1.5.1");
  EXPECT_EQ(ErrorOf([&] { value.AsNumber(); }), "'1,5,1' is not a valid floating point value");
}

TEST(TJsonValue, ContainersRefuseScalarReadsAndChangeNothing) {
  TJsonObject root;
  root.Values(u"lista").AsArray().Put(1);
  root.Values(u"obj").AsObject();
  const TJsonValue& list = root.Values(u"lista");
  ExpectReading(list,
                {"<TJsonValue>\"lista\" value type error: jvArray to jvString",
                 "<TJsonValue>\"lista\" value type error: jvArray to jvInteger",
                 "<TJsonValue>\"lista\" value type error: jvArray to jvNumber",
                 "<TJsonValue>\"lista\" value type error: jvArray to jvBoolean"},
                "array");
  ExpectReading(root.Values(u"obj"),
                {"<TJsonValue>\"obj\" value type error: jvObject to jvString",
                 "<TJsonValue>\"obj\" value type error: jvObject to jvInteger",
                 "<TJsonValue>\"obj\" value type error: jvObject to jvNumber",
                 "<TJsonValue>\"obj\" value type error: jvObject to jvBoolean"},
                "object");
  EXPECT_EQ(U8(root.Stringify()), "{\"lista\":[1],\"obj\":{}}");
}

TEST(TJsonValue, AsObjectAndAsArrayCreateOnlyFromEmpty) {
  TJsonValue value;
  TJsonObject& object = value.AsObject();
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvObject);
  EXPECT_EQ(object.Owner(), &value);
  EXPECT_EQ(&value.AsObject(), &object) << "reading again returns the same object";
  EXPECT_EQ(ErrorOf([&] { value.AsArray(); }),
            "<TJsonValue>\"\" value type error: jvObject to jvArray");

  TJsonValue null;
  null.SetIsNull(true);
  EXPECT_EQ(ErrorOf([&] { null.AsObject(); }),
            "<TJsonValue>\"\" value type error: jvNull to jvObject");
  EXPECT_EQ(ErrorOf([&] { null.AsArray(); }),
            "<TJsonValue>\"\" value type error: jvNull to jvArray");
  EXPECT_TRUE(null.IsNull());

  TJsonValue text;
  text.SetAsString(u"x");
  EXPECT_EQ(ErrorOf([&] { text.AsArray(); }),
            "<TJsonValue>\"\" value type error: jvString to jvArray");
  EXPECT_EQ(text.AsString(), u"x");
}

TEST(TJsonValue, SettingAPropertyChangesTheKindAndClearsTheRest) {
  TJsonValue value;
  value.AsArray().Put(1);
  value.SetAsString(u"texto");
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvString);
  value.SetAsInteger(5);
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvInteger);
  value.SetAsNumber(2.5);
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvNumber);
  value.SetAsBoolean(true);
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvBoolean);
  // The old text does not come back when the kind returns to text.
  value.SetAsString(u"novo");
  EXPECT_EQ(value.AsString(), u"novo");
  value.SetAsString(std::u16string_view(value.AsString()).substr(1));
  EXPECT_EQ(value.AsString(), u"ovo");
}

TEST(TJsonValue, IsNullAndIsEmptyChooseTheirKind) {
  struct Case {
    const char* what;
    bool setNull;  // true: SetIsNull, false: SetIsEmpty
    bool to;
    TJsonValueType expected;
  };
  const Case cases[] = {
      {"IsNull true", true, true, TJsonValueType::jvNull},
      {"IsNull false", true, false, TJsonValueType::jvNone},
      {"IsEmpty true", false, true, TJsonValueType::jvNone},
      {"IsEmpty false", false, false, TJsonValueType::jvNull},
  };
  for (const Case& c : cases) {
    TJsonValue text;
    text.SetAsString(u"x");
    c.setNull ? text.SetIsNull(c.to) : text.SetIsEmpty(c.to);
    EXPECT_EQ(text.ValueType(), c.expected) << c.what << " on a text";
    EXPECT_EQ(text.AsString(), u"") << c.what;
    TJsonValue number;
    number.SetAsNumber(3.0);
    c.setNull ? number.SetIsNull(c.to) : number.SetIsEmpty(c.to);
    EXPECT_EQ(number.ValueType(), c.expected) << c.what << " on a number";
  }
  // Setting the kind a value already has changes nothing.
  TJsonValue null;
  null.SetIsNull(true);
  null.SetIsEmpty(false);
  EXPECT_TRUE(null.IsNull());
}

// ---- Ownership ---------------------------------------------------------------------------

TEST(Ownership, EveryChildNamesItsCreatorAsOwner) {
  TJsonObject root;
  TJsonPair& pair = root.Add(u"data");
  TJsonArray& array = pair.Value().AsArray();
  TJsonValue& item = array.Add();
  TJsonObject& inner = item.AsObject();
  EXPECT_EQ(root.Owner(), nullptr);
  EXPECT_EQ(pair.Owner(), &root);
  EXPECT_EQ(pair.Value().Owner(), &pair);
  EXPECT_EQ(array.Owner(), &pair.Value());
  EXPECT_EQ(item.Owner(), &array);
  EXPECT_EQ(inner.Owner(), &item);
  inner.Put(u"preco_venda", TJsonObject());
  EXPECT_EQ(ErrorOf([&] { inner.Values(u"preco_venda").AsNumber(); }),
            "<TJsonValue>\"preco_venda\" value type error: jvObject to jvNumber");
  // An item of the array under data names data.
  EXPECT_EQ(ErrorOf([&] { item.AsInteger(); }),
            "<TJsonValue>\"data\" value type error: jvObject to jvInteger");
}

TEST(Ownership, CopiesAreOwnedByTheirNewParents) {
  TJsonArray source;
  source.Put(TJsonObject()).AsObject().Put(u"a", 1);
  TJsonObject target;
  TJsonValue& copy = target.Put(u"lista", source);
  EXPECT_EQ(copy.AsArray().Owner(), &copy);
  EXPECT_EQ(copy.AsArray().Items(0).Owner(), &copy.AsArray());
  EXPECT_EQ(copy.AsArray().Items(0).AsObject().Owner(), &copy.AsArray().Items(0));
  EXPECT_EQ(copy.AsArray().Items(0).AsObject().Items(0).Owner(),
            &copy.AsArray().Items(0).AsObject());
  EXPECT_NE(&copy.AsArray().Items(0), &source.Items(0));
}

// ---- Arrays --------------------------------------------------------------------------------

TEST(TJsonArray, PutAppendsEachKind) {
  TJsonArray array;
  TJsonArray nested;
  nested.Put(1);
  TJsonObject object;
  object.Put(u"k", u"v");
  TJsonValue value;
  value.SetAsNumber(0.5);
  array.Put(TJsonEmpty::empty);
  array.Put(TJsonNull::null);
  array.Put(true);
  array.Put(std::int64_t{-9});
  array.Put(7);
  array.Put(2.5);
  array.Put(u"t");
  array.Put(std::u16string_view(u"v"));
  array.Put(nested);
  array.Put(object);
  TJsonValue& last = array.Put(value);
  EXPECT_EQ(&last, &array.Items(array.Count() - 1));
  EXPECT_EQ(U8(array.Stringify()), "[null,null,true,-9,7,2.5,\"t\",\"v\",[1],{\"k\":\"v\"},0.5]");
  EXPECT_TRUE(array.Items(0).IsEmpty());
  EXPECT_TRUE(array.Items(1).IsNull());
  EXPECT_EQ(array.Items(4).ValueType(), TJsonValueType::jvInteger);
  // The tree keeps copies: changing the sources afterwards changes nothing.
  nested.Put(2);
  object.Clear();
  EXPECT_EQ(U8(array.Stringify()), "[null,null,true,-9,7,2.5,\"t\",\"v\",[1],{\"k\":\"v\"},0.5]");
}

TEST(TJsonArray, InsertDeleteAndIndexErrors) {
  TJsonArray array;
  array.Put(1);
  array.Put(3);
  array.Insert(1).SetAsInteger(2);
  array.Insert(0).SetAsInteger(0);
  array.Insert(array.Count()).SetAsInteger(4);
  EXPECT_EQ(U8(array.Stringify()), "[0,1,2,3,4]");
  array.Delete(2);
  EXPECT_EQ(U8(array.Stringify()), "[0,1,3,4]");
  EXPECT_EQ(array[1].AsInteger(), 1);

  struct Case {
    const char* what;
    std::function<void()> action;
    const char* error;
  };
  const Case cases[] = {
      {"Items(Count)", [&] { array.Items(4); }, "List index out of bounds (4)"},
      {"Items(-1)", [&] { array.Items(-1); }, "List index out of bounds (-1)"},
      {"Delete(Count)", [&] { array.Delete(4); }, "List index out of bounds (4)"},
      {"Delete(-1)", [&] { array.Delete(-1); }, "List index out of bounds (-1)"},
      {"Insert(Count+1)", [&] { array.Insert(5); }, "List index out of bounds (5)"},
      {"Insert(-1)", [&] { array.Insert(-1); }, "List index out of bounds (-1)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.action), c.error) << c.what;
    EXPECT_EQ(U8(array.Stringify()), "[0,1,3,4]") << c.what << " changed the array";
  }
}

TEST(TJsonArray, MergeAppendsCopiesAndDoublesItselfOnce) {
  TJsonArray array;
  array.Put(1);
  array.Put(TJsonArray()).AsArray().Put(u"x");
  TJsonArray addition;
  addition.Put(true);
  array.Merge(addition);
  EXPECT_EQ(U8(array.Stringify()), "[1,[\"x\"],true]");
  array.Merge(array);
  EXPECT_EQ(U8(array.Stringify()), "[1,[\"x\"],true,1,[\"x\"],true]");
  EXPECT_EQ(array.Items(4).AsArray().Owner(), &array.Items(4));
}

TEST(TJsonArray, AssignCopiesOnlyArrays) {
  TJsonArray source;
  source.Put(1);
  source.Put(TJsonObject()).AsObject().Put(u"a", TJsonNull::null);
  TJsonArray array;
  array.Put(u"old");
  array.Assign(&source);
  EXPECT_EQ(U8(array.Stringify()), "[1,{\"a\":null}]");
  array.Assign(&array);
  EXPECT_EQ(U8(array.Stringify()), "[1,{\"a\":null}]");

  TJsonObject object;
  TJsonValue value;
  TJsonPair pair(nullptr, u"p");
  const std::pair<const TJsonBase*, const char*> wrong[] = {
      {&object, "<TJsonArray>assign error: TJsonObject to TJsonArray"},
      {&value, "<TJsonArray>assign error: TJsonValue to TJsonArray"},
      {&pair, "<TJsonArray>assign error: TJsonPair to TJsonArray"},
      {nullptr, "<TJsonArray>assign error: nil to TJsonArray"},
  };
  for (const auto& [source2, error] : wrong) {
    array.Assign(&source);
    EXPECT_EQ(ErrorOf([&] { array.Assign(source2); }), error);
    EXPECT_EQ(array.Count(), 0) << "a failed Assign leaves the array empty";
  }
}

// ---- Pairs -----------------------------------------------------------------------------------

TEST(TJsonPair, AssignCopiesNameAndValueOrLeavesThePair) {
  TJsonPair source(nullptr, u"nome");
  source.Value().AsArray().Put(1);
  TJsonPair pair(nullptr, u"velho");
  pair.Value().SetAsInteger(5);
  pair.Assign(&source);
  EXPECT_EQ(pair.Name(), u"nome");
  EXPECT_EQ(U8(pair.Stringify()), "\"nome\":[1]");
  EXPECT_EQ(pair.Value().Owner(), &pair);

  TJsonValue value;
  EXPECT_EQ(ErrorOf([&] { pair.Assign(&value); }),
            "<TJsonPair>assign error: TJsonValue to TJsonPair");
  EXPECT_EQ(ErrorOf([&] { pair.Assign(nullptr); }), "<TJsonPair>assign error: nil to TJsonPair");
  EXPECT_EQ(U8(pair.Stringify()), "\"nome\":[1]") << "a failed pair Assign changes nothing";
  pair.SetName(u"outro");
  EXPECT_EQ(U8(pair.Stringify()), "\"outro\":[1]");
}

// ---- Values assign ------------------------------------------------------------------------------

TEST(TJsonValue, AssignTakesValuesObjectsAndArrays) {
  TJsonValue value;
  TJsonValue source;
  source.SetAsString(u"s");
  value.Assign(&source);
  EXPECT_EQ(U8(value.Stringify()), "\"s\"");
  TJsonObject object;
  object.Put(u"a", 1);
  value.Assign(&object);
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvObject);
  EXPECT_EQ(U8(value.Stringify()), "{\"a\":1}");
  TJsonArray array;
  array.Put(2);
  value.Assign(&array);
  EXPECT_EQ(U8(value.Stringify()), "[2]");
  source.SetIsNull(true);
  value.Assign(&source);
  EXPECT_TRUE(value.IsNull());

  TJsonPair pair(nullptr, u"p");
  value.SetAsInteger(3);
  EXPECT_EQ(ErrorOf([&] { value.Assign(&pair); }),
            "<TJsonValue>assign error: TJsonPair to TJsonValue");
  EXPECT_TRUE(value.IsEmpty()) << "a failed value Assign leaves it empty";
  value.SetAsInteger(3);
  EXPECT_EQ(ErrorOf([&] { value.Assign(nullptr); }), "<TJsonValue>assign error: nil to TJsonValue");
  EXPECT_TRUE(value.IsEmpty());
}

TEST(TJsonValue, SetAsObjectReusesTheHeldObject) {
  TJsonValue value;
  TJsonObject& held = value.AsObject();
  held.Put(u"old", 1);
  TJsonObject replacement;
  replacement.Put(u"new", 2);
  value.SetAsObject(replacement);
  EXPECT_EQ(&value.AsObject(), &held);
  EXPECT_EQ(U8(value.Stringify()), "{\"new\":2}");
  TJsonArray array;
  array.Put(3);
  value.SetAsArray(array);
  EXPECT_EQ(U8(value.Stringify()), "[3]");
}

// A copy is made in full before the receiver changes, so copying a tree into itself or
// into one of its own parts reads the tree as it stood (and cannot run forever).
TEST(Copies, ReadTheSourceAsItStoodWhenItContainsTheReceiver) {
  TJsonObject object;
  object.Put(u"a", 1);
  object.Put(u"self", object);
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":1,\"self\":{\"a\":1,\"self\":null}}");

  TJsonArray array;
  array.Put(1);
  array.Put(array);
  EXPECT_EQ(U8(array.Stringify()), "[1,[1,null]]");

  TJsonValue root;
  TJsonArray& items = root.AsArray();
  items.Put(1);
  TJsonValue& inner = items.Add();
  inner.Assign(&root);
  EXPECT_EQ(U8(root.Stringify()), "[1,[1,null]]");
  // A value given its own descendant keeps that part only.
  root.Assign(&items.Items(1));
  EXPECT_EQ(U8(root.Stringify()), "[1,null]");

  TJsonObject parent;
  TJsonArray& list = parent.Values(u"l").AsArray();
  list.Put(2);
  list.Merge(parent.Values(u"l").AsArray());
  EXPECT_EQ(U8(parent.Stringify()), "{\"l\":[2,2]}");
  parent.Values(u"l").SetAsArray(list);
  EXPECT_EQ(U8(parent.Stringify()), "{\"l\":[2,2]}");
}

// ---- Objects ---------------------------------------------------------------------------------

TEST(TJsonObject, PutAppendsAndNeverReplaces) {
  TJsonObject object;
  object.Put(u"a", 1);
  object.Put(u"a", u"dois");
  object.Put(u"b", TJsonEmpty::empty);
  EXPECT_EQ(object.Count(), 3);
  EXPECT_EQ(object.Find(u"a"), 0);
  EXPECT_EQ(object.Values(u"a").AsInteger(), 1);
  object.Delete(u"a");
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":\"dois\",\"b\":null}");
  TJsonPair pair(nullptr, u"p");
  pair.Value().SetAsBoolean(true);
  TJsonValue& added = object.Put(pair);
  EXPECT_EQ(&added, &object.Items(2).Value());
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":\"dois\",\"b\":null,\"p\":true}");
}

TEST(TJsonObject, FindIgnoresAsciiCaseOnly) {
  TJsonObject object;
  object.Put(u"nome", 1);
  object.Put(u"ção", 2);
  object.Put(u"preço", 3);
  struct Case {
    std::u16string name;
    int index;
  };
  const Case cases[] = {
      {u"nome", 0}, {u"NOME", 0}, {u"NoMe", 0},   {u"nom", -1},  {u"nomes", -1}, {u"ção", 1},
      {u"ÇÃO", -1}, {u"çÃo", -1}, {u"PREÇO", -1}, {u"PREço", 2}, {u"", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(object.Find(c.name), c.index) << U8(c.name);
}

TEST(TJsonObject, ValuesAddsAMissingMemberOnlyWithAutoAdd) {
  TJsonObject object;
  EXPECT_TRUE(object.AutoAdd());
  TJsonValue& added = object.Values(u"Novo");
  EXPECT_EQ(object.Count(), 1);
  EXPECT_TRUE(added.IsEmpty());
  EXPECT_EQ(U8(object.Stringify()), "{\"Novo\":null}");
  EXPECT_EQ(&object[u"novo"], &added);
  object.SetAutoAdd(false);
  EXPECT_EQ(ErrorOf([&] { object.Values(u"x"); }), "<TJsonObject>x not found");
  EXPECT_EQ(ErrorOf([&] { object.Delete(u"x"); }), "<TJsonObject>\"x\" not found");
  EXPECT_EQ(object.Count(), 1);
}

TEST(TJsonObject, InsertDeleteAndIndexErrors) {
  TJsonObject object;
  object.Put(u"b", 2);
  object.Insert(0, u"a").Value().SetAsInteger(1);
  object.Insert(2, u"c").Value().SetAsInteger(3);
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":1,\"b\":2,\"c\":3}");
  object.Delete(1);
  EXPECT_EQ(object.Items(1).Name(), u"c");
  EXPECT_EQ(ErrorOf([&] { object.Items(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { object.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { object.Insert(3, u"z"); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { object.Insert(-1, u"z"); }), "List index out of bounds (-1)");
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":1,\"c\":3}");
}

TEST(TJsonObject, MergeAndAssign) {
  TJsonObject object;
  object.Put(u"a", 1);
  TJsonObject addition;
  addition.Put(u"a", 2);
  addition.Put(u"b", TJsonArray());
  object.Merge(addition);
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":1,\"a\":2,\"b\":[]}");
  object.Merge(object);
  EXPECT_EQ(object.Count(), 6);
  object.Assign(&addition);
  EXPECT_EQ(U8(object.Stringify()), "{\"a\":2,\"b\":[]}");
  EXPECT_EQ(object.Items(1).Owner(), &object);
  TJsonArray array;
  EXPECT_EQ(ErrorOf([&] { object.Assign(&array); }),
            "<TJsonObject>assign error: TJsonArray to TJsonObject");
  EXPECT_EQ(object.Count(), 0);
}

TEST(TJsonObject, ClearEmptiesAndTheObjectStaysUsable) {
  TJsonObject object;
  object.Values(u"x").AsArray().Put(1);
  object.Clear();
  EXPECT_EQ(object.Count(), 0);
  EXPECT_EQ(U8(object.Stringify()), "{}");
  object.Put(u"y", false);
  EXPECT_EQ(U8(object.Stringify()), "{\"y\":false}");
}

// Nodes come from one pool for all threads; a tree made in one thread may be read,
// written and destroyed in another.
TEST(NodePool, TreesCrossThreads) {
  std::unique_ptr<TJsonObject> made;
  std::thread maker([&] {
    made = std::make_unique<TJsonObject>();
    for (int i = 0; i < 1000; ++i) made->Values(u"lista").AsArray().Put(i);
  });
  maker.join();
  std::string written;
  std::thread destroyer([&] {
    written = U8(made->Values(u"lista").AsArray().Items(999).Stringify());
    made.reset();
  });
  destroyer.join();
  EXPECT_EQ(written, "999");
  // The blocks freed by the other thread serve this one's next tree without harm.
  TJsonArray array;
  for (int i = 0; i < 1000; ++i) array.Put(u"item");
  EXPECT_EQ(array.Count(), 1000);
  EXPECT_EQ(U8(array.Items(999).Stringify()), "\"item\"");
}

// Two threads that build, write and destroy trees at the same time share the pool's
// slabs; each must get back exactly the text it parsed.
TEST(NodePool, ThreadsParseAtTheSameTime) {
  auto work = [](int seed, std::string& failure) {
    std::string text = "[";
    for (int i = 0; i < 2000; ++i) {
      if (i > 0) text += ',';
      text += "{\"n\":" + std::to_string(seed * 10000 + i) + ",\"s\":\"" +
              std::string(static_cast<std::size_t>(i % 40), 'x') + "\",\"l\":[true,null]}";
    }
    text += "]";
    for (int round = 0; round < 20 && failure.empty(); ++round) {
      TJsonArray array;
      array.Parse(U16(text));
      if (U8(array.Stringify()) != text) failure = "round " + std::to_string(round);
    }
  };
  std::string first, second;
  std::thread a([&] { work(1, first); });
  std::thread b([&] { work(2, second); });
  a.join();
  b.join();
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
}

// Freeing nodes here and there leaves slabs partly used; new nodes of every size fill
// the holes and the tree reads back as built.
TEST(NodePool, HolesLeftByDeletedItemsAreFilledAgain) {
  TJsonArray array;
  auto fill = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      switch (i % 4) {
        case 0:
          array.Put(i);
          break;
        case 1:
          array.Add().AsArray().Put(u"a");
          break;
        case 2:
          array.Add().AsObject().Put(u"k", i);
          break;
        default:
          array.Put(std::u16string(static_cast<std::size_t>(i % 50), u'z'));
      }
    }
  };
  fill(0, 40000);
  for (int i = array.Count() - 1; i >= 0; i -= 2) array.Delete(i);
  fill(40000, 60000);
  ASSERT_EQ(array.Count(), 40000);
  // Items 0, 2, 4, ... of the first fill are left, then the second fill in order.
  EXPECT_EQ(U8(array.Items(0).Stringify()), "0");
  EXPECT_EQ(U8(array.Items(1).Stringify()), "{\"k\":2}");
  EXPECT_EQ(U8(array.Items(19999).Stringify()), "{\"k\":39998}");
  EXPECT_EQ(U8(array.Items(20000).Stringify()), "40000");
  EXPECT_EQ(U8(array.Items(20001).Stringify()), "[\"a\"]");
  EXPECT_EQ(U8(array.Items(20002).Stringify()), "{\"k\":40002}");
  EXPECT_EQ(U8(array.Items(20003).Stringify()), "\"" + std::string(40003 % 50, 'z') + "\"");
  TJsonArray copy;
  copy.Assign(&array);
  EXPECT_EQ(copy.Stringify(), array.Stringify());
}

// Const nodes give const children; only a node that may change gives one that may.
static_assert(
    std::is_same_v<decltype(std::declval<const TJsonArray&>().Items(0)), const TJsonValue&>);
static_assert(std::is_same_v<decltype(std::declval<TJsonArray&>().Items(0)), TJsonValue&>);
static_assert(std::is_same_v<decltype(std::declval<const TJsonArray&>()[0]), const TJsonValue&>);
static_assert(
    std::is_same_v<decltype(std::declval<const TJsonObject&>().Items(0)), const TJsonPair&>);
static_assert(std::is_same_v<decltype(std::declval<TJsonObject&>().Items(0)), TJsonPair&>);
static_assert(
    std::is_same_v<decltype(std::declval<const TJsonPair&>().Value()), const TJsonValue&>);
static_assert(std::is_same_v<decltype(std::declval<TJsonPair&>().Value()), TJsonValue&>);

TEST(ValueTypeName, SpellsEachKind) {
  const std::pair<TJsonValueType, const char*> names[] = {
      {TJsonValueType::jvNone, "jvNone"},     {TJsonValueType::jvNull, "jvNull"},
      {TJsonValueType::jvString, "jvString"}, {TJsonValueType::jvInteger, "jvInteger"},
      {TJsonValueType::jvNumber, "jvNumber"}, {TJsonValueType::jvBoolean, "jvBoolean"},
      {TJsonValueType::jvObject, "jvObject"}, {TJsonValueType::jvArray, "jvArray"},
  };
  for (const auto& [type, name] : names) EXPECT_EQ(U8(ValueTypeName(type)), name);
  static_assert(sizeof(TJsonValueType) == 1);
}

TEST(JsonError, KeepsTheUtf16MessageAndGivesUtf8) {
  const JsonError error(u"Produto não encontrado \U0001F600");
  EXPECT_EQ(error.message(), u"Produto não encontrado \U0001F600");
  EXPECT_STREQ(error.what(), "Produto n\xC3\xA3o encontrado \xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace varnok::json
