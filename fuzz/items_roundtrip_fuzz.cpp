// Property: an item list text read by "SET ITEMS" and written back by "ITEMS" reads and writes back to
// the same text from then on, with the same items; and "ITEMS" writes no line break inside a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "plugin/parser_items.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool SameItems(kvo::ParserItems& a, kvo::ParserItems& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    const kvo::TParserItem x = a.Get(i);
    const kvo::TParserItem y = b.Get(i);
    if (x.Name != y.Name || x.Tag != y.Tag || x.DataType != y.DataType || x.Extra != y.Extra) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  kvo::ParserItems first;
  first.SetFromText(input);
  const std::string text = first.BuildText();
  Check(first.LastText() == text);

  kvo::ParserItems second;
  second.SetFromText(text);
  Check(SameItems(first, second));
  const std::string again = second.BuildText();
  Check(again == text);

  // Lines are joined by CR LF only; no field carries a line break of its own.
  size_t lines = text.empty() ? 0 : 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') Check(i > 0 && text[i - 1] == '\r');
    if (text[i] == '\r') {
      Check(i + 1 < text.size() && text[i + 1] == '\n');
      ++lines;
    }
  }
  Check(lines == static_cast<size_t>(first.Count()));
  return 0;
}
