// The reference-counted 8-bit string shared with the host in parameter-list fields.
//
// Layout (fixed, the host reads it): the object is one pointer to the first character; the text is
// zero-terminated; the 32-bit length stands 4 bytes before the first character and the 32-bit reference
// count 8 bytes before it; the empty string is a null pointer. Blocks come from the shared heap, so a
// string made on one side of the module boundary may be released on the other.
//
// Thread contract: the reference count is atomic, so copies may be released on different threads; one
// AnsiString object itself must not be assigned on two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kvo {

class AnsiString {
 public:
  AnsiString() = default;
  explicit AnsiString(std::string_view text);  // a new block: never shares storage with `text`
  AnsiString(const AnsiString& other) noexcept;
  AnsiString(AnsiString&& other) noexcept : chars_(other.chars_) { other.chars_ = nullptr; }
  AnsiString& operator=(const AnsiString& other) noexcept;
  AnsiString& operator=(AnsiString&& other) noexcept;
  ~AnsiString() { Release(chars_); }

  std::string_view view() const noexcept { return {chars_ ? chars_ : "", size()}; }
  uint32_t size() const noexcept { return chars_ ? reinterpret_cast<const uint32_t*>(chars_)[-1] : 0; }
  bool empty() const noexcept { return chars_ == nullptr; }
  // Zero-terminated characters; "" for the empty string.
  const char* c_str() const noexcept { return chars_ ? chars_ : ""; }
  // The raw field value: null for the empty string.
  const char* data() const noexcept { return chars_; }
  char* mutable_data() noexcept { return chars_; }  // REQUIRES: this object holds the only reference
  int32_t ref_count() const noexcept;

  // Takes over a character pointer made by Allocate (or shared through AddRef).
  static AnsiString Adopt(char* chars) noexcept;
  // A block for `length` characters plus the terminator, reference count 1, characters unset.
  // Returns null for length 0. Throws std::bad_alloc.
  static char* Allocate(size_t length);
  static void AddRef(char* chars) noexcept;
  static void Release(char* chars) noexcept;

 private:
  char* chars_ = nullptr;
};

static_assert(sizeof(AnsiString) == sizeof(void*));

}  // namespace kvo
