// The text forms of the language file: the lookup key of a text (control characters as "%XX" escapes,
// accelerator marks optionally left out), its decoding, and the trimming every line and text gets.
//
// Thread contract: [any-thread]; the functions keep no state.
#pragma once

#include <string>
#include <string_view>

namespace kvo {

// What EncodeText found in the text.
struct TEncodedText {
  std::string Key;
  bool HasAmpersand = false;
  bool HasControl = false;
};

// A character below code 32 becomes "%" and two upper-case hexadecimal digits; "&" is kept unless
// `strip_ampersands`; every other character stays.
TEncodedText EncodeText(std::string_view text, bool strip_ampersands);

// With `decode_escapes`, "%" and two hexadecimal digits (either case) become that character; a "%" not
// followed by two of them stays. With `strip_ampersands`, every "&" is dropped.
std::string DecodeText(std::string_view text, bool strip_ampersands, bool decode_escapes);

// `text` without leading and trailing blanks and control characters (codes up to 32).
std::string_view TrimText(std::string_view text) noexcept;

// `text` without any "&".
std::string WithoutAmpersands(std::string_view text);

// True when `text` holds a letter A-Z or a-z.
bool HasAsciiLetter(std::string_view text) noexcept;

}  // namespace kvo
