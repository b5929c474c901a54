// Reading JSON text into a tree. Every node reads its own piece of text, top down: it
// trims it, decides the kind from the first and last characters and trial
// conversions, and cuts the inside of an array or object at its top-level commas (a
// member at its top-level colon) into item texts, one child each.
//
// The cutting follows fixed skip rules (a quoted run ends at its closing quotation
// mark, a bracket or brace at its own closing character, whatever else stands between).
// Where a skip ends depends only on where it starts, so the reader finds the end of
// every skip in one pass over the text and each level then jumps over its nested items
// instead of scanning them again. Item texts are views into the caller's text; only an
// error message copies one.
#include <algorithm>
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

// The position of the character that ends the skip starting at the opener at
// position start, or npos when the text ends first. Used where no table of skip ends
// is at hand.
std::size_t DirectSkipEnd(std::u16string_view s, std::size_t start) {
  std::vector<std::size_t> open{start};
  std::size_t i = start + 1;
  while (i < s.size()) {
    const char16_t c = s[i];
    const char16_t top = s[open.back()];
    if (top == u'"') {
      if (c == u'"') {
        open.pop_back();
        if (open.empty()) return i;
      } else if (c == u'\\') {
        ++i;
      }
    } else if (c == ClosingOf(top)) {
      open.pop_back();
      if (open.empty()) return i;
    } else if (IsOpener(c)) {
      open.push_back(i);
    }
    ++i;
  }
  return std::u16string_view::npos;
}

void AppendDecoded(std::u16string& out, std::u16string_view s) {
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = i;
    while (i < n && s[i] != u'\\') ++i;
    out.append(s.data() + run, i - run);
    if (i >= n) break;
    // A backslash that ends the body is dropped.
    if (i + 1 == n) break;
    const char16_t c = s[i + 1];
    i += 2;
    switch (c) {
      case u'b':
        out += u'\b';
        break;
      case u'f':
        out += u'\f';
        break;
      case u'n':
        out += u'\n';
        break;
      case u'r':
        out += u'\r';
        break;
      case u't':
        out += u'\t';
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
        out += static_cast<char16_t>(code);
        i += count;
        break;
      }
      // The quotation mark, the solidus, the backslash and any other character stand
      // for themselves.
      default:
        out += c;
    }
  }
}

}  // namespace

// Parses into the real nodes as it goes, so that whatever was read before an error
// stays in the tree as it was read.
class JsonReader {
 public:
  explicit JsonReader(std::u16string_view text) : text_(text) {}

  void ParseValue(TJsonValue& value, std::u16string_view item, int depth);
  void ParseArray(TJsonArray& array, std::u16string_view item, int depth);
  void ParseObject(TJsonObject& object, std::u16string_view item, int depth);
  void ParsePair(TJsonPair& pair, std::u16string_view item, int depth);
  // Steps after the cutting: the name, which must be quoted, then the value.
  void ReadPair(TJsonPair& pair, std::u16string_view name, std::u16string_view value, int depth);

 private:
  // Calls visit with each top-level item of piece cut at delimiter, trimmed; an empty
  // last item is dropped.
  template <typename Visit>
  void ForEachItem(std::u16string_view piece, char16_t delimiter, Visit&& visit);
  // The position of the character that closes the opener at position, or npos when
  // the text ends first.
  std::size_t SkipEnd(std::size_t position);
  void FindSkipEnds();

  // An opener met by the walk of the whole text and the position of its closing
  // character (npos when the text ends first), in the order of the text.
  struct Skip {
    std::size_t opener;
    std::size_t end;
  };

  std::u16string_view text_;
  std::vector<Skip> skips_;
  bool skipsFound_ = false;
  // Where the next look-up most likely is: nested items are read in text order, so
  // nearly every look-up is the entry after the one before.
  std::size_t nextSkip_ = 0;
};

