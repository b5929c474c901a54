// Pieces shared by the library's source files and by nothing outside them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnok::json::detail {

// Whitespace for the reader is every code unit from U+0000 to U+0020.
inline bool IsBlank(char16_t c) noexcept {
  return c <= u' ';
}

inline std::u16string_view Trim(std::u16string_view s) noexcept {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

inline char16_t AsciiLower(char16_t c) noexcept {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Equal length and equal code units, the letters A-Z matching a-z; nothing else folds.
inline bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// ASCII text widened to UTF-16, for building messages from literals and digits.
inline std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Stores the regional decimal separator into DecimalSeparatorSnapshot; every node
// constructor runs it.
void RefreshDecimalSeparatorSnapshot() noexcept;

// Called when a tree without an owner has let its content go. Once its slabs have gone
// back to the system, the small blocks of the general heap that it used (the lists of
// children, the texts) are handed back too: the heap keeps freed small blocks
// otherwise, and one large reply would stay in the process for good.
void TreeReleased() noexcept;

// The text of a string value: one block holding the length, then the code units, so
// that a value needs one word for it. An empty text has no block (nullptr).
char16_t* NewText(std::u16string_view text);
// A block of room for capacity code units, whose length SetTextLength fixes once they
// are written; nullptr for no room.
char16_t* NewTextRoom(std::size_t capacity);
char16_t* TextUnits(char16_t* block) noexcept;
void SetTextLength(char16_t* block, std::size_t length) noexcept;
void FreeText(char16_t* block) noexcept;
std::u16string_view TextOf(const char16_t* block) noexcept;

// The integer form: the value, or false for any other text.
bool TryJsonToInteger(std::u16string_view text, std::int64_t& value) noexcept;

// The JSON text of a number (see FloatToJson) or an integer, written at out; the end
// of the text is returned. Neither writes more than kLongestNumber code units
// ("-1.23456789012345E-308", "-9223372036854775808").
inline constexpr std::size_t kLongestNumber = 24;
char16_t* WriteFloat(char16_t* out, double value);
char16_t* WriteInteger(char16_t* out, std::int64_t value);
void AppendFloat(std::u16string& out, double value);
void AppendInteger(std::u16string& out, std::int64_t value);

}  // namespace varnok::json::detail

namespace varnok::json {

class TJsonBase;
class TJsonValue;
class TJsonArray;
class TJsonObject;
class TJsonPair;

// Walks over whole trees without recursion, so that no depth of nesting can exhaust
// the stack: destroying, deep copying and writing.
class JsonTree {
 public:
  // Destroy an array or object that no value holds any more, and everything below it,
  // with a loop instead of recursion.
  static void DisposeArray(TJsonArray* array) noexcept;
  static void DisposeObject(TJsonObject* object) noexcept;
  // Moves the content of source, a value no tree holds, into target, which is empty.
  static void TakeContent(TJsonValue& source, TJsonValue& target) noexcept;

  // Deep copies that are complete before anything links them into a tree, so that a
  // source that contains the receiver is read as it stood.
  static std::unique_ptr<TJsonValue> CopyValue(const TJsonValue& source, TJsonBase* owner);
  static std::unique_ptr<TJsonObject> CopyObject(const TJsonObject& source, TJsonBase* owner);
  static std::unique_ptr<TJsonArray> CopyArray(const TJsonArray& source, TJsonBase* owner);

  // The same copies as lists of children owned by owner, for Assign of an array or
  // an object, whose receiver keeps its identity.
  static std::vector<std::unique_ptr<TJsonValue>> CopyItems(const TJsonArray& source,
                                                            TJsonBase* owner);
  static std::vector<std::unique_ptr<TJsonPair>> CopyPairs(const TJsonObject& source,
                                                           TJsonBase* owner);

  // Appends the JSON text of any node.
  static void Write(const TJsonBase& node, std::u16string& out);
  static void WriteInto(const TJsonBase& node, std::u16string& out);

 private:
  struct CopyJob {
    const TJsonValue* source;
    TJsonValue* target;
  };
  static void CopyInto(const TJsonValue& source, TJsonValue& target, std::vector<CopyJob>& jobs);
  static void FillItems(const TJsonArray& source, TJsonBase* owner,
                        std::vector<std::unique_ptr<TJsonValue>>& list, std::vector<CopyJob>& jobs);
  static void FillPairs(const TJsonObject& source, TJsonBase* owner,
                        std::vector<std::unique_ptr<TJsonPair>>& list, std::vector<CopyJob>& jobs);
  static void RunCopyJobs(std::vector<CopyJob>& jobs);
  static void DisposeContainers(TJsonArray* arrays, TJsonObject* objects) noexcept;
};

}  // namespace varnok::json
