// Varnok's JSON document library: a tree of nodes that owns its children, a lenient
// reader and a compact, pure-ASCII writer. Text is UTF-16 throughout; the library
// depends on nothing but the standard library.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnok::json {

// The one error type of the library. Its message is part of the product (it reaches
// the log), so it is kept as the UTF-16 text that was raised; what() gives it as UTF-8.
class JsonError : public std::exception {
 public:
  explicit JsonError(std::u16string message);
  const std::u16string& message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::u16string message_;
  std::string utf8_;
};

enum class TJsonValueType : std::uint8_t {
  jvNone,
  jvNull,
  jvString,
  jvInteger,
  jvNumber,
  jvBoolean,
  jvObject,
  jvArray
};

// The identifier of a kind as error texts print it ("jvNone" ... "jvArray").
std::u16string_view ValueTypeName(TJsonValueType type) noexcept;

// Tags that select the Put overloads storing a null or an empty value.
enum class TJsonNull { null };
enum class TJsonEmpty { empty };

// Parsing stops at this many nested arrays and objects: deep enough for any reply a
// store server sends, shallow enough that parsing, copying, writing and destroying
// the deepest accepted tree stay far from the end of the stack.
inline constexpr int kMaxNestingDepth = 512;

// The regional decimal separator that node constructors copy into
// DecimalSeparatorSnapshot. The program sets it once at start-up from its locale;
// tests set it directly. It starts as '.'.
void SetRegionalDecimalSeparator(char16_t separator) noexcept;
char16_t RegionalDecimalSeparator() noexcept;
// The separator as it was when the last node was created.
char16_t DecimalSeparatorSnapshot() noexcept;

// Number text conversions: JSON text always uses '.', whatever the regional settings.
std::u16string FloatToJson(double value);
std::int64_t JsonToInteger(std::u16string_view text);
bool TryJsonToFloat(std::u16string_view text, double& value) noexcept;
double JsonToFloat(std::u16string_view text);

class TJsonValue;
class TJsonArray;
class TJsonPair;
class TJsonObject;

// Root of the node family. Nodes are neither copied nor moved: a tree is copied with
// Assign, and every node keeps a plain, non-owning link to the node that created it.
class TJsonBase {
 public:
  explicit TJsonBase(TJsonBase* owner) noexcept;
  virtual ~TJsonBase();
  TJsonBase(const TJsonBase&) = delete;
  TJsonBase& operator=(const TJsonBase&) = delete;

  TJsonBase* Owner() const noexcept { return FOwner; }

  // Nodes come from slabs of equal-sized blocks without a header each, so that a reply
  // of millions of small values fits in memory; a slab whose nodes are all gone goes
  // back to the system.
  static void* operator new(std::size_t size);
  static void operator delete(void* pointer, std::size_t size) noexcept;

  // Replaces the node's content by the document read from the text.
  virtual void Parse(std::u16string_view jsonString) = 0;
  // The node as compact JSON text, pure ASCII.
  virtual std::u16string Stringify() const = 0;
  // Replaces the node's content by a deep copy of source (which may be null).
  virtual void Assign(const TJsonBase* source) = 0;
  // "TJsonValue", "TJsonArray", "TJsonPair" or "TJsonObject".
  virtual std::u16string_view ClassName() const noexcept = 0;

  // Text helpers of the reader and the writer; they read no node state.
  static std::u16string Encode(std::u16string_view s);
  static std::u16string Decode(std::u16string_view s);
  static void Split(std::u16string_view s, char16_t delimiter,
                    std::vector<std::u16string>& strings);
  static bool IsJsonObject(std::u16string_view s) noexcept;
  static bool IsJsonArray(std::u16string_view s) noexcept;
  static bool IsJsonString(std::u16string_view s) noexcept;
  static bool IsJsonInteger(std::u16string_view s) noexcept;
  static bool IsJsonNumber(std::u16string_view s) noexcept;
  static bool IsJsonBoolean(std::u16string_view s) noexcept;
  static bool IsJsonNull(std::u16string_view s) noexcept;
  static TJsonValueType AnalyzeJsonValueType(std::u16string_view s) noexcept;

