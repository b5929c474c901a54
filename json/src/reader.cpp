// Reading JSON text into a tree. Every node reads its own piece of text, top down: it
// trims it, decides the kind from the first and last characters and trial
// conversions, and cuts the inside of an array or object at its top-level commas (a
// member at its top-level colon) into item texts, one child each.
//
// Cutting follows one skip rule: a quoted run ends at its closing quotation mark, a
// bracket or brace at its own closing character, whatever else stands between. Where a
// skip ends depends only on where it starts, so SkipEnds walks a text once and records
// the end of every skip; CutItems, the one place that cuts a text into items, then
// jumps over nested items instead of scanning them again at every level. Item texts
// are views into the caller's text; only an error message copies one.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "internal.h"
#include "varnok/json.h"

namespace varnok::json {
namespace {

using detail::Trim;

constexpr char16_t ClosingOf(char16_t opener) noexcept {
  return opener == u'[' ? u']' : opener == u'{' ? u'}' : u'"';
}

constexpr bool IsOpener(char16_t c) noexcept {
  return c == u'"' || c == u'[' || c == u'{';
}

bool IsHexDigit(char16_t c) noexcept {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool Encloses(std::u16string_view t, char16_t first, char16_t last) noexcept {
  return t.size() >= 2 && t.front() == first && t.back() == last;
}

constexpr std::size_t kNotClosed = std::u16string_view::npos;

// The end of every skip in a text: for each opener the walk meets, in text order, its
// position and the position of its closing character. Positions take 32 bits while the
// text allows it, so that a reply full of brackets keeps the table small.
class SkipEnds {
 public:
  explicit SkipEnds(std::u16string_view text) : text_(text) {
    if (text.size() < kNarrowLimit) {
      Walk(narrow_);
    } else {
      Walk(wide_);
    }
  }

  // The position of the character that closes the opener at position, or kNotClosed
  // when the text ends first.
  std::size_t End(std::size_t position) {
    return narrow_.empty() && !wide_.empty() ? Find(wide_, position) : Find(narrow_, position);
  }

 private:
  static constexpr std::size_t kNarrowLimit = std::numeric_limits<std::uint32_t>::max();

  template <typename Position>
  struct Skip {
    Position opener;
    Position end;
  };

  // The skip rule itself: inside a quoted run a backslash lets the next character pass
  // and only the quotation mark closes; inside a bracket or brace an opener starts a
  // nested skip and only its own closing character ends it.
  template <typename Position>
  void Walk(std::vector<Skip<Position>>& skips) {
    constexpr auto kOpen = static_cast<Position>(kNotClosed);
    const std::size_t n = text_.size();
    const char16_t* s = text_.data();
    std::vector<std::size_t> open;  // indexes into skips
    std::size_t i = 0;
    while (i < n) {
      if (!open.empty() && s[skips[open.back()].opener] == u'"') {
        while (i < n && s[i] != u'"' && s[i] != u'\\') ++i;
        if (i >= n) break;
        if (s[i] == u'\\') {
          i += 2;
          continue;
        }
        skips[open.back()].end = static_cast<Position>(i);
        open.pop_back();
        ++i;
        continue;
      }
      const char16_t c = s[i];
      if (IsOpener(c)) {
        open.push_back(skips.size());
        skips.push_back({static_cast<Position>(i), kOpen});
      } else if (!open.empty() && c == ClosingOf(s[skips[open.back()].opener])) {
        skips[open.back()].end = static_cast<Position>(i);
        open.pop_back();
      }
      ++i;
    }
  }

  template <typename Position>
  std::size_t Find(const std::vector<Skip<Position>>& skips, std::size_t position) {
    // Items are cut in text order, so nearly every look-up is the entry after the last
    // one; a member's walk at its colon looks again at the openers the object's walk
    // has just passed, a few entries back.
    std::size_t index = next_;
    if (index >= skips.size() || skips[index].opener != position) {
      auto first = skips.begin();
      auto last = skips.end();
      if (index <= skips.size()) {
        constexpr std::size_t kNear = 8;
        const std::size_t low = index > kNear ? index - kNear : 0;
        if (low < skips.size() && skips[low].opener <= position &&
            (index == skips.size() || position < skips[index].opener)) {
          first = skips.begin() + static_cast<std::ptrdiff_t>(low);
          last = skips.begin() + static_cast<std::ptrdiff_t>(index);
        }
      }
      const auto found = std::lower_bound(
          first, last, position,
          [](const Skip<Position>& skip, std::size_t value) { return skip.opener < value; });
      if (found == last || found->opener != position) {
        // Every piece that is cut starts where the walk of the whole text stood at the
        // top of its enclosing skip, so its openers are in the table; should one not be,
        // the rule is walked from there.
        SkipEnds rest(text_.substr(position));
        const std::size_t end = rest.End(0);
        return end == kNotClosed ? kNotClosed : position + end;
      }
      index = static_cast<std::size_t>(found - skips.begin());
    }
    next_ = index + 1;
    const std::size_t end = skips[index].end;
    return end == static_cast<Position>(kNotClosed) ? kNotClosed : end;
  }

  std::u16string_view text_;
  std::vector<Skip<std::uint32_t>> narrow_;
  std::vector<Skip<std::size_t>> wide_;
  std::size_t next_ = 0;
};

// Cuts piece, a part of the text skips was made from, at its top-level delimiters and
// calls visit with each item, trimmed. A delimiter always ends an item, even an empty
// one; what follows the last delimiter is an item only when something is left of it.
// A skip that is not closed within the piece takes the rest of it.
template <typename Visit>
void CutItems(std::u16string_view text, SkipEnds& skips, std::u16string_view piece,
              char16_t delimiter, Visit&& visit) {
  const std::size_t base = static_cast<std::size_t>(piece.data() - text.data());
  const std::size_t n = piece.size();
  const char16_t* s = piece.data();
  std::size_t itemStart = 0;
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = s[i];
    if (c == delimiter) {
      visit(Trim(piece.substr(itemStart, i - itemStart)));
      itemStart = ++i;
    } else if (IsOpener(c)) {
      const std::size_t end = skips.End(base + i);
      i = (end == kNotClosed || end - base >= n) ? n : end - base + 1;
    } else {
      ++i;
    }
  }
  const std::u16string_view last = Trim(piece.substr(itemStart));
  if (!last.empty()) visit(last);
}

// Resolves the escapes of a string body into out, which has room for as many code units
// as the body has (the result is never longer), and returns the end of what it wrote.
char16_t* DecodeInto(char16_t* out, std::u16string_view s) {
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = i;
    while (i < n && s[i] != u'\\') ++i;
    std::copy(s.data() + run, s.data() + i, out);
    out += i - run;
    if (i >= n) break;
    // A backslash that ends the body is dropped.
    if (i + 1 == n) break;
    const char16_t c = s[i + 1];
    i += 2;
    switch (c) {
      case u'b':
        *out++ = u'\b';
        break;
      case u'f':
        *out++ = u'\f';
        break;
      case u'n':
        *out++ = u'\n';
        break;
      case u'r':
        *out++ = u'\r';
        break;
      case u't':
        *out++ = u'\t';
        break;
      case u'u': {
        // Four hexadecimal digits, fewer at the very end of the body but at least one.
        const std::size_t count = std::min<std::size_t>(4, n - i);
        const std::u16string_view digits = s.substr(i, count);
        bool valid = count > 0;
        unsigned code = 0;
        for (char16_t d : digits) {
          if (!IsHexDigit(d)) {
            valid = false;
            break;
          }
          code = code * 16 + static_cast<unsigned>(d <= u'9' ? d - u'0' : (d | 0x20) - u'a' + 10);
        }
        if (!valid) {
          std::u16string message = u"Invalid unicode \\u";
          message += digits;
          throw JsonError(std::move(message));
        }
        *out++ = static_cast<char16_t>(code);
        i += count;
        break;
      }
      // The quotation mark, the solidus, the backslash and any other character stand
      // for themselves.
      default:
        *out++ = c;
    }
  }
  return out;
}

}  // namespace

