#include "reference_reader.h"

#include <cstdio>
#include <vector>

#include "varnok/utf.h"

namespace varnok::json::reference {
namespace {

std::u16string Trimmed(std::u16string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return std::u16string(s.substr(b, e - b));
}

// The walk of the cutting rules: one character at a time, nested skips by recursion.
std::size_t Skip(std::u16string_view s, std::size_t i, char16_t closing) {
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == closing) return i + 1;
    if (closing == u'"') {
      if (c == u'\\') ++i;
      ++i;
      continue;
    }
    if (c == u'"') {
      i = Skip(s, i + 1, u'"');
    } else if (c == u'[') {
      i = Skip(s, i + 1, u']');
    } else if (c == u'{') {
      i = Skip(s, i + 1, u'}');
    } else {
      ++i;
    }
  }
  return s.size();
}

std::vector<std::u16string> Cut(std::u16string_view s, char16_t delimiter) {
  std::vector<std::u16string> items;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == delimiter) {
      items.push_back(Trimmed(s.substr(start, i - start)));
      start = ++i;
    } else if (c == u'"') {
      i = Skip(s, i + 1, u'"');
    } else if (c == u'[') {
      i = Skip(s, i + 1, u']');
    } else if (c == u'{') {
      i = Skip(s, i + 1, u'}');
    } else {
      ++i;
    }
  }
  std::u16string last = Trimmed(s.substr(start));
  if (!last.empty()) items.push_back(std::move(last));
  return items;
}

[[noreturn]] void Fail(const TJsonBase& node, std::u16string_view text) {
  std::u16string name;
  for (const TJsonBase* o = node.Owner(); o != nullptr; o = o->Owner()) {
    if (const auto* pair = dynamic_cast<const TJsonPair*>(o)) {
      name = pair->Name();
      break;
    }
  }
  throw JsonError(u"<" + std::u16string(node.ClassName()) + u">\"" + name + u"\" parse error: " +
                  std::u16string(text));
}

}  // namespace

void ParseValue(TJsonValue& value, std::u16string_view text, int depth) {
  const std::u16string t = Trimmed(text);
  value.Clear();
  switch (TJsonBase::AnalyzeJsonValueType(t)) {
    case TJsonValueType::jvNone:
      Fail(value, t);
    case TJsonValueType::jvNull:
      value.SetIsNull(true);
      break;
    case TJsonValueType::jvString:
      value.SetAsString(u"");
      value.SetAsString(TJsonBase::Decode(std::u16string_view(t).substr(1, t.size() - 2)));
      break;
    case TJsonValueType::jvInteger:
      value.SetAsInteger(JsonToInteger(t));
      break;
    case TJsonValueType::jvNumber:
      value.SetAsNumber(JsonToFloat(t));
      break;
    case TJsonValueType::jvBoolean:
      value.SetAsBoolean((t[0] | 0x20) == u't');
      break;
    case TJsonValueType::jvObject:
      ParseObject(value.AsObject(), t, depth + 1);
      break;
    case TJsonValueType::jvArray:
      ParseArray(value.AsArray(), t, depth + 1);
      break;
  }
}

void ParseArray(TJsonArray& array, std::u16string_view text, int depth) {
  array.Clear();
  const std::u16string t = Trimmed(text);
  if (!TJsonBase::IsJsonArray(t) || depth > kMaxNestingDepth) Fail(array, t);
  for (const std::u16string& item :
       Cut(Trimmed(std::u16string_view(t).substr(1, t.size() - 2)), u',')) {
    ParseValue(array.Add(), item, depth);
  }
}

void ParseObject(TJsonObject& object, std::u16string_view text, int depth) {
  object.Clear();
  const std::u16string t = Trimmed(text);
  if (!TJsonBase::IsJsonObject(t) || depth > kMaxNestingDepth) Fail(object, t);
  for (const std::u16string& item :
       Cut(Trimmed(std::u16string_view(t).substr(1, t.size() - 2)), u',')) {
    ParsePair(object.Add(u""), item, depth);
  }
}

void ParsePair(TJsonPair& pair, std::u16string_view text, int depth) {
  const std::u16string t = Trimmed(text);
  const std::vector<std::u16string> parts = Cut(t, u':');
  if (parts.size() != 2) Fail(pair, t);
  if (!TJsonBase::IsJsonString(parts[0])) Fail(pair, parts[0]);
  pair.SetName(TJsonBase::Decode(std::u16string_view(parts[0]).substr(1, parts[0].size() - 2)));
  ParseValue(pair.Value(), parts[1], depth);
}

namespace {

void DescribeValue(const TJsonValue& value, std::string& out);

void DescribeArray(const TJsonArray& array, std::string& out) {
  out += '[';
  for (int i = 0; i < array.Count(); ++i) {
    if (i > 0) out += ',';
    DescribeValue(array.Items(i), out);
  }
  out += ']';
}

void DescribeObject(const TJsonObject& object, std::string& out) {
  out += '{';
  for (int i = 0; i < object.Count(); ++i) {
    if (i > 0) out += ',';
    out += ToUtf8(TJsonBase::Encode(object.Items(i).Name()));
    out += ':';
    DescribeValue(object.Items(i).Value(), out);
  }
  out += '}';
}

void DescribeValue(const TJsonValue& value, std::string& out) {
  out += ToUtf8(ValueTypeName(value.ValueType()));
  out += '=';
  auto& mutableValue = const_cast<TJsonValue&>(value);
  switch (value.ValueType()) {
    case TJsonValueType::jvObject:
      DescribeObject(mutableValue.AsObject(), out);
      break;
    case TJsonValueType::jvArray:
      DescribeArray(mutableValue.AsArray(), out);
      break;
    case TJsonValueType::jvNumber: {
      // Every bit of the double, where Stringify shows 15 digits.
      char digits[32];
      std::snprintf(digits, sizeof digits, "%.17g", value.AsNumber());
      out += digits;
      break;
    }
    default:
      out += ToUtf8(value.Stringify());
  }
}

}  // namespace

std::string Describe(const TJsonBase& node) {
  std::string out;
  if (const auto* value = dynamic_cast<const TJsonValue*>(&node)) {
    DescribeValue(*value, out);
  } else if (const auto* array = dynamic_cast<const TJsonArray*>(&node)) {
    DescribeArray(*array, out);
  } else if (const auto* object = dynamic_cast<const TJsonObject*>(&node)) {
    DescribeObject(*object, out);
  } else if (const auto* pair = dynamic_cast<const TJsonPair*>(&node)) {
    out += ToUtf8(TJsonBase::Encode(pair->Name()));
    out += ':';
    DescribeValue(pair->Value(), out);
  }
  return out;
}

}  // namespace varnok::json::reference