 protected:
  [[noreturn]] void RaiseError(std::u16string_view text) const;
  [[noreturn]] void RaiseAssignError(const TJsonBase* source) const;
  [[noreturn]] void RaiseParseError(std::u16string_view text) const;
  std::u16string GetPairName() const;

 private:
  TJsonBase* FOwner;

  friend class JsonTree;
};

class TJsonValue final : public TJsonBase {
 public:
  explicit TJsonValue(TJsonBase* owner = nullptr) noexcept;
  ~TJsonValue() override;

  void Parse(std::u16string_view jsonString) override;
  std::u16string Stringify() const override;
  void Assign(const TJsonBase* source) override;
  std::u16string_view ClassName() const noexcept override { return u"TJsonValue"; }

  void Clear() noexcept;
  TJsonValueType ValueType() const noexcept { return FValueType; }

  std::u16string AsString() const;
  void SetAsString(std::u16string_view value);
  std::int64_t AsInteger() const;
  void SetAsInteger(std::int64_t value);
  double AsNumber() const;
  void SetAsNumber(double value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  // Reading AsObject or AsArray of an empty value turns it into an empty one first.
  TJsonObject& AsObject();
  void SetAsObject(const TJsonObject& value);
  TJsonArray& AsArray();
  void SetAsArray(const TJsonArray& value);
  bool IsNull() const noexcept { return FValueType == TJsonValueType::jvNull; }
  void SetIsNull(bool value) noexcept;
  bool IsEmpty() const noexcept { return FValueType == TJsonValueType::jvNone; }
  void SetIsEmpty(bool value) noexcept;

 private:
  [[noreturn]] void RaiseValueTypeError(TJsonValueType requested) const;

  // FValueType says which member of the union holds the content; a value is no bigger
  // than the kind and one word, so large arrays of small values stay small. A string's
  // text lives in one block of its own (its length, then its code units; none when
  // empty), and an object or array belongs to the value.
  TJsonValueType FValueType = TJsonValueType::jvNone;
  union {
    char16_t* FStringValue;
    std::int64_t FIntegerValue = 0;
    double FNumberValue;
    bool FBooleanValue;
    TJsonObject* FObjectValue;
    TJsonArray* FArrayValue;
  };

  friend class JsonReader;
  friend class JsonTree;
};

// Integral arguments other than bool and the 64-bit integer itself, so that Put(5)
// stores an integer instead of being ambiguous between the integer, number and boolean
// overloads.
template <typename T>
concept NarrowInteger =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, std::int64_t>;

class TJsonArray final : public TJsonBase {
 public:
  explicit TJsonArray(TJsonBase* owner = nullptr) noexcept;
  ~TJsonArray() override;

  void Parse(std::u16string_view jsonString) override;
  std::u16string Stringify() const override;
  void Assign(const TJsonBase* source) override;
  std::u16string_view ClassName() const noexcept override { return u"TJsonArray"; }

  int Count() const noexcept { return static_cast<int>(FList.size()); }
  const TJsonValue& Items(int index) const;
  TJsonValue& Items(int index);
  const TJsonValue& operator[](int index) const { return Items(index); }
  TJsonValue& operator[](int index) { return Items(index); }

  TJsonValue& Add();
  TJsonValue& Insert(int index);
  TJsonValue& Put(TJsonEmpty value);
  TJsonValue& Put(TJsonNull value);
  TJsonValue& Put(bool value);
  TJsonValue& Put(std::int64_t value);
  TJsonValue& Put(double value);
  TJsonValue& Put(std::u16string_view value);
  TJsonValue& Put(const char16_t* value) { return Put(std::u16string_view(value)); }
  TJsonValue& Put(const TJsonArray& value);
  TJsonValue& Put(const TJsonObject& value);
  TJsonValue& Put(const TJsonValue& value);
  template <NarrowInteger T>
  TJsonValue& Put(T value) {
    return Put(static_cast<std::int64_t>(value));
  }

