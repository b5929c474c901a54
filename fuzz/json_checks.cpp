// The checks that every fuzz input and every seed of the corpus must pass; see
// json_checks.h.
#include "json_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reference_reader.h"
#include "varnok/json.h"
#include "varnok/utf.h"

namespace varnok::json::checks {
namespace {

// A failed check, thrown to the entry point, which reports it.
struct CheckFailure {
  std::string text;
};

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  throw CheckFailure{std::string(what) + "\n" + detail};
}

enum class Root { value, array, object, pair };

std::unique_ptr<TJsonBase> MakeRoot(Root root) {
  switch (root) {
    case Root::array:
      return std::make_unique<TJsonArray>();
    case Root::object:
      return std::make_unique<TJsonObject>();
    case Root::pair:
      return std::make_unique<TJsonPair>(nullptr, u"");
    case Root::value:
      break;
  }
  return std::make_unique<TJsonValue>();
}

// Parses with the library; the error message (in full: a member name may hold U+0000),
// or nothing.
std::optional<std::string> ParseWithLibrary(TJsonBase& node, std::u16string_view text) {
  try {
    node.Parse(text);
  } catch (const JsonError& error) {
    return ToUtf8(error.message());
  }
  return std::nullopt;
}

std::optional<std::string> ParseWithReference(TJsonBase& node, Root root,
                                              std::u16string_view text) {
  try {
    switch (root) {
      case Root::value:
        reference::ParseValue(static_cast<TJsonValue&>(node), text);
        break;
      case Root::array:
        reference::ParseArray(static_cast<TJsonArray&>(node), text);
        break;
      case Root::object:
        reference::ParseObject(static_cast<TJsonObject&>(node), text);
        break;
      case Root::pair:
        reference::ParsePair(static_cast<TJsonPair&>(node), text);
        break;
    }
  } catch (const JsonError& error) {
    return ToUtf8(error.message());
  }
  return std::nullopt;
}

// The written texts of the numbers in the tree that cannot be read back.
void CollectUnreadableNumbers(TJsonBase& node, std::vector<std::u16string>& texts) {
  if (auto* value = dynamic_cast<TJsonValue*>(&node)) {
    if (value->ValueType() == TJsonValueType::jvNumber) {
      const std::u16string text = FloatToJson(value->AsNumber());
      double back = 0.0;
      if (!TryJsonToFloat(text, back)) texts.push_back(text);
    } else if (value->ValueType() == TJsonValueType::jvObject) {
      CollectUnreadableNumbers(value->AsObject(), texts);
    } else if (value->ValueType() == TJsonValueType::jvArray) {
      CollectUnreadableNumbers(value->AsArray(), texts);
    }
  } else if (auto* array = dynamic_cast<TJsonArray*>(&node)) {
    for (int i = 0; i < array->Count(); ++i) CollectUnreadableNumbers(array->Items(i), texts);
  } else if (auto* object = dynamic_cast<TJsonObject*>(&node)) {
    for (int i = 0; i < object->Count(); ++i) CollectUnreadableNumbers(object->Items(i), texts);
  } else if (auto* pair = dynamic_cast<TJsonPair*>(&node)) {
    CollectUnreadableNumbers(pair->Value(), texts);
  }
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckRoundTrip(TJsonBase& tree, Root root) {
  const std::u16string written = tree.Stringify();
  for (char16_t c : written) {
    if (c < 0x20 || c > 0x7F) Fail("written text is not printable ASCII", ToUtf8(written));
  }
  const std::unique_ptr<TJsonBase> copy = MakeRoot(root);
  copy->Assign(&tree);
  if (copy->Stringify() != written) Fail("a copy writes another text", ToUtf8(written));

  const std::unique_ptr<TJsonBase> again = MakeRoot(root);
  if (const auto error = ParseWithLibrary(*again, written)) {
    std::vector<std::u16string> unreadable;
    CollectUnreadableNumbers(tree, unreadable);
    for (const std::u16string& number : unreadable) {
      if (EndsWith(*error, " parse error: " + ToUtf8(number))) return;
    }
    Fail("written text does not parse", ToUtf8(written) + "\n" + *error);
  }
  if (again->Stringify() != written) {
    Fail("text read back is written differently",
         ToUtf8(written) + "\n" + ToUtf8(again->Stringify()));
  }
}

}  // namespace

namespace {

// Back to '.', and a node created so that the snapshot follows at once.
void RestorePointSeparator() {
  SetRegionalDecimalSeparator(u'.');
  const TJsonValue refresh;
}

}  // namespace

std::string CheckJsonInput(std::string_view bytes) {
  const std::u16string text = FromUtf8(bytes);
  try {
    for (const char16_t separator : {u'.', u','}) {
      SetRegionalDecimalSeparator(separator);
      for (const Root root : {Root::value, Root::array, Root::object, Root::pair}) {
        const std::unique_ptr<TJsonBase> tree = MakeRoot(root);
        const std::unique_ptr<TJsonBase> expected = MakeRoot(root);
        const auto error = ParseWithLibrary(*tree, text);
        const auto expectedError = ParseWithReference(*expected, root, text);
        if (error != expectedError) {
          Fail("the readers disagree on the error",
               error.value_or("(none)") + "\n" + expectedError.value_or("(none)"));
        }
        if (reference::Describe(*tree) != reference::Describe(*expected)) {
          Fail("the readers build different trees",
               reference::Describe(*tree) + "\n" + reference::Describe(*expected));
        }
        if (!error) CheckRoundTrip(*tree, root);
      }
    }
  } catch (const CheckFailure& failure) {
    RestorePointSeparator();
    return failure.text;
  }
  RestorePointSeparator();
  return {};
}

}  // namespace varnok::json::checks
