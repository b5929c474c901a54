#include "varnok/json.h"
#include "varnok/utf.h"

namespace varnok::json {

JsonError::JsonError(std::u16string message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

std::u16string_view ValueTypeName(TJsonValueType type) noexcept {
  switch (type) {
    case TJsonValueType::jvNone:
      return u"jvNone";
    case TJsonValueType::jvNull:
      return u"jvNull";
    case TJsonValueType::jvString:
      return u"jvString";
    case TJsonValueType::jvInteger:
      return u"jvInteger";
    case TJsonValueType::jvNumber:
      return u"jvNumber";
    case TJsonValueType::jvBoolean:
      return u"jvBoolean";
    case TJsonValueType::jvObject:
      return u"jvObject";
    case TJsonValueType::jvArray:
      return u"jvArray";
  }
  return u"jvNone";
}

}  // namespace varnok::json