  void Delete(int index);
  void Clear() noexcept;
  void Merge(const TJsonArray& addition);

 private:
  std::vector<std::unique_ptr<TJsonValue>> FList;

  friend class JsonReader;
  friend class JsonTree;
};

class TJsonPair final : public TJsonBase {
 public:
  TJsonPair(TJsonBase* owner, std::u16string_view name);
  ~TJsonPair() override;

  void Parse(std::u16string_view jsonString) override;
  std::u16string Stringify() const override;
  void Assign(const TJsonBase* source) override;
  std::u16string_view ClassName() const noexcept override { return u"TJsonPair"; }

  const std::u16string& Name() const noexcept { return FName; }
  void SetName(std::u16string_view name) { FName = name; }
  const TJsonValue& Value() const noexcept { return FValue; }
  TJsonValue& Value() noexcept { return FValue; }

 private:
  std::u16string FName;
  // Part of the pair, created and destroyed with it.
  TJsonValue FValue;

  friend class JsonReader;
  friend class JsonTree;
};

class TJsonObject final : public TJsonBase {
 public:
  explicit TJsonObject(TJsonBase* owner = nullptr) noexcept;
  ~TJsonObject() override;

  void Parse(std::u16string_view jsonString) override;
  std::u16string Stringify() const override;
  void Assign(const TJsonBase* source) override;
  std::u16string_view ClassName() const noexcept override { return u"TJsonObject"; }

  int Count() const noexcept { return static_cast<int>(FList.size()); }
  const TJsonPair& Items(int index) const;
  TJsonPair& Items(int index);
  // The value of the first member of that name (ASCII letter case ignored); adds the
  // member when AutoAdd is on, raises when it is off.
  TJsonValue& Values(std::u16string_view name);
  TJsonValue& operator[](std::u16string_view name) { return Values(name); }

  bool AutoAdd() const noexcept { return FAutoAdd; }
  void SetAutoAdd(bool value) noexcept { FAutoAdd = value; }

  TJsonPair& Add(std::u16string_view name = {});
  TJsonPair& Insert(int index, std::u16string_view name);
  TJsonValue& Put(std::u16string_view name, TJsonEmpty value);
  TJsonValue& Put(std::u16string_view name, TJsonNull value);
  TJsonValue& Put(std::u16string_view name, bool value);
  TJsonValue& Put(std::u16string_view name, std::int64_t value);
  TJsonValue& Put(std::u16string_view name, double value);
  TJsonValue& Put(std::u16string_view name, std::u16string_view value);
  TJsonValue& Put(std::u16string_view name, const char16_t* value) {
    return Put(name, std::u16string_view(value));
  }
  TJsonValue& Put(std::u16string_view name, const TJsonArray& value);
  TJsonValue& Put(std::u16string_view name, const TJsonObject& value);
  TJsonValue& Put(std::u16string_view name, const TJsonValue& value);
  template <NarrowInteger T>
  TJsonValue& Put(std::u16string_view name, T value) {
    return Put(name, static_cast<std::int64_t>(value));
  }
  // Appends a copy of the pair (name and value) and returns the new pair's value.
  TJsonValue& Put(const TJsonPair& value);

  int Find(std::u16string_view name) const noexcept;
  void Delete(int index);
  void Delete(std::u16string_view name);
  void Clear() noexcept;
  void Merge(const TJsonObject& addition);

 private:
  std::vector<std::unique_ptr<TJsonPair>> FList;
  bool FAutoAdd = true;

  friend class JsonReader;
  friend class JsonTree;
};

}  // namespace varnok::json