void JsonReader::FindSkipEnds() {
  skipsFound_ = true;
  const std::size_t n = text_.size();
  const char16_t* s = text_.data();
  skips_.reserve(n / 8);
  std::vector<std::size_t> open;  // indexes into skips_
  std::size_t i = 0;
  while (i < n) {
    if (!open.empty() && s[skips_[open.back()].opener] == u'"') {
      while (i < n && s[i] != u'"' && s[i] != u'\\') ++i;
      if (i >= n) break;
      if (s[i] == u'\\') {
        i += 2;
        continue;
      }
      skips_[open.back()].end = i;
      open.pop_back();
      ++i;
      continue;
    }
    const char16_t c = s[i];
    if (IsOpener(c)) {
      open.push_back(skips_.size());
      skips_.push_back({i, std::u16string_view::npos});
    } else if (!open.empty() && c == ClosingOf(s[skips_[open.back()].opener])) {
      skips_[open.back()].end = i;
      open.pop_back();
    }
    ++i;
  }
}

std::size_t JsonReader::SkipEnd(std::size_t position) {
  if (!skipsFound_) FindSkipEnds();
  std::size_t index = nextSkip_;
  if (index >= skips_.size() || skips_[index].opener != position) {
    const auto found =
        std::lower_bound(skips_.begin(), skips_.end(), position,
                         [](const Skip& skip, std::size_t value) { return skip.opener < value; });
    // Every opener a walk meets was met by the walk of the whole text as well; the
    // direct skip is only a safeguard.
    if (found == skips_.end() || found->opener != position) return DirectSkipEnd(text_, position);
    index = static_cast<std::size_t>(found - skips_.begin());
  }
  nextSkip_ = index + 1;
  return skips_[index].end;
}

template <typename Visit>
void JsonReader::ForEachItem(std::u16string_view piece, char16_t delimiter, Visit&& visit) {
  const std::size_t base = static_cast<std::size_t>(piece.data() - text_.data());
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
      const std::size_t end = SkipEnd(base + i);
      // A skip that is not closed within the piece takes the rest of it.
      i = (end == std::u16string_view::npos || end - base >= n) ? n : end - base + 1;
    } else {
      ++i;
    }
  }
  const std::u16string_view last = Trim(piece.substr(itemStart));
  if (!last.empty()) visit(last);
}

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
  value.FValueType = type;
  switch (type) {
    case TJsonValueType::jvNone:
      value.RaiseParseError(t);
    case TJsonValueType::jvNull:
      break;
    case TJsonValueType::jvString: {
      std::u16string decoded;
      decoded.reserve(t.size() - 2);
      AppendDecoded(decoded, t.substr(1, t.size() - 2));
      value.FStringValue = std::move(decoded);
      break;
    }
    case TJsonValueType::jvInteger:
      value.FIntegerValue = integer;
      break;
    case TJsonValueType::jvNumber:
      value.FNumberValue = number;
      break;
    case TJsonValueType::jvBoolean:
      value.FBooleanValue = (t[0] | 0x20) == u't';
      break;
    case TJsonValueType::jvObject:
      value.FObjectValue = std::make_unique<TJsonObject>(&value);
      ParseObject(*value.FObjectValue, t, depth + 1);
      break;
    case TJsonValueType::jvArray:
      value.FArrayValue = std::make_unique<TJsonArray>(&value);
      ParseArray(*value.FArrayValue, t, depth + 1);
      break;
  }
}

void JsonReader::ParseArray(TJsonArray& array, std::u16string_view item, int depth) {
  array.Clear();
  const std::u16string_view t = Trim(item);
  // Past the nesting limit an array is refused like one without its brackets.
  if (!Encloses(t, u'[', u']') || depth > kMaxNestingDepth) array.RaiseParseError(t);
  ForEachItem(Trim(t.substr(1, t.size() - 2)), u',', [&](std::u16string_view text) {
    array.FList.push_back(std::make_unique<TJsonValue>(&array));
    ParseValue(*array.FList.back(), text, depth);
  });
}