// Parses into the real nodes as it goes, so that whatever was read before an error
// stays in the tree as it was read.
class JsonReader {
 public:
  explicit JsonReader(std::u16string_view text) : text_(text), skips_(text) {}

  void ParseValue(TJsonValue& value, std::u16string_view item, int depth);
  void ParseArray(TJsonArray& array, std::u16string_view item, int depth);
  void ParseObject(TJsonObject& object, std::u16string_view item, int depth);
  void ParsePair(TJsonPair& pair, std::u16string_view item, int depth);

 private:
  std::u16string_view text_;
  SkipEnds skips_;
};

void JsonReader::ParseValue(TJsonValue& value, std::u16string_view item, int depth) {
  const std::u16string_view t = Trim(item);
  value.Clear();
  // The kind decision of AnalyzeJsonValueType, keeping the number it reads on the way.
  TJsonValueType type = TJsonValueType::jvNone;
  std::int64_t integer = 0;
  double number = 0.0;
  if (t.size() >= 2 && Encloses(t, u'{', u'}')) {
    type = TJsonValueType::jvObject;
  } else if (t.size() >= 2 && Encloses(t, u'[', u']')) {
    type = TJsonValueType::jvArray;
  } else if (Encloses(t, u'"', u'"')) {
    type = TJsonValueType::jvString;
  } else if (t.size() >= 2 && TJsonBase::IsJsonNull(t)) {
    type = TJsonValueType::jvNull;
  } else if (t.size() >= 2 && TJsonBase::IsJsonBoolean(t)) {
    type = TJsonValueType::jvBoolean;
  } else if (detail::TryJsonToInteger(t, integer)) {
    type = TJsonValueType::jvInteger;
  } else if (TryJsonToFloat(t, number)) {
    type = TJsonValueType::jvNumber;
  }
  switch (type) {
    case TJsonValueType::jvNone:
      value.RaiseParseError(t);
    case TJsonValueType::jvNull:
      value.FValueType = type;
      break;
    case TJsonValueType::jvString: {
      // A body that fails to decode leaves an empty string.
      value.FValueType = type;
      value.FStringValue = nullptr;
      const std::u16string_view body = t.substr(1, t.size() - 2);
      char16_t* block = detail::NewTextRoom(body.size());
      if (block == nullptr) break;
      std::size_t length = 0;
      try {
        char16_t* units = detail::TextUnits(block);
        length = static_cast<std::size_t>(DecodeInto(units, body) - units);
      } catch (...) {
        detail::FreeText(block);
        throw;
      }
      if (length == 0) {
        detail::FreeText(block);
        break;
      }
      detail::SetTextLength(block, length);
      value.FStringValue = block;
      break;
    }
    case TJsonValueType::jvInteger:
      value.FValueType = type;
      value.FIntegerValue = integer;
      break;
    case TJsonValueType::jvNumber:
      value.FValueType = type;
      value.FNumberValue = number;
      break;
    case TJsonValueType::jvBoolean:
      value.FValueType = type;
      value.FBooleanValue = (t[0] | 0x20) == u't';
      break;
    case TJsonValueType::jvObject: {
      auto* object = new TJsonObject(&value);
      value.FObjectValue = object;
      value.FValueType = type;
      ParseObject(*object, t, depth + 1);
      break;
    }
    case TJsonValueType::jvArray: {
      auto* array = new TJsonArray(&value);
      value.FArrayValue = array;
      value.FValueType = type;
      ParseArray(*array, t, depth + 1);
      break;
    }
  }
}

