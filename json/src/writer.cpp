// Writing trees as compact JSON text: no blanks, members and items in their order,
// every character outside printable ASCII escaped, numbers always with '.'.
#include <array>
#include <cstring>
#include <typeinfo>

#include "internal.h"
#include "varnok/json.h"

namespace varnok::json {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789abcdef";

// For each ASCII code unit: 0 when Encode writes it as it is (printable ASCII and
// U+007F, less the quotation mark, the solidus and the backslash), the letter of its
// two-character escape, or 'u' for the four-digit form.
constexpr std::array<char, 128> MakeEscapes() {
  std::array<char, 128> escapes{};
  for (int c = 0; c < 0x20; ++c) escapes[c] = 'u';
  escapes[0x08] = 'b';
  escapes[0x09] = 't';
  escapes[0x0A] = 'n';
  escapes[0x0C] = 'f';
  escapes[0x0D] = 'r';
  escapes['"'] = '"';
  escapes['/'] = '/';
  escapes['\\'] = '\\';
  return escapes;
}

constexpr std::array<char, 128> kEscapes = MakeEscapes();

// The output, written through a raw pointer into chunks that are never moved: the
// first lies on the stack, the later ones double up to a cap, so nothing is copied
// while the text grows and at most one chunk is left unused. Finish copies the chunks
// into the text at its exact size.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Room for count more code units; the pointer it returns is written and moved on.
  char16_t*& Room(std::size_t count) {
    if (static_cast<std::size_t>(end_ - at_) < count) NextChunk(count);
    return at_;
  }
  void Put(char16_t c) { *Room(1)++ = c; }
  void Put(std::u16string_view s) {
    char16_t*& at = Room(s.size());
    std::memcpy(at, s.data(), s.size() * sizeof(char16_t));
    at += s.size();
  }

  void Finish(std::u16string& text) {
    CloseChunk();
    std::size_t total = firstUsed_;
    for (const Chunk& chunk : chunks_) total += chunk.used;
    const std::size_t start = text.size();
    text.resize(start + total);
    char16_t* out = text.data() + start;
    std::memcpy(out, first_, firstUsed_ * sizeof(char16_t));
    out += firstUsed_;
    for (const Chunk& chunk : chunks_) {
      std::memcpy(out, chunk.units.get(), chunk.used * sizeof(char16_t));
      out += chunk.used;
    }
  }

 private:
  static constexpr std::size_t kFirstUnits = 1024;
  static constexpr std::size_t kLargestChunk = std::size_t{1} << 20;

  struct Chunk {
    std::unique_ptr<char16_t[]> units;
    std::size_t used;
  };

  void CloseChunk() {
    const char16_t* begin = chunks_.empty() ? first_ : chunks_.back().units.get();
    const auto used = static_cast<std::size_t>(at_ - begin);
    if (chunks_.empty()) {
      firstUsed_ = used;
    } else {
      chunks_.back().used = used;
    }
  }

  void NextChunk(std::size_t count) {
    CloseChunk();
    nextUnits_ = std::min(nextUnits_ * 2, kLargestChunk);
    const std::size_t units = std::max(nextUnits_, count);
    chunks_.push_back({std::unique_ptr<char16_t[]>(new char16_t[units]), 0});
    at_ = chunks_.back().units.get();
    end_ = at_ + units;
  }

  char16_t first_[kFirstUnits];
  std::size_t firstUsed_ = 0;
  std::vector<Chunk> chunks_;
  std::size_t nextUnits_ = kFirstUnits * 8;
  char16_t* at_ = first_;
  char16_t* end_ = first_ + kFirstUnits;
};

// Writes the escaped text at p, which has room for six code units for each one of s.
char16_t* WriteEscaped(char16_t* p, std::u16string_view s) {
  for (const char16_t c : s) {
    const char escape = c < 0x80 ? kEscapes[c] : 'u';
    if (escape == 0) {
      *p++ = c;
    } else if (escape != 'u') {
      *p++ = u'\\';
      *p++ = static_cast<char16_t>(escape);
    } else {
      p[0] = u'\\';
      p[1] = u'u';
      p[2] = kHexDigits[(c >> 12) & 0xF];
      p[3] = kHexDigits[(c >> 8) & 0xF];
      p[4] = kHexDigits[(c >> 4) & 0xF];
      p[5] = kHexDigits[c & 0xF];
      p += 6;
    }
  }
  return p;
}

