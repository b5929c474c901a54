// The node classes: ownership, typed access, conversions between kinds, deep copies
// and the library's error texts.
#include <cmath>
#include <typeinfo>

#include "internal.h"
#include "varnok/json.h"

namespace varnok::json {
namespace {

using detail::Widen;

[[noreturn]] void RaiseListIndexError(int index) {
  std::u16string message = u"List index out of bounds (";
  detail::AppendInteger(message, index);
  message += u')';
  throw JsonError(std::move(message));
}

template <typename List>
void CheckIndex(const List& list, int index, std::size_t limit) {
  (void)list;
  if (index < 0 || static_cast<std::size_t>(index) >= limit) RaiseListIndexError(index);
}

// The destructors of the nodes being destroyed queue their children here instead of
// destroying them, while one Dispose on this thread empties the queue.
thread_local std::vector<std::unique_ptr<TJsonBase>> tDisposalQueue;
thread_local bool tDisposing = false;

}  // namespace

// ---- JsonTree: destruction and deep copies ------------------------------------------

void JsonTree::Dispose(std::unique_ptr<TJsonBase> node) noexcept {
  if (node == nullptr) return;
  if (tDisposing) {
    tDisposalQueue.push_back(std::move(node));
    return;
  }
  tDisposing = true;
  node.reset();
  while (!tDisposalQueue.empty()) {
    std::unique_ptr<TJsonBase> next = std::move(tDisposalQueue.back());
    tDisposalQueue.pop_back();
    next.reset();
  }
  tDisposing = false;
}

bool JsonTree::IsLeaf(const TJsonValue& value) noexcept {
  return value.FObjectValue == nullptr && value.FArrayValue == nullptr;
}

// Gives a fresh, empty target the kind and content of source. The children of an
// object or array are created at once, in order, and filled by later jobs.
void JsonTree::CopyInto(const TJsonValue& source, TJsonValue& target, std::vector<CopyJob>& jobs) {
  target.FValueType = source.FValueType;
  target.FStringValue = source.FStringValue;
  target.FIntegerValue = source.FIntegerValue;
  target.FNumberValue = source.FNumberValue;
  target.FBooleanValue = source.FBooleanValue;
  if (source.FObjectValue != nullptr) {
    target.FObjectValue = std::make_unique<TJsonObject>(&target);
    FillPairs(*source.FObjectValue, target.FObjectValue.get(), target.FObjectValue->FList, jobs);
  }
  if (source.FArrayValue != nullptr) {
    target.FArrayValue = std::make_unique<TJsonArray>(&target);
    FillItems(*source.FArrayValue, target.FArrayValue.get(), target.FArrayValue->FList, jobs);
  }
}

void JsonTree::FillPairs(const TJsonObject& source, TJsonBase* owner,
                         std::vector<std::unique_ptr<TJsonPair>>& list,
                         std::vector<CopyJob>& jobs) {
  const std::size_t count = source.FList.size();
  list.reserve(list.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    const TJsonPair& pair = *source.FList[i];
    auto copy = std::make_unique<TJsonPair>(owner, pair.FName);
    jobs.push_back({pair.FValue.get(), copy->FValue.get()});
    list.push_back(std::move(copy));
  }
}

void JsonTree::FillItems(const TJsonArray& source, TJsonBase* owner,
                         std::vector<std::unique_ptr<TJsonValue>>& list,
                         std::vector<CopyJob>& jobs) {
  const std::size_t count = source.FList.size();
  list.reserve(list.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    auto copy = std::make_unique<TJsonValue>(owner);
    jobs.push_back({source.FList[i].get(), copy.get()});
    list.push_back(std::move(copy));
  }
}

void JsonTree::RunCopyJobs(std::vector<CopyJob>& jobs) {
  while (!jobs.empty()) {
    const CopyJob job = jobs.back();
    jobs.pop_back();
    CopyInto(*job.source, *job.target, jobs);
  }
}

std::unique_ptr<TJsonValue> JsonTree::CopyValue(const TJsonValue& source, TJsonBase* owner) {
  auto copy = std::make_unique<TJsonValue>(owner);
  std::vector<CopyJob> jobs;
  CopyInto(source, *copy, jobs);
  RunCopyJobs(jobs);
  return copy;
}

std::unique_ptr<TJsonObject> JsonTree::CopyObject(const TJsonObject& source, TJsonBase* owner) {
  auto copy = std::make_unique<TJsonObject>(owner);
  std::vector<CopyJob> jobs;
  FillPairs(source, copy.get(), copy->FList, jobs);
  RunCopyJobs(jobs);
  return copy;
}

std::unique_ptr<TJsonArray> JsonTree::CopyArray(const TJsonArray& source, TJsonBase* owner) {
  auto copy = std::make_unique<TJsonArray>(owner);
  std::vector<CopyJob> jobs;
  FillItems(source, copy.get(), copy->FList, jobs);
  RunCopyJobs(jobs);
  return copy;
}

std::vector<std::unique_ptr<TJsonValue>> JsonTree::CopyItems(const TJsonArray& source,
                                                             TJsonBase* owner) {
  std::vector<std::unique_ptr<TJsonValue>> list;
  std::vector<CopyJob> jobs;
  FillItems(source, owner, list, jobs);
  RunCopyJobs(jobs);
  return list;
}

std::vector<std::unique_ptr<TJsonPair>> JsonTree::CopyPairs(const TJsonObject& source,
                                                            TJsonBase* owner) {
  std::vector<std::unique_ptr<TJsonPair>> list;
  std::vector<CopyJob> jobs;
  FillPairs(source, owner, list, jobs);
  RunCopyJobs(jobs);
  return list;
}

// ---- TJsonBase ------------------------------------------------------------------------

TJsonBase::TJsonBase(TJsonBase* owner) noexcept : FOwner(owner) {
  detail::RefreshDecimalSeparatorSnapshot();
}

TJsonBase::~TJsonBase() = default;

void TJsonBase::RaiseError(std::u16string_view text) const {
  std::u16string message;
  message.reserve(text.size() + 16);
  message += u'<';
  message += ClassName();
  message += u'>';
  message += text;
  throw JsonError(std::move(message));
}

void TJsonBase::RaiseAssignError(const TJsonBase* source) const {
  std::u16string text = u"assign error: ";
  text += source != nullptr ? source->ClassName() : u"nil";
  text += u" to ";
  text += ClassName();
  RaiseError(text);
}

void TJsonBase::RaiseParseError(std::u16string_view text) const {
  std::u16string inner = u"\"";
  inner += GetPairName();
  inner += u"\" parse error: ";
  inner += text;
  RaiseError(inner);
}

std::u16string TJsonBase::GetPairName() const {
  for (const TJsonBase* node = FOwner; node != nullptr; node = node->Owner()) {
    if (const auto* pair = dynamic_cast<const TJsonPair*>(node)) return pair->Name();
  }
  return {};
}

// ---- TJsonValue -----------------------------------------------------------------------

TJsonValue::TJsonValue(TJsonBase* owner) noexcept : TJsonBase(owner) {}

TJsonValue::~TJsonValue() {
  Clear();
}

void TJsonValue::Clear() noexcept {
  FStringValue.clear();
  FIntegerValue = 0;
  FNumberValue = 0.0;
  FBooleanValue = false;
  JsonTree::Dispose(std::move(FObjectValue));
  JsonTree::Dispose(std::move(FArrayValue));
  FValueType = TJsonValueType::jvNone;
}

void TJsonValue::RaiseValueTypeError(TJsonValueType requested) const {
  std::u16string text = u"\"";
  text += GetPairName();
  text += u"\" value type error: ";
  text += ValueTypeName(FValueType);
  text += u" to ";
  text += ValueTypeName(requested);
  RaiseError(text);
}

std::u16string TJsonValue::AsString() const {
  std::u16string text;
  switch (FValueType) {
    case TJsonValueType::jvNone:
    case TJsonValueType::jvNull:
      break;
    case TJsonValueType::jvString:
      text = FStringValue;
      break;
    case TJsonValueType::jvInteger:
      detail::AppendInteger(text, FIntegerValue);
      break;
    case TJsonValueType::jvNumber:
      detail::AppendFloat(text, FNumberValue);
      break;
    case TJsonValueType::jvBoolean:
      text = FBooleanValue ? u"true" : u"false";
      break;
    case TJsonValueType::jvObject:
    case TJsonValueType::jvArray:
      RaiseValueTypeError(TJsonValueType::jvString);
  }
  return text;
}

std::int64_t TJsonValue::AsInteger() const {
  switch (FValueType) {
    case TJsonValueType::jvString:
      return JsonToInteger(FStringValue);
    case TJsonValueType::jvInteger:
      return FIntegerValue;
    // A number reads as 0, as an empty value does; it is neither truncated nor rounded.
    case TJsonValueType::jvNumber:
      return 0;
    case TJsonValueType::jvBoolean:
      return FBooleanValue ? 1 : 0;
    case TJsonValueType::jvObject:
    case TJsonValueType::jvArray:
      RaiseValueTypeError(TJsonValueType::jvInteger);
    case TJsonValueType::jvNone:
    case TJsonValueType::jvNull:
      break;
  }
  return 0;
}

double TJsonValue::AsNumber() const {
  switch (FValueType) {
    case TJsonValueType::jvString:
      return JsonToFloat(FStringValue);
    case TJsonValueType::jvInteger:
      return static_cast<double>(FIntegerValue);
    case TJsonValueType::jvNumber:
      return FNumberValue;
    case TJsonValueType::jvBoolean:
      return FBooleanValue ? 1.0 : 0.0;
    case TJsonValueType::jvObject:
    case TJsonValueType::jvArray:
      RaiseValueTypeError(TJsonValueType::jvNumber);
    case TJsonValueType::jvNone:
    case TJsonValueType::jvNull:
      break;
  }
  return 0.0;
}

bool TJsonValue::AsBoolean() const {
  switch (FValueType) {
    case TJsonValueType::jvString:
      return detail::EqualsIgnoringAsciiCase(FStringValue, u"true");
    case TJsonValueType::jvInteger:
      return FIntegerValue != 0;
    // A NaN is not equal to 0.0, so it reads true.
    case TJsonValueType::jvNumber:
      return !(FNumberValue == 0.0);
    case TJsonValueType::jvBoolean:
      return FBooleanValue;
    case TJsonValueType::jvObject:
    case TJsonValueType::jvArray:
      RaiseValueTypeError(TJsonValueType::jvBoolean);
    case TJsonValueType::jvNone:
    case TJsonValueType::jvNull:
      break;
  }
  return false;
}

void TJsonValue::SetAsString(std::u16string_view value) {
  if (FValueType != TJsonValueType::jvString) {
    // The view may point into this value's own text, which Clear empties.
    std::u16string copy(value);
    Clear();
    FValueType = TJsonValueType::jvString;
    FStringValue = std::move(copy);
    return;
  }
  FStringValue.assign(value.data(), value.size());
}

void TJsonValue::SetAsInteger(std::int64_t value) {
  if (FValueType != TJsonValueType::jvInteger) {
    Clear();
    FValueType = TJsonValueType::jvInteger;
  }
  FIntegerValue = value;
}

void TJsonValue::SetAsNumber(double value) {
  if (FValueType != TJsonValueType::jvNumber) {
    Clear();
    FValueType = TJsonValueType::jvNumber;
  }
  FNumberValue = value;
}

void TJsonValue::SetAsBoolean(bool value) {
  if (FValueType != TJsonValueType::jvBoolean) {
    Clear();
    FValueType = TJsonValueType::jvBoolean;
  }
  FBooleanValue = value;
}

TJsonObject& TJsonValue::AsObject() {
  if (FValueType == TJsonValueType::jvNone) {
    FValueType = TJsonValueType::jvObject;
    FObjectValue = std::make_unique<TJsonObject>(this);
  }
  if (FValueType != TJsonValueType::jvObject) RaiseValueTypeError(TJsonValueType::jvObject);
  return *FObjectValue;
}

TJsonArray& TJsonValue::AsArray() {
  if (FValueType == TJsonValueType::jvNone) {
    FValueType = TJsonValueType::jvArray;
    FArrayValue = std::make_unique<TJsonArray>(this);
  }
  if (FValueType != TJsonValueType::jvArray) RaiseValueTypeError(TJsonValueType::jvArray);
  return *FArrayValue;
}

void TJsonValue::SetAsObject(const TJsonObject& value) {
  if (FValueType != TJsonValueType::jvObject) {
    // Copied before Clear, which would destroy value if this value holds it.
    auto copy = JsonTree::CopyObject(value, this);
    Clear();
    FValueType = TJsonValueType::jvObject;
    FObjectValue = std::move(copy);
    return;
  }
  FObjectValue->Assign(&value);
}

void TJsonValue::SetAsArray(const TJsonArray& value) {
  if (FValueType != TJsonValueType::jvArray) {
    auto copy = JsonTree::CopyArray(value, this);
    Clear();
    FValueType = TJsonValueType::jvArray;
    FArrayValue = std::move(copy);
    return;
  }
  FArrayValue->Assign(&value);
}

void TJsonValue::SetIsNull(bool value) noexcept {
  const TJsonValueType target = value ? TJsonValueType::jvNull : TJsonValueType::jvNone;
  if (FValueType != target) {
    Clear();
    FValueType = target;
  }
}

void TJsonValue::SetIsEmpty(bool value) noexcept {
  const TJsonValueType target = value ? TJsonValueType::jvNone : TJsonValueType::jvNull;
  if (FValueType != target) {
    Clear();
    FValueType = target;
  }
}

void TJsonValue::Assign(const TJsonBase* source) {
  if (const auto* value = dynamic_cast<const TJsonValue*>(source)) {
    if (value == this) return;
    // The copy is made in full before this value is cleared, so a source inside this
    // value, or one that contains it, is copied as it stood.
    std::unique_ptr<TJsonObject> object;
    std::unique_ptr<TJsonArray> array;
    if (value->FObjectValue != nullptr) object = JsonTree::CopyObject(*value->FObjectValue, this);
    if (value->FArrayValue != nullptr) array = JsonTree::CopyArray(*value->FArrayValue, this);
    std::u16string text = value->FStringValue;
    const TJsonValueType type = value->FValueType;
    const std::int64_t integer = value->FIntegerValue;
    const double number = value->FNumberValue;
    const bool boolean = value->FBooleanValue;
    Clear();
    FValueType = type;
    FStringValue = std::move(text);
    FIntegerValue = integer;
    FNumberValue = number;
    FBooleanValue = boolean;
    FObjectValue = std::move(object);
    FArrayValue = std::move(array);
    return;
  }
  if (const auto* object = dynamic_cast<const TJsonObject*>(source)) {
    auto copy = JsonTree::CopyObject(*object, this);
    Clear();
    FValueType = TJsonValueType::jvObject;
    FObjectValue = std::move(copy);
    return;
  }
  if (const auto* array = dynamic_cast<const TJsonArray*>(source)) {
    auto copy = JsonTree::CopyArray(*array, this);
    Clear();
    FValueType = TJsonValueType::jvArray;
    FArrayValue = std::move(copy);
    return;
  }
  Clear();
  RaiseAssignError(source);
}

std::u16string TJsonValue::Stringify() const {
  std::u16string text;
  JsonTree::Write(*this, text);
  return text;
}

// ---- TJsonArray -----------------------------------------------------------------------

TJsonArray::TJsonArray(TJsonBase* owner) noexcept : TJsonBase(owner) {}

TJsonArray::~TJsonArray() {
  Clear();
}

TJsonValue& TJsonArray::Items(int index) const {
  CheckIndex(FList, index, FList.size());
  return *FList[static_cast<std::size_t>(index)];
}

TJsonValue& TJsonArray::Add() {
  FList.push_back(std::make_unique<TJsonValue>(this));
  return *FList.back();
}

TJsonValue& TJsonArray::Insert(int index) {
  CheckIndex(FList, index, FList.size() + 1);
  auto item = std::make_unique<TJsonValue>(this);
  TJsonValue& inserted = *item;
  FList.insert(FList.begin() + index, std::move(item));
  return inserted;
}

TJsonValue& TJsonArray::Put(TJsonEmpty) {
  TJsonValue& item = Add();
  item.SetIsEmpty(true);
  return item;
}

TJsonValue& TJsonArray::Put(TJsonNull) {
  TJsonValue& item = Add();
  item.SetIsNull(true);
  return item;
}

TJsonValue& TJsonArray::Put(bool value) {
  TJsonValue& item = Add();
  item.SetAsBoolean(value);
  return item;
}

TJsonValue& TJsonArray::Put(std::int64_t value) {
  TJsonValue& item = Add();
  item.SetAsInteger(value);
  return item;
}

TJsonValue& TJsonArray::Put(double value) {
  TJsonValue& item = Add();
  item.SetAsNumber(value);
  return item;
}

TJsonValue& TJsonArray::Put(std::u16string_view value) {
  TJsonValue& item = Add();
  item.SetAsString(value);
  return item;
}

TJsonValue& TJsonArray::Put(const TJsonArray& value) {
  TJsonValue& item = Add();
  item.Assign(&value);
  return item;
}

TJsonValue& TJsonArray::Put(const TJsonObject& value) {
  TJsonValue& item = Add();
  item.Assign(&value);
  return item;
}

TJsonValue& TJsonArray::Put(const TJsonValue& value) {
  TJsonValue& item = Add();
  item.Assign(&value);
  return item;
}

void TJsonArray::Delete(int index) {
  CheckIndex(FList, index, FList.size());
  auto item = std::move(FList[static_cast<std::size_t>(index)]);
  FList.erase(FList.begin() + index);
  JsonTree::Dispose(std::move(item));
}

void TJsonArray::Clear() noexcept {
  for (auto& item : FList) {
    if (JsonTree::IsLeaf(*item)) {
      item.reset();
    } else {
      JsonTree::Dispose(std::move(item));
    }
  }
  FList.clear();
}

void TJsonArray::Merge(const TJsonArray& addition) {
  // The count is taken once, so merging an array into itself doubles it.
  const std::size_t count = addition.FList.size();
  for (std::size_t i = 0; i < count; ++i) {
    FList.push_back(JsonTree::CopyValue(*addition.FList[i], this));
  }
}

void TJsonArray::Assign(const TJsonBase* source) {
  const auto* array = dynamic_cast<const TJsonArray*>(source);
  if (array == nullptr) {
    Clear();
    RaiseAssignError(source);
  }
  if (array == this) return;
  auto copy = JsonTree::CopyItems(*array, this);
  Clear();
  FList = std::move(copy);
}

std::u16string TJsonArray::Stringify() const {
  std::u16string text;
  JsonTree::Write(*this, text);
  return text;
}

// ---- TJsonPair ------------------------------------------------------------------------

TJsonPair::TJsonPair(TJsonBase* owner, std::u16string_view name)
    : TJsonBase(owner), FName(name), FValue(std::make_unique<TJsonValue>(this)) {}

TJsonPair::~TJsonPair() {
  if (JsonTree::IsLeaf(*FValue)) {
    FValue.reset();
  } else {
    JsonTree::Dispose(std::move(FValue));
  }
}

void TJsonPair::Assign(const TJsonBase* source) {
  const auto* pair = dynamic_cast<const TJsonPair*>(source);
  // A failed assignment leaves the pair as it was.
  if (pair == nullptr) RaiseAssignError(source);
  if (pair == this) return;
  std::u16string name = pair->FName;
  FValue->Assign(pair->FValue.get());
  FName = std::move(name);
}

std::u16string TJsonPair::Stringify() const {
  std::u16string text;
  JsonTree::Write(*this, text);
  return text;
}

// ---- TJsonObject ----------------------------------------------------------------------

TJsonObject::TJsonObject(TJsonBase* owner) noexcept : TJsonBase(owner) {}

TJsonObject::~TJsonObject() {
  Clear();
}

TJsonPair& TJsonObject::Items(int index) const {
  CheckIndex(FList, index, FList.size());
  return *FList[static_cast<std::size_t>(index)];
}

TJsonValue& TJsonObject::Values(std::u16string_view name) {
  const int index = Find(name);
  if (index >= 0) return FList[static_cast<std::size_t>(index)]->Value();
  if (!FAutoAdd) {
    std::u16string text(name);
    text += u" not found";
    RaiseError(text);
  }
  return Add(name).Value();
}

TJsonPair& TJsonObject::Add(std::u16string_view name) {
  FList.push_back(std::make_unique<TJsonPair>(this, name));
  return *FList.back();
}

TJsonPair& TJsonObject::Insert(int index, std::u16string_view name) {
  CheckIndex(FList, index, FList.size() + 1);
  auto pair = std::make_unique<TJsonPair>(this, name);
  TJsonPair& inserted = *pair;
  FList.insert(FList.begin() + index, std::move(pair));
  return inserted;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, TJsonEmpty) {
  TJsonValue& value = Add(name).Value();
  value.SetIsEmpty(true);
  return value;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, TJsonNull) {
  TJsonValue& value = Add(name).Value();
  value.SetIsNull(true);
  return value;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, bool value) {
  TJsonValue& added = Add(name).Value();
  added.SetAsBoolean(value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, std::int64_t value) {
  TJsonValue& added = Add(name).Value();
  added.SetAsInteger(value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, double value) {
  TJsonValue& added = Add(name).Value();
  added.SetAsNumber(value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, std::u16string_view value) {
  TJsonValue& added = Add(name).Value();
  added.SetAsString(value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, const TJsonArray& value) {
  TJsonValue& added = Add(name).Value();
  added.Assign(&value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, const TJsonObject& value) {
  TJsonValue& added = Add(name).Value();
  added.Assign(&value);
  return added;
}

TJsonValue& TJsonObject::Put(std::u16string_view name, const TJsonValue& value) {
  TJsonValue& added = Add(name).Value();
  added.Assign(&value);
  return added;
}

TJsonValue& TJsonObject::Put(const TJsonPair& value) {
  TJsonPair& added = Add();
  added.Assign(&value);
  return added.Value();
}

int TJsonObject::Find(std::u16string_view name) const noexcept {
  for (std::size_t i = 0; i < FList.size(); ++i) {
    if (detail::EqualsIgnoringAsciiCase(FList[i]->Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

void TJsonObject::Delete(int index) {
  CheckIndex(FList, index, FList.size());
  auto pair = std::move(FList[static_cast<std::size_t>(index)]);
  FList.erase(FList.begin() + index);
  JsonTree::Dispose(std::move(pair));
}

void TJsonObject::Delete(std::u16string_view name) {
  const int index = Find(name);
  if (index < 0) {
    std::u16string text = u"\"";
    text += name;
    text += u"\" not found";
    RaiseError(text);
  }
  Delete(index);
}

void TJsonObject::Clear() noexcept {
  for (auto& pair : FList) {
    if (JsonTree::IsLeaf(pair->Value())) {
      pair.reset();
    } else {
      JsonTree::Dispose(std::move(pair));
    }
  }
  FList.clear();
}

void TJsonObject::Merge(const TJsonObject& addition) {
  // The count is taken once, so merging an object into itself doubles it.
  const std::size_t count = addition.FList.size();
  for (std::size_t i = 0; i < count; ++i) {
    const TJsonPair& pair = *addition.FList[i];
    auto copy = std::make_unique<TJsonPair>(this, pair.Name());
    copy->Value().Assign(&pair.Value());
    FList.push_back(std::move(copy));
  }
}

void TJsonObject::Assign(const TJsonBase* source) {
  const auto* object = dynamic_cast<const TJsonObject*>(source);
  if (object == nullptr) {
    Clear();
    RaiseAssignError(source);
  }
  if (object == this) return;
  auto copy = JsonTree::CopyPairs(*object, this);
  Clear();
  FList = std::move(copy);
}

std::u16string TJsonObject::Stringify() const {
  std::u16string text;
  JsonTree::Write(*this, text);
  return text;
}

}  // namespace varnok::json
