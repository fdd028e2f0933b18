// The string list that holds its own lines, with sorting that ignores the case of A-Z.
#include "runtime/string_list.h"

#include <algorithm>
#include <string>

#include "runtime/runtime_errors.h"

namespace kvo {
namespace {

char Lower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Byte order with A-Z folded to a-z.
int CompareText(std::string_view a, std::string_view b) noexcept {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(Lower(a[i]));
    const auto cb = static_cast<unsigned char>(Lower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

[[noreturn]] void ThrowIndex(int32_t index) {
  throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

[[noreturn]] void ThrowSorted() {
  throw EStringListError("Operation not allowed on sorted list");
}

[[noreturn]] void ThrowDuplicate() {
  throw EStringListError("String list does not allow duplicates");
}

}  // namespace

constinit const TClassInfo TStringList::StaticClass{"TStringList", &TStrings::StaticClass};

const std::string& TStringList::Get(int32_t index) const {
  if (index < 0 || index >= Count()) ThrowIndex(index);
  return FItems[static_cast<size_t>(index)];
}

void TStringList::Put(int32_t index, std::string_view text) {
  if (FSorted) ThrowSorted();
  if (index < 0 || index >= Count()) ThrowIndex(index);
  FItems[static_cast<size_t>(index)].assign(text);
}

void TStringList::Insert(int32_t index, std::string_view text) {
  if (FSorted) ThrowSorted();
  if (index < 0 || index > Count()) ThrowIndex(index);
  FItems.insert(FItems.begin() + index, std::string(text));
}

void TStringList::Delete(int32_t index) {
  if (index < 0 || index >= Count()) ThrowIndex(index);
  FItems.erase(FItems.begin() + index);
}

int32_t TStringList::Add(std::string_view text) {
  if (!FSorted) {
    FItems.emplace_back(text);
    return Count() - 1;
  }
  int32_t index = 0;
  if (Find(text, index)) {
    if (FDuplicates == TDuplicates::dupIgnore) return index;
    if (FDuplicates == TDuplicates::dupError) ThrowDuplicate();
  }
  // After its equals, so that equal lines keep the order they came in.
  while (index < Count() && CompareText(FItems[static_cast<size_t>(index)], text) == 0)
    ++index;
  FItems.insert(FItems.begin() + index, std::string(text));
  return index;
}

int32_t TStringList::IndexOf(std::string_view text) const {
  if (!FSorted) return TStrings::IndexOf(text);
  int32_t index = 0;
  return Find(text, index) ? index : -1;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !FSorted) {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  }
  FSorted = sorted;
}

bool TStringList::Find(std::string_view text, int32_t& index) const {
  // The first of the equal lines, so IndexOf agrees with the unsorted search.
  const auto it = std::lower_bound(
      FItems.begin(), FItems.end(), text,
      [](const std::string& item, std::string_view key) { return CompareText(item, key) < 0; });
  index = static_cast<int32_t>(it - FItems.begin());
  return it != FItems.end() && CompareText(*it, text) == 0;
}

}  // namespace kvo
