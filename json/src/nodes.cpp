// The node classes: ownership, typed access, conversions between kinds, deep copies
// and the library's error texts.
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
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

void CheckIndex(int index, std::size_t limit) {
  if (index < 0 || static_cast<std::size_t>(index) >= limit) RaiseListIndexError(index);
}

}  // namespace

// ---- JsonTree: destruction and deep copies ------------------------------------------

void JsonTree::DisposeArray(TJsonArray* array) noexcept {
  DisposeContainers(array, nullptr);
}

void JsonTree::DisposeObject(TJsonObject* object) noexcept {
  DisposeContainers(nullptr, object);
}

// The arrays and objects still to be destroyed wait in two chains linked through their
// owner links, which nothing reads any more, so that destroying needs no memory of its
// own. Each container hands the arrays and objects of its items to the chains before
// the items go, so no destructor ever meets a nested container.
void JsonTree::DisposeContainers(TJsonArray* arrays, TJsonObject* objects) noexcept {
  if (arrays != nullptr) arrays->FOwner = nullptr;
  if (objects != nullptr) objects->FOwner = nullptr;
  auto detach = [&](TJsonValue& value) {
    if (value.FValueType == TJsonValueType::jvArray) {
      value.FArrayValue->FOwner = arrays;
      arrays = value.FArrayValue;
    } else if (value.FValueType == TJsonValueType::jvObject) {
      value.FObjectValue->FOwner = objects;
      objects = value.FObjectValue;
    } else {
      return;
    }
    value.FValueType = TJsonValueType::jvNone;
    value.FIntegerValue = 0;
  };
  while (arrays != nullptr || objects != nullptr) {
    if (arrays != nullptr) {
      TJsonArray* array = arrays;
      arrays = static_cast<TJsonArray*>(array->FOwner);
      for (auto& item : array->FList) {
        detach(*item);
        item.reset();
      }
      array->FList.clear();
      // Not a root: its destructor must not take this for the end of a whole tree.
      array->FOwner = array;
      delete array;
    } else {
      TJsonObject* object = objects;
      objects = static_cast<TJsonObject*>(object->FOwner);
      for (auto& pair : object->FList) {
        detach(pair->FValue);
        pair.reset();
      }
      object->FList.clear();
      object->FOwner = object;
      delete object;
    }
  }
}

// Gives a fresh, empty target the kind and content of source. The children of an
// object or array are created at once, in order, and filled by later jobs.
void JsonTree::CopyInto(const TJsonValue& source, TJsonValue& target, std::vector<CopyJob>& jobs) {
  switch (source.FValueType) {
    case TJsonValueType::jvNone:
    case TJsonValueType::jvNull:
      break;
    case TJsonValueType::jvString:
      target.FStringValue = detail::NewText(detail::TextOf(source.FStringValue));
      break;
    case TJsonValueType::jvInteger:
      target.FIntegerValue = source.FIntegerValue;
      break;
    case TJsonValueType::jvNumber:
      target.FNumberValue = source.FNumberValue;
      break;
    case TJsonValueType::jvBoolean:
      target.FBooleanValue = source.FBooleanValue;
      break;
    case TJsonValueType::jvObject: {
      auto* object = new TJsonObject(&target);
      target.FObjectValue = object;
      target.FValueType = TJsonValueType::jvObject;
      FillPairs(*source.FObjectValue, object, object->FList, jobs);
      return;
    }
    case TJsonValueType::jvArray: {
      auto* array = new TJsonArray(&target);
      target.FArrayValue = array;
      target.FValueType = TJsonValueType::jvArray;
      FillItems(*source.FArrayValue, array, array->FList, jobs);
      return;
    }
  }
  target.FValueType = source.FValueType;
}