void JsonReader::ParseArray(TJsonArray& array, std::u16string_view item, int depth) {
  array.Clear();
  const std::u16string_view t = Trim(item);
  // Past the nesting limit an array is refused like one without its brackets.
  if (!Encloses(t, u'[', u']') || depth > kMaxNestingDepth) array.RaiseParseError(t);
  CutItems(text_, skips_, Trim(t.substr(1, t.size() - 2)), u',', [&](std::u16string_view text) {
    array.FList.push_back(std::make_unique<TJsonValue>(&array));
    ParseValue(*array.FList.back(), text, depth);
  });
}

void JsonReader::ParseObject(TJsonObject& object, std::u16string_view item, int depth) {
  object.Clear();
  const std::u16string_view t = Trim(item);
  if (!Encloses(t, u'{', u'}') || depth > kMaxNestingDepth) object.RaiseParseError(t);
  CutItems(text_, skips_, Trim(t.substr(1, t.size() - 2)), u',', [&](std::u16string_view text) {
    object.FList.push_back(std::make_unique<TJsonPair>(&object, std::u16string_view()));
    ParsePair(*object.FList.back(), text, depth);
  });
}

void JsonReader::ParsePair(TJsonPair& pair, std::u16string_view item, int depth) {
  const std::u16string_view t = Trim(item);
  std::u16string_view parts[2];
  int count = 0;
  CutItems(text_, skips_, t, u':', [&](std::u16string_view part) {
    if (count < 2) parts[count] = part;
    ++count;
  });
  if (count != 2) pair.RaiseParseError(t);
  const std::u16string_view name = parts[0];
  if (!Encloses(name, u'"', u'"')) pair.RaiseParseError(name);
  // The name is in place before the value is read, so errors inside it carry it.
  pair.FName = TJsonBase::Decode(name.substr(1, name.size() - 2));
  ParseValue(pair.FValue, parts[1], depth);
}

