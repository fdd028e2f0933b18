// Name look-ups' byte work: folding A-Z to lower case a word at a time, and reading a short
// zero-terminated name as one word. Shared by the list's look-ups and by the SDK's setters, which
// inline the short-name path.
//
// Thread contract: pure functions of their arguments.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kvo::name_fold {

// The lookup key's byte: A-Z folded to lower case, every other byte as it is.
inline unsigned char FoldAZ(unsigned char c) noexcept {
  return static_cast<unsigned>(c - 'A') < 26u ? static_cast<unsigned char>(c + 32) : c;
}

// A-Z folded to lower case in every byte of a word at once: a byte gets bit 5 when its low seven bits lie
// in 'A'..'Z' and its top bit is clear. No byte's sum carries into the next one.
template <typename Word>
inline Word FoldAZWord(Word x) noexcept {
  constexpr Word kOnes = static_cast<Word>(~Word{0}) / 0xFF;  // 0x01 in every byte
  const Word low = x & (kOnes * 0x7F);
  const Word from_a = low + kOnes * (0x80 - 'A');      // top bit set from 'A' on
  const Word past_z = low + kOnes * (0x80 - 'Z' - 1);  // top bit set past 'Z'
  const Word upper = (from_a & ~past_z) & ~x & (kOnes * 0x80);
  return x | (upper >> 2);
}

template <typename Word>
inline Word LoadWord(const char* bytes) noexcept {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KVO_NAME_FOLD_EXACT_READS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KVO_NAME_FOLD_EXACT_READS 1
#endif
#endif

// The length of a zero-terminated name shorter than 8 bytes, with its bytes (and zeros past them) in
// `word`; -1 for a longer name, or when 8 bytes from `name` would reach into the next page. One load
// instead of a measuring call: it may read past the terminator, but only inside the page that holds the
// terminator, which therefore exists. Under the sanitizers, which would report those bytes, the name is
// measured and copied instead, with the same result.
inline int ShortNameWord(const char* name, uint64_t* word) noexcept {
  static_assert(std::endian::native == std::endian::little, "a name's first byte is its word's lowest");
#ifdef KVO_NAME_FOLD_EXACT_READS
  const size_t size = std::strlen(name);
  if (size >= 8) return -1;
  *word = 0;
  std::memcpy(word, name, size);
  return static_cast<int>(size);
#else
  constexpr uintptr_t kPage = 4096;
  if ((reinterpret_cast<uintptr_t>(name) & (kPage - 1)) > kPage - 8) return -1;
  const uint64_t w = LoadWord<uint64_t>(name);
  constexpr uint64_t kOnes = 0x0101010101010101u;
  // The lowest byte flagged is the first zero byte (flags above it may be false ones).
  const uint64_t zeros = (w - kOnes) & ~w & (kOnes * 0x80);
  if (zeros == 0) return -1;
  *word = w & (zeros ^ (zeros - 1));  // the bytes before the first zero byte, and that one
  return std::countr_zero(zeros) / 8;
#endif
}

// The `size` bytes of a stored key (1 <= size < 8) as the low bytes of a word, the rest zero; the key is
// read by two overlapping loads, never past its end.
inline uint64_t ShortKeyWord(const char* key, uint32_t size) noexcept {
  if (size >= 4)
    return LoadWord<uint32_t>(key) | uint64_t{LoadWord<uint32_t>(key + size - 4)} << (8 * (size - 4));
  if (size >= 2)
    return LoadWord<uint16_t>(key) | uint64_t{LoadWord<uint16_t>(key + size - 2)} << (8 * (size - 2));
  return static_cast<unsigned char>(key[0]);
}

}  // namespace kvo::name_fold