void JsonTree::FillPairs(const TJsonObject& source, TJsonBase* owner,
                         std::vector<std::unique_ptr<TJsonPair>>& list,
                         std::vector<CopyJob>& jobs) {
  const std::size_t count = source.FList.size();
  list.reserve(list.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    const TJsonPair& pair = *source.FList[i];
    auto copy = std::make_unique<TJsonPair>(owner, pair.FName);
    jobs.push_back({&pair.FValue, &copy->FValue});
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

void JsonTree::TakeContent(TJsonValue& source, TJsonValue& target) noexcept {
  target.FValueType = source.FValueType;
  target.FIntegerValue = source.FIntegerValue;  // the whole word, whatever the kind
  if (source.FValueType == TJsonValueType::jvObject) source.FObjectValue->FOwner = &target;
  if (source.FValueType == TJsonValueType::jvArray) source.FArrayValue->FOwner = &target;
  source.FValueType = TJsonValueType::jvNone;
  source.FIntegerValue = 0;
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
  switch (FValueType) {
    case TJsonValueType::jvString:
      detail::FreeText(FStringValue);
      break;
    case TJsonValueType::jvObject:
      JsonTree::DisposeObject(FObjectValue);
      break;
    case TJsonValueType::jvArray:
      JsonTree::DisposeArray(FArrayValue);
      break;
    default:
      break;
  }
  FValueType = TJsonValueType::jvNone;
  FIntegerValue = 0;
  if (Owner() == nullptr) detail::TreeReleased();
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
      text = detail::TextOf(FStringValue);
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
      return JsonToInteger(detail::TextOf(FStringValue));
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
      return JsonToFloat(detail::TextOf(FStringValue));
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
      return detail::EqualsIgnoringAsciiCase(detail::TextOf(FStringValue), u"true");
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
  // The view may point into this value's own text or into a text below it, which Clear
  // frees, so the new text is made first.
  char16_t* text = detail::NewText(value);
  Clear();
  FValueType = TJsonValueType::jvString;
  FStringValue = text;
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
    FObjectValue = new TJsonObject(this);
    FValueType = TJsonValueType::jvObject;
  }
  if (FValueType != TJsonValueType::jvObject) RaiseValueTypeError(TJsonValueType::jvObject);
  return *FObjectValue;
}

TJsonArray& TJsonValue::AsArray() {
  if (FValueType == TJsonValueType::jvNone) {
    FArrayValue = new TJsonArray(this);
    FValueType = TJsonValueType::jvArray;
  }
  if (FValueType != TJsonValueType::jvArray) RaiseValueTypeError(TJsonValueType::jvArray);
  return *FArrayValue;
}

void TJsonValue::SetAsObject(const TJsonObject& value) {
  if (FValueType != TJsonValueType::jvObject) {
    // Copied before Clear, which would destroy value if this value holds it.
    auto copy = JsonTree::CopyObject(value, this);
    Clear();
    FObjectValue = copy.release();
    FValueType = TJsonValueType::jvObject;
    return;
  }
  FObjectValue->Assign(&value);
}

void TJsonValue::SetAsArray(const TJsonArray& value) {
  if (FValueType != TJsonValueType::jvArray) {
    auto copy = JsonTree::CopyArray(value, this);
    Clear();
    FArrayValue = copy.release();
    FValueType = TJsonValueType::jvArray;
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
    std::unique_ptr<TJsonValue> copy = JsonTree::CopyValue(*value, this);
    Clear();
    JsonTree::TakeContent(*copy, *this);
    return;
  }
  if (const auto* object = dynamic_cast<const TJsonObject*>(source)) {
    auto copy = JsonTree::CopyObject(*object, this);
    Clear();
    FObjectValue = copy.release();
    FValueType = TJsonValueType::jvObject;
    return;
  }
  if (const auto* array = dynamic_cast<const TJsonArray*>(source)) {
    auto copy = JsonTree::CopyArray(*array, this);
    Clear();
    FArrayValue = copy.release();
    FValueType = TJsonValueType::jvArray;
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

const TJsonValue& TJsonArray::Items(int index) const {
  CheckIndex(index, FList.size());
  return *FList[static_cast<std::size_t>(index)];
}

TJsonValue& TJsonArray::Items(int index) {
  CheckIndex(index, FList.size());
  return *FList[static_cast<std::size_t>(index)];
}

TJsonValue& TJsonArray::Add() {
  FList.push_back(std::make_unique<TJsonValue>(this));
  return *FList.back();
}

TJsonValue& TJsonArray::Insert(int index) {
  CheckIndex(index, FList.size() + 1);
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
  CheckIndex(index, FList.size());
  // Taken out of the list before it is destroyed, so the list is whole meanwhile.
  std::unique_ptr<TJsonValue> item = std::move(FList[static_cast<std::size_t>(index)]);
  FList.erase(FList.begin() + index);
}

void TJsonArray::Clear() noexcept {
  // Each item destroys what lies below it without recursion. The list's own storage
  // goes too, so that a cleared array holds no memory.
  for (auto& item : FList) item.reset();
  std::vector<std::unique_ptr<TJsonValue>>().swap(FList);
  if (Owner() == nullptr) detail::TreeReleased();
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
    : TJsonBase(owner), FName(name), FValue(this) {}

TJsonPair::~TJsonPair() = default;

void TJsonPair::Assign(const TJsonBase* source) {
  const auto* pair = dynamic_cast<const TJsonPair*>(source);
  // A failed assignment leaves the pair as it was.
  if (pair == nullptr) RaiseAssignError(source);
  if (pair == this) return;
  std::u16string name = pair->FName;
  FValue.Assign(&pair->FValue);
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

const TJsonPair& TJsonObject::Items(int index) const {
  CheckIndex(index, FList.size());
  return *FList[static_cast<std::size_t>(index)];
}

TJsonPair& TJsonObject::Items(int index) {
  CheckIndex(index, FList.size());
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
  CheckIndex(index, FList.size() + 1);
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
  CheckIndex(index, FList.size());
  std::unique_ptr<TJsonPair> pair = std::move(FList[static_cast<std::size_t>(index)]);
  FList.erase(FList.begin() + index);
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
  for (auto& pair : FList) pair.reset();
  std::vector<std::unique_ptr<TJsonPair>>().swap(FList);
  if (Owner() == nullptr) detail::TreeReleased();
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

namespace varnok::json::detail {

namespace {

// A block starts with the length, in as many code units as a size takes. Blocks come
// from the general heap, in the order the texts are read, so that writing a tree reads
// them close together. They are given back unsized, since clang does not enable sized
// deallocation by default.
constexpr std::size_t kSizeUnits = sizeof(std::size_t) / sizeof(char16_t);
constexpr std::size_t kHeadUnits = kSizeUnits;

std::size_t BlockBytes(std::size_t capacity) noexcept {
  return (kHeadUnits + capacity) * sizeof(char16_t);
}

std::size_t ReadSize(const char16_t* at) noexcept {
  std::size_t size = 0;
  std::memcpy(&size, at, sizeof size);
  return size;
}

}  // namespace

char16_t* NewTextRoom(std::size_t capacity) {
  if (capacity == 0) return nullptr;
  if (capacity > (std::numeric_limits<std::size_t>::max() / sizeof(char16_t)) - kHeadUnits) {
    throw std::bad_alloc();
  }
  auto* block = static_cast<char16_t*>(::operator new(BlockBytes(capacity)));
  SetTextLength(block, 0);
  return block;
}

char16_t* TextUnits(char16_t* block) noexcept {
  return block + kHeadUnits;
}

void SetTextLength(char16_t* block, std::size_t length) noexcept {
  std::memcpy(block, &length, sizeof length);
}

char16_t* NewText(std::u16string_view text) {
  char16_t* block = NewTextRoom(text.size());
  if (block != nullptr) {
    std::memcpy(TextUnits(block), text.data(), text.size() * sizeof(char16_t));
    SetTextLength(block, text.size());
  }
  return block;
}

void FreeText(char16_t* block) noexcept {
  if (block == nullptr) return;
  ::operator delete(block);
}

std::u16string_view TextOf(const char16_t* block) noexcept {
  if (block == nullptr) return {};
  return {block + kHeadUnits, ReadSize(block)};
}

}  // namespace varnok::json::detail