// A quoted, escaped text, with the separator before it and the colon after it when
// they are given (0 for none): one request for room per member name or text value.
void PutQuoted(Output& out, std::u16string_view s, char16_t before, char16_t after) {
  char16_t*& at = out.Room(s.size() * 6 + 4);
  char16_t* p = at;
  if (before != 0) *p++ = before;
  *p++ = u'"';
  p = WriteEscaped(p, s);
  *p++ = u'"';
  if (after != 0) *p++ = after;
  at = p;
}

}  // namespace

std::u16string TJsonBase::Encode(std::u16string_view s) {
  std::u16string text(s.size() * 6, u'\0');
  text.resize(static_cast<std::size_t>(WriteEscaped(text.data(), s) - text.data()));
  return text;
}

// One output and an explicit stack of open arrays and objects in place of recursion,
// so that a tree of any depth is written.
void JsonTree::Write(const TJsonBase& node, std::u16string& result) {
  WriteInto(node, result);
}

void JsonTree::WriteInto(const TJsonBase& node, std::u16string& text) {
  struct Open {
    const TJsonArray* array;
    const TJsonObject* object;
    std::size_t next;
  };
  // Replies are shallow: the first levels need no allocation.
  std::array<Open, 16> inlineStack;
  std::vector<Open> deepStack;
  std::size_t depth = 0;
  auto push = [&](const Open& open) {
    if (depth < inlineStack.size()) {
      inlineStack[depth] = open;
    } else {
      deepStack.push_back(open);
    }
    ++depth;
  };
  auto top = [&]() -> Open& {
    return depth <= inlineStack.size() ? inlineStack[depth - 1] : deepStack.back();
  };
  auto pop = [&] {
    if (depth > inlineStack.size()) deepStack.pop_back();
    --depth;
  };

  Output out;
  // Writes a value, or opens its array or object and leaves the rest to the loop.
  auto writeValue = [&](const TJsonValue& value) {
    switch (value.FValueType) {
      case TJsonValueType::jvNone:
      case TJsonValueType::jvNull:
        out.Put(u"null");
        break;
      case TJsonValueType::jvString:
        PutQuoted(out, detail::TextOf(value.FStringValue), 0, 0);
        break;
      case TJsonValueType::jvInteger: {
        char16_t*& at = out.Room(detail::kLongestNumber);
        at = detail::WriteInteger(at, value.FIntegerValue);
        break;
      }
      case TJsonValueType::jvNumber: {
        char16_t*& at = out.Room(detail::kLongestNumber);
        at = detail::WriteFloat(at, value.FNumberValue);
        break;
      }
      case TJsonValueType::jvBoolean:
        out.Put(value.FBooleanValue ? u"true" : u"false");
        break;
      case TJsonValueType::jvObject:
        out.Put(u'{');
        push({nullptr, value.FObjectValue, 0});
        break;
      case TJsonValueType::jvArray:
        out.Put(u'[');
        push({value.FArrayValue, nullptr, 0});
        break;
    }
  };
  auto writePairHead = [&](const TJsonPair& pair, char16_t separator) {
    PutQuoted(out, pair.FName, separator, u':');
    writeValue(pair.FValue);
  };

  // The classes are final, so comparing the dynamic type is enough.
  const std::type_info& type = typeid(node);
  if (type == typeid(TJsonValue)) {
    writeValue(static_cast<const TJsonValue&>(node));
  } else if (type == typeid(TJsonPair)) {
    writePairHead(static_cast<const TJsonPair&>(node), 0);
  } else if (type == typeid(TJsonArray)) {
    out.Put(u'[');
    push({&static_cast<const TJsonArray&>(node), nullptr, 0});
  } else if (type == typeid(TJsonObject)) {
    out.Put(u'{');
    push({nullptr, &static_cast<const TJsonObject&>(node), 0});
  }

  while (depth > 0) {
    Open& open = top();
    if (open.array != nullptr) {
      const auto& items = open.array->FList;
      if (open.next == items.size()) {
        out.Put(u']');
        pop();
        continue;
      }
      if (open.next > 0) out.Put(u',');
      // writeValue may push, so open is not used after it.
      const TJsonValue& item = *items[open.next++];
      writeValue(item);
    } else {
      const auto& pairs = open.object->FList;
      if (open.next == pairs.size()) {
        out.Put(u'}');
        pop();
        continue;
      }
      const char16_t separator = open.next > 0 ? u',' : 0;
      const TJsonPair& member = *pairs[open.next++];
      writePairHead(member, separator);
    }
  }
  out.Finish(text);
}

}  // namespace varnok::json
