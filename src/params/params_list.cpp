// Parameter lists, their elements and the shared layout checks.
#include "params/params_list.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "params/errors.h"
#include "params/name_fold.h"
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

void TParamsList::FailSignature() {
  throw EAssertionFailed("Assertion failure (kvoShared/Public/Common/kvoParamLst, line 153)");
}

namespace {

using name_fold::FoldAZ;
using name_fold::FoldAZWord;
using name_fold::LoadWord;

// Long names, out of line so that the short-name path of a look-up needs few registers.
[[gnu::noinline]] bool LongKeyEquals(const char* lower, const char* name, size_t size) noexcept {
  size_t k = 0;
  for (; k + 8 < size; k += 8) {
    if (FoldAZWord(LoadWord<uint64_t>(name + k)) != LoadWord<uint64_t>(lower + k)) return false;
  }
  return FoldAZWord(LoadWord<uint64_t>(name + size - 8)) == LoadWord<uint64_t>(lower + size - 8);
}

// True when `lower` (a stored key of `size` bytes) equals `name` (as many bytes) with A-Z folded. Whole
// words are folded and compared at once, the last one overlapping the one before where the size is not a
// multiple; nothing is copied or allocated.
inline bool KeyEquals(const char* lower, const char* name, size_t size) noexcept {
  if (size >= 8) return LongKeyEquals(lower, name, size);
  if (size >= 4) {
    // The two overlapping halves side by side in one word, folded and compared at once.
    const uint64_t key = LoadWord<uint32_t>(lower) | uint64_t{LoadWord<uint32_t>(lower + size - 4)} << 32;
    const uint64_t text = LoadWord<uint32_t>(name) | uint64_t{LoadWord<uint32_t>(name + size - 4)} << 32;
    return FoldAZWord(text) == key;
  }
  for (size_t k = 0; k < size; ++k) {
    if (static_cast<unsigned char>(lower[k]) != FoldAZ(static_cast<unsigned char>(name[k]))) return false;
  }
  return true;
}

}  // namespace

int32_t TParamsList::IndexOfName(std::string_view name, int32_t from, int32_t to) const {
  CheckSignature();
  if (count_ == 0) return -1;
  int32_t first = from < 0 ? 0 : from;
  int32_t last = (to >= 0 && to < count_) ? to : count_ - 1;
  if (last < first) return -1;
  const size_t size = name.size();
  for (int32_t i = first; i <= last; ++i) {
    const std::string_view lower = Element(i)->LowerName();
    if (lower.size() == size && KeyEquals(lower.data(), name.data(), size)) return i;
  }
  return -1;
}

TParamsListElement* TParamsList::FindByName(const char* name) const {
  if (count_ == 0) return nullptr;
  CheckSignature();
  return FindLiveByName(name);
}

TParamsListElement* TParamsList::FindSized(const char* name, size_t size) const noexcept {
  // Most keys are told apart by their stored length alone; the rest are compared word by word against
  // the folded name.
  for (int32_t i = 0; i < count_; ++i) {
    TParamsListElement* element = Element(i);
    const char* key = element->lower_name_.data();
    if (!key) {
      if (size == 0) return element;
      continue;
    }
    if (element->lower_name_.size() == size && KeyEquals(key, name, size)) return element;
  }
  return nullptr;
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

TParamsListElement* TParamsList::SetValueByName(std::string_view name, Variant&& value, bool add_if_missing) {
  TParamsListElement* element = FindByName(name);
  if (!element) {
    if (!add_if_missing) return nullptr;
    element = Add(name, Variant::Null());
    if (!element) return nullptr;
  }
  element->SetValue(std::move(value));
  return element;
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
  // Appending itself copies plainly: what a derived list keeps aside is for other lists' blocks.
  const bool self = source == this;
  for (int32_t i = 0; i < count; ++i) {
    const TParamsListElement* element = source->Element(i);
    if (IsBlank(element->Name())) continue;
    Append(self ? new TParamsListElement(*element) : CopyOf(*element));
  }
  if (source->Element(count - 1)->IsRowMarker()) return;
  if (self)
    NewRow();
  else
    AppendRowMarker();
}

TParamsListElement* TParamsList::CopyOf(const TParamsListElement& source) {
  return new TParamsListElement(source);
}

void TParamsList::Clear() {
  if (count_ == 0) return;
  for (int32_t i = 0; i < count_; ++i)
    delete Element(i);
  ReleaseArray();
}

// --- TResultRowsList ---

namespace {
// At most this many elements are kept parked, so one huge block does not pin its memory for good.
constexpr int32_t kMaxSpare = 4096;
}  // namespace

TResultRowsList::~TResultRowsList() {
  for (int32_t i = next_spare_; i < spare_count_; ++i)
    delete spare_[i];
  std::free(spare_);
}

void TResultRowsList::Clear() {
  if (count_ == 0) return;
  // What the last fill did not take is freed; the live elements become the spares, in order.
  for (int32_t i = next_spare_; i < spare_count_; ++i)
    delete spare_[i];
  spare_count_ = next_spare_ = 0;
  const int32_t keep = count_ < kMaxSpare ? count_ : kMaxSpare;
  if (keep > spare_capacity_) {
    auto** grown =
        static_cast<TParamsListElement**>(std::realloc(spare_, sizeof(void*) * static_cast<size_t>(keep)));
    if (grown) {
      spare_ = grown;
      spare_capacity_ = keep;
    }
  }
  for (int32_t i = 0; i < count_; ++i) {
    TParamsListElement* element = Element(i);
    if (spare_count_ < spare_capacity_) {
      element->value_.Clear();
      spare_[spare_count_++] = element;
    } else {
      delete element;
    }
  }
  // The array stays for the next fill; the host sees an empty list.
  std::atomic_ref<int32_t>(count_).store(0, std::memory_order_relaxed);
}

TParamsListElement* TResultRowsList::Reuse(const TParamsListElement& source) noexcept {
  if (next_spare_ == spare_count_) return nullptr;
  TParamsListElement* spare = spare_[next_spare_++];
  if (spare->name_.view() == source.name_.view()) return spare;
  delete spare;
  return nullptr;
}

TParamsListElement* TResultRowsList::CopyOf(const TParamsListElement& source) {
  TParamsListElement* spare = Reuse(source);
  if (!spare) return new TParamsListElement(source);
  try {
    spare->SetValue(source.Value());
  } catch (...) {
    delete spare;
    throw;
  }
  return spare;
}

void TResultRowsList::AppendRowMarker() {
  if (next_spare_ < spare_count_ && spare_[next_spare_]->IsRowMarker()) {
    TParamsListElement* marker = spare_[next_spare_++];
    marker->value_ = Variant::Null();
    Append(marker);
  } else {
    NewRow();
  }
}

}  // namespace kvo