// ---- Parse of the four node classes ---------------------------------------------------

void TJsonValue::Parse(std::u16string_view jsonString) {
  JsonReader reader(jsonString);
  reader.ParseValue(*this, jsonString, 0);
}

void TJsonArray::Parse(std::u16string_view jsonString) {
  JsonReader reader(jsonString);
  reader.ParseArray(*this, jsonString, 1);
}

void TJsonObject::Parse(std::u16string_view jsonString) {
  JsonReader reader(jsonString);
  reader.ParseObject(*this, jsonString, 1);
}

void TJsonPair::Parse(std::u16string_view jsonString) {
  JsonReader reader(jsonString);
  reader.ParsePair(*this, jsonString, 0);
}

// ---- Text helpers -----------------------------------------------------------------------

std::u16string TJsonBase::Decode(std::u16string_view s) {
  std::u16string out(s.size(), u'\0');
  out.resize(static_cast<std::size_t>(DecodeInto(out.data(), s) - out.data()));
  return out;
}

void TJsonBase::Split(std::u16string_view s, char16_t delimiter,
                      std::vector<std::u16string>& strings) {
  SkipEnds skips(s);
  CutItems(s, skips, s, delimiter, [&](std::u16string_view item) { strings.emplace_back(item); });
}

bool TJsonBase::IsJsonObject(std::u16string_view s) noexcept {
  return Encloses(Trim(s), u'{', u'}');
}

bool TJsonBase::IsJsonArray(std::u16string_view s) noexcept {
  return Encloses(Trim(s), u'[', u']');
}

bool TJsonBase::IsJsonString(std::u16string_view s) noexcept {
  return Encloses(Trim(s), u'"', u'"');
}

bool TJsonBase::IsJsonInteger(std::u16string_view s) noexcept {
  std::int64_t value = 0;
  return detail::TryJsonToInteger(s, value);
}

bool TJsonBase::IsJsonNumber(std::u16string_view s) noexcept {
  double value = 0.0;
  return TryJsonToFloat(s, value);
}

bool TJsonBase::IsJsonBoolean(std::u16string_view s) noexcept {
  return detail::EqualsIgnoringAsciiCase(s, u"true") ||
         detail::EqualsIgnoringAsciiCase(s, u"false");
}

bool TJsonBase::IsJsonNull(std::u16string_view s) noexcept {
  return detail::EqualsIgnoringAsciiCase(s, u"null");
}

TJsonValueType TJsonBase::AnalyzeJsonValueType(std::u16string_view s) noexcept {
  const std::u16string_view t = Trim(s);
  if (t.size() >= 2) {
    if (Encloses(t, u'{', u'}')) return TJsonValueType::jvObject;
    if (Encloses(t, u'[', u']')) return TJsonValueType::jvArray;
    if (Encloses(t, u'"', u'"')) return TJsonValueType::jvString;
    if (IsJsonNull(t)) return TJsonValueType::jvNull;
    if (IsJsonBoolean(t)) return TJsonValueType::jvBoolean;
  }
  if (IsJsonInteger(t)) return TJsonValueType::jvInteger;
  if (IsJsonNumber(t)) return TJsonValueType::jvNumber;
  return TJsonValueType::jvNone;
}

}  // namespace varnok::json
