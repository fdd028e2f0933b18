// Parameter lists, their elements and the shared layout checks.
#include "params/params_list.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "params/errors.h"
#include "platform/guid.h"
#include "platform/shared_heap.h"
#include "platform/text_codec.h"

namespace kvo {

// The layout is what a host compiled elsewhere reads. offsetof on these classes is exact for single
// non-virtual inheritance, which is all they use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
struct ParamsLayoutCheck {
  static constexpr size_t P = sizeof(void*);
  static_assert(offsetof(TParamsList, items_) == P);
  static_assert(offsetof(TParamsList, count_) == 2 * P);
  static_assert(offsetof(TParamsList, capacity_) == 2 * P + 4);
  static_assert(offsetof(TParamsList, signature_) == 2 * P + 8);
  static_assert(offsetof(TParamsList, list_id_) == (P == 4 ? 20 : 32));
  static_assert(sizeof(TParamsList) == (P == 4 ? 24 : 40));
  static_assert(offsetof(TRowsParamsList, reserved_) == sizeof(TParamsList));
  static_assert(sizeof(TRowsParamsList) == (P == 4 ? 28 : 48));
  static_assert(offsetof(TParamsListElement, name_) == P);
  static_assert(offsetof(TParamsListElement, lower_name_) == 2 * P);
  static_assert(offsetof(TParamsListElement, reserved_) == 3 * P);
  static_assert(offsetof(TParamsListElement, state_) == 3 * P + 4);
  static_assert(offsetof(TParamsListElement, value_) == (P == 4 ? 24 : 32));
  static_assert(sizeof(TParamsListElement) == (P == 4 ? 40 : 48));
};
#pragma GCC diagnostic pop

namespace {

bool IsBlank(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

uint8_t InitialState(const Variant& value) {
  return IsMissing(value) ? 0 : 2;
}

}  // namespace

void* SharedHeapObject::operator new(size_t size) {
  return platform::SharedAlloc(size);
}
void SharedHeapObject::operator delete(void* block) noexcept {
  platform::SharedFree(block);
}

// --- TParamsListElement ---

TParamsListElement::TParamsListElement(std::string_view name, const Variant& value)
    : state_(InitialState(value)), value_(value) {
  InitNames(name);
  value_.NormalizeStringKind();
}

TParamsListElement::TParamsListElement(std::string_view name, Variant&& value)
    : state_(InitialState(value)), value_(std::move(value)) {
  InitNames(name);
  value_.NormalizeStringKind();
}

TParamsListElement::TParamsListElement(const TParamsListElement& source)
    : name_(source.name_.view()), state_(InitialState(source.value_)), value_(source.value_) {
  // The source's key is this platform's lower case of the same name: copy it rather than fold again,
  // unless it does not look like one (a list made by a foreign host).
  if (source.lower_name_.size() == source.name_.size()) {
    lower_name_ = AnsiString(source.lower_name_.view());
  } else {
    InitNames(source.name_.view());
  }
  value_.NormalizeStringKind();
}

TParamsListElement::~TParamsListElement() = default;

void TParamsListElement::InitNames(std::string_view name) {
  name_ = AnsiString(name);
  if (name.empty()) return;
  lower_name_ = AnsiString::Adopt(AnsiString::Allocate(name.size()));
  std::memcpy(lower_name_.mutable_data(), name.data(), name.size());
  platform::LowerNarrow(lower_name_.mutable_data(), name.size());
}

void TParamsListElement::SetValue(const Variant& value) {
  Variant copy(value);
  copy.NormalizeStringKind();
  value_ = std::move(copy);
}

void TParamsListElement::SetValue(Variant&& value) {
  value.NormalizeStringKind();
  value_ = std::move(value);
}

// --- TList ---

TList::~TList() {
  ReleaseArray();
}

void TList::Grow() {
  int32_t delta = capacity_ > 64 ? capacity_ / 4 : (capacity_ > 8 ? 16 : 4);
  if (capacity_ > std::numeric_limits<int32_t>::max() / static_cast<int32_t>(sizeof(void*)) - delta) {
    throw std::bad_alloc();
  }
  int32_t capacity = capacity_ + delta;
  items_ =
      static_cast<void**>(platform::SharedRealloc(items_, sizeof(void*) * static_cast<size_t>(capacity)));
  capacity_ = capacity;
}

void TList::Reserve(int32_t needed) {
  if (needed <= capacity_) return;
  int32_t capacity = capacity_;
  while (capacity < needed) {
    int32_t delta = capacity > 64 ? capacity / 4 : (capacity > 8 ? 16 : 4);
    if (capacity > std::numeric_limits<int32_t>::max() / static_cast<int32_t>(sizeof(void*)) - delta) {
      throw std::bad_alloc();
    }
    capacity += delta;
  }
  items_ =
      static_cast<void**>(platform::SharedRealloc(items_, sizeof(void*) * static_cast<size_t>(capacity)));
  capacity_ = capacity;
}

void TList::Push(void* item) {
  if (count_ == capacity_) Grow();
  items_[count_] = item;
  std::atomic_ref<int32_t>(count_).store(count_ + 1, std::memory_order_relaxed);
}

void TList::ReleaseArray() noexcept {
  platform::SharedFree(items_);
  items_ = nullptr;
  std::atomic_ref<int32_t>(count_).store(0, std::memory_order_relaxed);
  capacity_ = 0;
}

// --- TParamsList ---

TParamsList::TParamsList() : list_id_(platform::NewGuidText()) {}

TParamsList::~TParamsList() {
  TParamsList::Clear();
  signature_ = 0;
}

void TParamsList::CheckSignature() const {
  if (signature_ != kParamsListSignature) {
    throw EAssertionFailed("Assertion failure (kvoShared/Public/Common/kvoParamLst, line 153)");
  }
}

int32_t TParamsList::IndexOfName(std::string_view name, int32_t from, int32_t to) const {
  CheckSignature();
  if (count_ == 0) return -1;
  int32_t first = from < 0 ? 0 : from;
  int32_t last = (to >= 0 && to < count_) ? to : count_ - 1;
  if (last < first) return -1;
  // The key folds A-Z only, once per lookup, into a stack buffer; a longer key is folded while comparing.
  // Either way nothing is allocated.
  const size_t size = name.size();
  char buffer[128];
  const bool folded = size <= sizeof buffer;
  if (folded) {
    for (size_t k = 0; k < size; ++k) {
      unsigned char c = static_cast<unsigned char>(name[k]);
      buffer[k] = static_cast<char>(static_cast<unsigned>(c - 'A') < 26u ? c + 32 : c);
    }
  }
  for (int32_t i = first; i <= last; ++i) {
    std::string_view lower = Element(i)->LowerName();
    if (lower.size() != size) continue;
    if (folded) {
      // Names of one list tend to share a prefix: the last byte tells most of them apart at once.
      if (size == 0 ||
          (lower[size - 1] == buffer[size - 1] && std::memcmp(lower.data(), buffer, size) == 0)) {
        return i;
      }
      continue;
    }
    size_t k = 0;
    for (; k < size; ++k) {
      unsigned char c = static_cast<unsigned char>(name[k]);
      if (static_cast<unsigned>(c - 'A') < 26u) c = static_cast<unsigned char>(c + 32);
      if (c != static_cast<unsigned char>(lower[k])) break;
    }
    if (k == size) return i;
  }
  return -1;
}

TParamsListElement* TParamsList::FindByName(std::string_view name, int32_t from, int32_t to) const {
  if (count_ == 0) return nullptr;
  int32_t index = IndexOfName(name, from, to);
  return index < 0 ? nullptr : Element(index);
}

Variant TParamsList::ValueByName(std::string_view name, int32_t from, int32_t to) const {
  const TParamsListElement* element = FindByName(name, from, to);
  return element ? element->Value() : Variant();
}

TParamsListElement* TParamsList::Append(TParamsListElement* element) {
  element->state_ = 2;
  try {
    Push(element);
  } catch (...) {
    delete element;
    throw;
  }
  return element;
}

TParamsListElement* TParamsList::Add(std::string_view name, const Variant& value) {
  if (IsBlank(name)) return nullptr;
  return Append(new TParamsListElement(name, value));
}

TParamsListElement* TParamsList::Add(std::string_view name, Variant&& value) {
  if (IsBlank(name)) return nullptr;
  return Append(new TParamsListElement(name, std::move(value)));
}

TParamsListElement* TParamsList::SetValueByName(std::string_view name, const Variant& value,
                                                bool add_if_missing) {
  TParamsListElement* element = FindByName(name);
  if (!element) {
    if (!add_if_missing) return nullptr;
    element = Add(name, Variant::Null());
    if (!element) return nullptr;
  }
  element->SetValue(value);
  return element;
}

void TParamsList::NewRow() {
  Add(kNewRowMarker, Variant::Null());
}

void TParamsList::AppendList(const TParamsList* source) {
  if (!source || source->Count() == 0) return;
  // Counted once up front, so a list may append itself.
  const int32_t count = source->Count();
  const int64_t needed = int64_t{count_} + count + 1;
  if (needed > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  Reserve(static_cast<int32_t>(needed));
  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = source->Element(i);
    if (IsBlank(element->Name())) continue;
    Append(new TParamsListElement(*element));
  }
  if (!source->Element(count - 1)->IsRowMarker()) NewRow();
}

void TParamsList::Clear() {
  if (count_ == 0) return;
  for (int32_t i = 0; i < count_; ++i)
    delete Element(i);
  ReleaseArray();
}

}  // namespace kvo
