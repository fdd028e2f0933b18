// Whole-text form of string lists and the operations built on the primitive ones.
#include "runtime/strings.h"

#include "text/text_utils.h"

namespace kvo {

constinit const TClassInfo TStrings::StaticClass{"TStrings", &TPersistent::StaticClass};

int32_t TStrings::Add(std::string_view text) {
  const int32_t index = Count();
  Insert(index, text);
  return index;
}

int32_t TStrings::IndexOf(std::string_view text) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (text::SameText(Get(i), text)) return i;
  }
  return -1;
}

std::string TStrings::Text() const {
  size_t size = 0;
  for (int32_t i = 0; i < Count(); ++i)
    size += Get(i).size() + 2;
  std::string text;
  text.reserve(size);
  for (int32_t i = 0; i < Count(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(std::string_view text) {
  Clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      Add(text.substr(pos));
      break;
    }
    Add(text.substr(pos, end - pos));
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
}

void TStrings::Assign(const TPersistent& source) {
  const auto* strings = dynamic_cast<const TStrings*>(&source);
  if (strings == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (strings == this) return;
  Clear();
  for (int32_t i = 0; i < strings->Count(); ++i)
    Add(strings->Get(i));
}

}  // namespace kvo
