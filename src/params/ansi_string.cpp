// Reference-counted 8-bit strings in the layout shared with the host.
#include "params/ansi_string.h"

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "platform/shared_heap.h"

namespace kvo {
namespace {

constexpr size_t kHeader = 2 * sizeof(int32_t);

int32_t& Count(char* chars) {
  return reinterpret_cast<int32_t*>(chars)[-2];
}

}  // namespace

char* AnsiString::Allocate(size_t length) {
  if (length == 0) return nullptr;
  if (length > 0x7FFFFFF0u) throw std::bad_alloc();
  auto* block = static_cast<char*>(platform::SharedAlloc(kHeader + length + 1));
  char* chars = block + kHeader;
  reinterpret_cast<int32_t*>(chars)[-2] = 1;
  reinterpret_cast<uint32_t*>(chars)[-1] = static_cast<uint32_t>(length);
  chars[length] = '\0';
  return chars;
}

void AnsiString::AddRef(char* chars) noexcept {
  if (chars) std::atomic_ref<int32_t>(Count(chars)).fetch_add(1, std::memory_order_relaxed);
}

void AnsiString::Release(char* chars) noexcept {
  if (chars && std::atomic_ref<int32_t>(Count(chars)).fetch_sub(1, std::memory_order_acq_rel) == 1) {
    platform::SharedFree(chars - kHeader);
  }
}

AnsiString AnsiString::Adopt(char* chars) noexcept {
  AnsiString result;
  result.chars_ = chars;
  return result;
}

AnsiString::AnsiString(std::string_view text) : chars_(Allocate(text.size())) {
  if (chars_) std::memcpy(chars_, text.data(), text.size());
}

AnsiString::AnsiString(const AnsiString& other) noexcept : chars_(other.chars_) {
  AddRef(chars_);
}

AnsiString& AnsiString::operator=(const AnsiString& other) noexcept {
  AddRef(other.chars_);
  Release(std::exchange(chars_, other.chars_));
  return *this;
}

AnsiString& AnsiString::operator=(AnsiString&& other) noexcept {
  if (this != &other) Release(std::exchange(chars_, std::exchange(other.chars_, nullptr)));
  return *this;
}

int32_t AnsiString::ref_count() const noexcept {
  return chars_ ? std::atomic_ref<int32_t>(Count(chars_)).load(std::memory_order_relaxed) : 0;
}

}  // namespace kvo
