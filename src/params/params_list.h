// The parameter list: the ordered list of named values in which the host and the module exchange
// parameters, data blocks and result rows.
//
// Both sides read and write lists that the other created, so the memory layout is a contract:
//   TParamsList        vtable, items, Count, capacity, Signature, ListID            (24 bytes on Win32)
//   TRowsParamsList    as TParamsList, then one reserved 32-bit field               (28 bytes on Win32)
//   TParamsListElement vtable, Name, LowerName, Reserved, State, padding, Value     (40 bytes on Win32)
// On 64-bit targets every pointer field is pointer-sized with natural alignment. Every block is taken
// from the shared heap, so either side may free what the other allocated.
//
// Rows: a row list holds the elements of each row followed by a marker element named "$NEW_ROW$" with a
// Null value. Names are found without regard to the case of A-Z, first match winning.
//
// Thread contract: a list has no lock of its own; whoever shares one between threads serialises access.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "params/ansi_string.h"
#include "params/name_fold.h"
#include "params/variant.h"

namespace kvo {

inline constexpr uint32_t kParamsListSignature = 0x0FDE2E4Bu;
inline constexpr std::string_view kNewRowMarker = "$NEW_ROW$";

// Blocks of these classes live on the shared heap.
struct SharedHeapObject {
  static void* operator new(size_t size);
  static void operator delete(void* block) noexcept;
};

// One named value.
class TParamsListElement : public SharedHeapObject {
 public:
  // Copies `name` privately and the value (a code-0x100 string becomes an OLE wide string).
  TParamsListElement(std::string_view name, const Variant& value);
  TParamsListElement(std::string_view name, Variant&& value);
  // A private copy of another element's name, key and value (AppendList).
  explicit TParamsListElement(const TParamsListElement& source);
  TParamsListElement& operator=(const TParamsListElement&) = delete;
  virtual ~TParamsListElement();

  std::string_view Name() const noexcept { return name_.view(); }
  std::string_view LowerName() const noexcept { return lower_name_.view(); }
  uint8_t State() const noexcept { return state_; }
  const Variant& Value() const noexcept { return value_; }
  Variant& Value() noexcept { return value_; }
  // True when Name is exactly "$NEW_ROW$" (case-sensitive, unlike lookups).
  bool IsRowMarker() const noexcept { return name_.view() == kNewRowMarker; }

  // Stores a value; the name and state stay as they are.
  void SetValue(const Variant& value);
  void SetValue(Variant&& value) {
    value.NormalizeStringKind();
    value_ = std::move(value);
  }

 private:
  friend class TParamsList;
  friend class TResultRowsList;
  friend struct ParamsLayoutCheck;
  void InitNames(std::string_view name);

  AnsiString name_;        // as passed, untrimmed
  AnsiString lower_name_;  // the platform's 8-bit lower case of name_
  int32_t reserved_ = 0;
  uint8_t state_ = 0;  // 0 when constructed with an empty or Null value, else 2
  Variant value_;
};

// The growable array of element pointers (count, capacity) that lists are built on.
class TList : public SharedHeapObject {
 public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  virtual ~TList();

  // Read without a lock by a module that lends a list another thread may be refilling (two data calls on
  // one instance), so the count is stored and loaded atomically; the elements themselves are not.
  int32_t Count() const noexcept {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(count_)).load(std::memory_order_relaxed);
  }
  int32_t Capacity() const noexcept { return capacity_; }

 protected:
  friend struct ParamsLayoutCheck;
  virtual void Grow();
  // Grows by the usual steps, in one reallocation, until `needed` items fit.
  void Reserve(int32_t needed);
  void Push(void* item);
  void* At(int32_t index) const noexcept { return items_[index]; }
  void ReleaseArray() noexcept;

  void** items_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

class TParamsList : public TList {
 public:
  TParamsList();  // empty, live signature, a new ListID
  ~TParamsList() override;

  uint32_t Signature() const noexcept { return signature_; }
  std::string_view ListID() const noexcept { return list_id_.view(); }

  // REQUIRES: 0 <= index < Count(). No bounds check.
  TParamsListElement* Element(int32_t index) const noexcept {
    return static_cast<TParamsListElement*>(At(index));
  }

  // Index of the first element in [from, to] whose name matches, or -1. `to` -1 (or past the end) means
  // the last element; `from` below 0 means 0. Throws EAssertionFailed when the signature is not live.
  // Allocates nothing.
  int32_t IndexOfName(std::string_view name, int32_t from = 0, int32_t to = -1) const;
  // The element IndexOfName finds; null for an empty list (without looking at the signature) or no match.
  TParamsListElement* FindByName(std::string_view name, int32_t from = 0, int32_t to = -1) const;
  // The same over the whole list, for a zero-terminated name.
  TParamsListElement* FindByName(const char* name) const;
  // The same, but null (instead of raising) when the list is not live.
  TParamsListElement* FindLiveByName(const char* name) const noexcept;
  // The same again, but null also for a name of 8 bytes or more, or one that ends near a page's end: the
  // part of the look-up that needs no call, for setters that go the long way when it gives null.
  TParamsListElement* FindShortLiveByName(const char* name) const noexcept;
  // A copy of the found element's value; empty when there is none.
  Variant ValueByName(std::string_view name, int32_t from = 0, int32_t to = -1) const;

