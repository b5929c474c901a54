// Writing trees as compact JSON text: no blanks, members and items in their order,
// every character outside printable ASCII escaped, numbers always with '.'.
#include "internal.h"
#include "varnok/json.h"

namespace varnok::json {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789abcdef";

// Code units that Encode writes as they are: printable ASCII and U+007F, less the
// quotation mark, the solidus and the backslash.
constexpr bool IsPlain(char16_t c) noexcept {
  return c >= 0x20 && c <= 0x7F && c != u'"' && c != u'/' && c != u'\\';
}

void AppendEscaped(std::u16string& out, std::u16string_view s) {
  const char16_t* p = s.data();
  const char16_t* const end = p + s.size();
  while (p < end) {
    // Runs of plain characters are copied in one piece.
    const char16_t* run = p;
    while (p < end && IsPlain(*p)) ++p;
    out.append(run, p);
    if (p == end) break;
    const char16_t c = *p++;
    switch (c) {
      case 0x08: out += u"\\b"; break;
      case 0x09: out += u"\\t"; break;
      case 0x0A: out += u"\\n"; break;
      case 0x0C: out += u"\\f"; break;
      case 0x0D: out += u"\\r"; break;
      case u'"': out += u"\\\""; break;
      case u'/': out += u"\\/"; break;
      case u'\\': out += u"\\\\"; break;
      default: {
        const char16_t escape[6] = {u'\\', u'u', kHexDigits[(c >> 12) & 0xF],
                                    kHexDigits[(c >> 8) & 0xF], kHexDigits[(c >> 4) & 0xF],
                                    kHexDigits[c & 0xF]};
        out.append(escape, 6);
      }
    }
  }
}

void AppendQuoted(std::u16string& out, std::u16string_view s) {
  out += u'"';
  AppendEscaped(out, s);
  out += u'"';
}

}  // namespace

std::u16string TJsonBase::Encode(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  AppendEscaped(out, s);
  return out;
}

// One output buffer and an explicit stack of open arrays and objects in place of
// recursion, so that a tree of any depth is written.
void JsonTree::Write(const TJsonBase& node, std::u16string& out) {
  struct Open {
    const TJsonArray* array;
    const TJsonObject* object;
    std::size_t next;
  };
  std::vector<Open> open;

  // Writes a value, or opens its array or object and leaves the rest to the loop.
  auto writeValue = [&](const TJsonValue& value) {
    switch (value.FValueType) {
      case TJsonValueType::jvNone:
      case TJsonValueType::jvNull: out += u"null"; break;
      case TJsonValueType::jvString: AppendQuoted(out, value.FStringValue); break;
      case TJsonValueType::jvInteger: detail::AppendInteger(out, value.FIntegerValue); break;
      case TJsonValueType::jvNumber: detail::AppendFloat(out, value.FNumberValue); break;
      case TJsonValueType::jvBoolean: out += value.FBooleanValue ? u"true" : u"false"; break;
      case TJsonValueType::jvObject:
        out += u'{';
        open.push_back({nullptr, value.FObjectValue.get(), 0});
        break;
      case TJsonValueType::jvArray:
        out += u'[';
        open.push_back({value.FArrayValue.get(), nullptr, 0});
        break;
    }
  };
  auto writePairHead = [&](const TJsonPair& pair) {
    AppendQuoted(out, pair.FName);
    out += u':';
    writeValue(*pair.FValue);
  };

  if (const auto* value = dynamic_cast<const TJsonValue*>(&node)) {
    writeValue(*value);
  } else if (const auto* pair = dynamic_cast<const TJsonPair*>(&node)) {
    writePairHead(*pair);
  } else if (const auto* array = dynamic_cast<const TJsonArray*>(&node)) {
    out += u'[';
    open.push_back({array, nullptr, 0});
  } else if (const auto* object = dynamic_cast<const TJsonObject*>(&node)) {
    out += u'{';
    open.push_back({nullptr, object, 0});
  }

  while (!open.empty()) {
    Open& top = open.back();
    if (top.array != nullptr) {
      const auto& items = top.array->FList;
      if (top.next == items.size()) {
        out += u']';
        open.pop_back();
        continue;
      }
      if (top.next > 0) out += u',';
      // writeValue may grow the stack, so top is not used after it.
      const TJsonValue& item = *items[top.next++];
      writeValue(item);
    } else {
      const auto& pairs = top.object->FList;
      if (top.next == pairs.size()) {
        out += u'}';
        open.pop_back();
        continue;
      }
      if (top.next > 0) out += u',';
      const TJsonPair& member = *pairs[top.next++];
      writePairHead(member);
    }
  }
}

}  // namespace varnok::json
