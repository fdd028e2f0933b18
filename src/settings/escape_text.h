// The text form in which the component property store keeps string values, so that blanks at either end,
// line breaks and other control characters survive stores that trim or split lines.
//
// Escaped: "%" becomes "%%"; control characters and "+" become "%" and two upper-case hex digits; a space
// with non-space characters both before and after it stays, other spaces become "+"; codes 32..126 and
// 127..255 are kept. The input ends at its first NUL.
//
// Thread contract: [any-thread], no shared state.
#pragma once

#include <string>
#include <string_view>

namespace kvo {

std::string EscapeText(std::string_view text);
// Reverses EscapeText. A "%" not followed by "%" or by two hex digits (either case) stays as it is.
std::string UnescapeText(std::string_view text);

}  // namespace kvo
