// The node classes: kinds and their conversions, ownership, copies, lookup and errors.
#include "test_util.h"

namespace varnok::json {
namespace {

using testing::ErrorOf;
using testing::U8;

TEST(TJsonValue, NewValueIsEmpty) {
  TJsonValue value;
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_FALSE(value.IsNull());
  EXPECT_EQ(value.ValueType(), TJsonValueType::jvNone);
  EXPECT_EQ(value.AsString(), u"");
  EXPECT_EQ(value.AsInteger(), 0);
  EXPECT_EQ(value.AsNumber(), 0.0);
  EXPECT_FALSE(value.AsBoolean());
}

TEST(TJsonObject, ValueTypeErrorNamesTheMember) {
  TJsonObject object;
  object.Values(u"preco_venda").AsObject();
  EXPECT_EQ(ErrorOf([&] { object.Values(u"preco_venda").AsNumber(); }),
            "<TJsonValue>\"preco_venda\" value type error: jvObject to jvNumber");
}

TEST(TJsonArray, AssignFromObjectFailsAndLeavesArrayEmpty) {
  TJsonArray array;
  array.Put(1);
  TJsonObject object;
  EXPECT_EQ(ErrorOf([&] { array.Assign(&object); }),
            "<TJsonArray>assign error: TJsonObject to TJsonArray");
  EXPECT_EQ(array.Count(), 0);
}

}  // namespace
}  // namespace varnok::json
