// Conversions between the platform's 8-bit text and UTF-16, and its 8-bit lower-casing.
//
// 8-bit text is UTF-8 on POSIX and the ANSI code page on Windows. Invalid input is replaced
// (U+FFFD, or "?" where the code page has no such character), never trusted.
//
// The conversions allocate like std::string (std::bad_alloc; on Windows also std::length_error for texts
// of 2^31 units or more, beyond what the system converters take).
//
// Thread contract: [any-thread].
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvo::platform {

std::u16string WideFromNarrow(std::string_view text);
std::string NarrowFromWide(std::u16string_view text);

// Appends the converted text to `out`, so callers can reuse a buffer.
void AppendNarrowFromWide(std::u16string_view text, std::string& out);

// UTF-8 text (a file marked as such) in the platform's 8-bit text: unchanged on POSIX; on Windows
// converted to the ANSI code page, characters it lacks becoming "?".
std::string NarrowFromUtf8(std::string_view text);

// Lower-cases `length` bytes in place: CharLowerBuffA on Windows; on POSIX only A-Z, so UTF-8
// sequences stay intact.
void LowerNarrow(char* text, size_t length);

}  // namespace kvo::platform

namespace kvo::platform {

// True when the two 8-bit texts are equal without regard to letter case in the user's locale
// (CompareStringA with NORM_IGNORECASE on Windows; ASCII letters only on POSIX).
bool SameTextLocale(std::string_view a, std::string_view b);

}  // namespace kvo::platform