void JsonReader::ParseObject(TJsonObject& object, std::u16string_view item, int depth) {
  object.Clear();
  const std::u16string_view t = Trim(item);
  if (!Encloses(t, u'{', u'}') || depth > kMaxNestingDepth) object.RaiseParseError(t);
  const std::u16string_view inner = Trim(t.substr(1, t.size() - 2));

  // A member is cut at its top-level colons by the same walk that cuts the object at
  // its commas: both count only at the top level of the object's text.
  const std::size_t base = static_cast<std::size_t>(inner.data() - text_.data());
  const std::size_t n = inner.size();
  const char16_t* s = inner.data();
  std::size_t memberStart = 0;
  std::size_t colons = 0;
  std::size_t colonAt[2] = {0, 0};
  auto readMember = [&](std::size_t end) {
    object.FList.push_back(std::make_unique<TJsonPair>(&object, std::u16string_view()));
    TJsonPair& pair = *object.FList.back();
    const std::u16string_view member = inner.substr(memberStart, end - memberStart);
    // The parts before each colon always count; the part after the last one only when
    // something is left of it, as in Split.
    std::size_t parts = colons;
    if (colons == 0) {
      parts = Trim(member).empty() ? 0 : 1;
    } else if (colons <= 2) {
      const std::size_t last = colonAt[colons - 1];
      if (!Trim(inner.substr(last + 1, end - last - 1)).empty()) ++parts;
    }
    if (parts != 2) pair.RaiseParseError(Trim(member));
    const std::u16string_view name = Trim(inner.substr(memberStart, colonAt[0] - memberStart));
    const std::size_t valueEnd = colons == 2 ? colonAt[1] : end;
    ReadPair(pair, name, inner.substr(colonAt[0] + 1, valueEnd - colonAt[0] - 1), depth);
  };
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = s[i];
    if (c == u',') {
      readMember(i);
      memberStart = ++i;
      colons = 0;
    } else if (c == u':') {
      if (colons < 2) colonAt[colons] = i;
      ++colons;
      ++i;
    } else if (IsOpener(c)) {
      const std::size_t end = SkipEnd(base + i);
      i = (end == std::u16string_view::npos || end - base >= n) ? n : end - base + 1;
    } else {
      ++i;
    }
  }
  if (!Trim(inner.substr(memberStart)).empty()) readMember(n);
}

void JsonReader::ParsePair(TJsonPair& pair, std::u16string_view item, int depth) {
  const std::u16string_view t = Trim(item);
  std::u16string_view parts[2];
  int count = 0;
  ForEachItem(t, u':', [&](std::u16string_view part) {
    if (count < 2) parts[count] = part;
    ++count;
  });
  if (count != 2) pair.RaiseParseError(t);
  ReadPair(pair, parts[0], parts[1], depth);
}

void JsonReader::ReadPair(TJsonPair& pair, std::u16string_view name, std::u16string_view value,
                          int depth) {
  if (!Encloses(name, u'"', u'"')) pair.RaiseParseError(name);
  std::u16string decoded;
  decoded.reserve(name.size() - 2);
  AppendDecoded(decoded, name.substr(1, name.size() - 2));
  // The name is in place before the value is read, so errors inside it carry it.
  pair.FName = std::move(decoded);
  ParseValue(*pair.FValue, value, depth);
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
  std::u16string out;
  out.reserve(s.size());
  AppendDecoded(out, s);
  return out;
}

void TJsonBase::Split(std::u16string_view s, char16_t delimiter,
                      std::vector<std::u16string>& strings) {
  const std::u16string_view whole = s;
  std::size_t itemStart = 0;
  std::size_t i = 0;
  while (i < whole.size()) {
    const char16_t c = whole[i];
    if (c == delimiter) {
      strings.emplace_back(Trim(whole.substr(itemStart, i - itemStart)));
      itemStart = ++i;
    } else if (IsOpener(c)) {
      const std::size_t end = DirectSkipEnd(whole, i);
      i = end == std::u16string_view::npos ? whole.size() : end + 1;
    } else {
      ++i;
    }
  }
  const std::u16string_view last = Trim(whole.substr(itemStart));
  if (!last.empty()) strings.emplace_back(last);
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