  // Appends a new element and returns it; null (and nothing added) when the name is blank, i.e. made only
  // of bytes at or below the space.
  TParamsListElement* Add(std::string_view name, const Variant& value);
  TParamsListElement* Add(std::string_view name, Variant&& value);
  // Overwrites the value of the first element with the name. Without one: when `add_if_missing`, appends
  // the name with a Null value and stores the value in it; else returns null and changes nothing.
  TParamsListElement* SetValueByName(std::string_view name, const Variant& value, bool add_if_missing);
  TParamsListElement* SetValueByName(std::string_view name, Variant&& value, bool add_if_missing);
  // Appends the row marker.
  void NewRow();
  // Appends copies of the source's elements, then a marker unless the source already ends with one.
  // Null or empty source: nothing. The source may be this list.
  void AppendList(const TParamsList* source);
  // Destroys every element and releases the array (count and capacity 0).
  virtual void Clear();
  // True for a TRowsParamsList. Virtual, because type information does not cross the module boundary
  // while the table of virtual operations does.
  virtual bool IsRowsList() const noexcept { return false; }

 protected:
  TParamsListElement* Append(TParamsListElement* element);
  // What AppendList appends for an element of another list, and for the closing marker.
  virtual TParamsListElement* CopyOf(const TParamsListElement& source);
  virtual void AppendRowMarker() { NewRow(); }

 private:
  friend struct ParamsLayoutCheck;
  void CheckSignature() const {
    if (signature_ != kParamsListSignature) FailSignature();
  }
  [[noreturn]] static void FailSignature();
  // The first element whose key is the `size` bytes (< 8) of `word`, folded here.
  TParamsListElement* FindShort(uint64_t word, int size) const noexcept;
  TParamsListElement* FindSized(const char* name, size_t size) const noexcept;

  uint32_t signature_ = kParamsListSignature;
  AnsiString list_id_;
};

// Inline, so that a host setting a value by name runs the short-name look-up without a call.
inline TParamsListElement* TParamsList::FindLiveByName(const char* name) const noexcept {
  if (count_ == 0 || signature_ != kParamsListSignature) return nullptr;
  uint64_t word;
  const int size = name_fold::ShortNameWord(name, &word);
  if (size < 0) return FindSized(name, std::strlen(name));
  return FindShort(word, size);
}

inline TParamsListElement* TParamsList::FindShortLiveByName(const char* name) const noexcept {
  if (count_ == 0 || signature_ != kParamsListSignature) return nullptr;
  uint64_t word;
  const int size = name_fold::ShortNameWord(name, &word);
  return size < 0 ? nullptr : FindShort(word, size);
}

inline TParamsListElement* TParamsList::FindShort(uint64_t word, int size) const noexcept {
  const uint64_t text = name_fold::FoldAZWord(word);
  for (int32_t i = 0; i < count_; ++i) {
    TParamsListElement* element = Element(i);
    const char* key = element->lower_name_.data();
    if (!key) {
      if (size == 0) return element;
      continue;
    }
    const uint32_t key_size = element->lower_name_.size();
    if (key_size == static_cast<uint32_t>(size) && name_fold::ShortKeyWord(key, key_size) == text)
      return element;
  }
  return nullptr;
}

// A list that carries rows; the module's result lists are of this class.
class TRowsParamsList : public TParamsList {
 public:
  bool IsRowsList() const noexcept override { return true; }
  int32_t Reserved() const noexcept { return reserved_; }

 private:
  friend struct ParamsLayoutCheck;
  int32_t reserved_ = 0;
};

// The module's result rows: a row list that keeps the elements it clears and fills them again from the
// next block it is given, so a block that passes again and again allocates nothing once its layout has
// been seen. Parked elements keep their name and key; their values are released when they are parked.
// Every element in the list is still one separately made element whose strings the host may free.
class TResultRowsList final : public TRowsParamsList {
 public:
  TResultRowsList() = default;
  ~TResultRowsList() override;
  void Clear() override;

 protected:
  TParamsListElement* CopyOf(const TParamsListElement& source) override;
  void AppendRowMarker() override;

 private:
  // The element of the next parked slot if it has `source`'s name, else null (that slot is freed).
  TParamsListElement* Reuse(const TParamsListElement& source) noexcept;

  // Parked elements, in the order they were cleared in; the next fill takes them from `next_spare_` on.
  TParamsListElement** spare_ = nullptr;  // a block of spare_capacity_ pointers
  int32_t spare_count_ = 0;
  int32_t spare_capacity_ = 0;
  int32_t next_spare_ = 0;
};

}  // namespace kvo
