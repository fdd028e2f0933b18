// The section list of the INI file store.
#include "settings/section_list.h"

#include <algorithm>
#include <utility>

#include "platform/text_codec.h"

namespace kvo {

int32_t TSectionList::Add(std::string_view name) {
  return Add(name, TLines());
}

int32_t TSectionList::Add(std::string_view name, TLines&& lines) {
  FSections.push_back(TSection{std::string(name), std::move(lines)});
  return Count() - 1;
}

void TSectionList::Delete(int32_t index) {
  FSections.erase(FSections.begin() + index);
}

void TSectionList::Clear() noexcept {
  FSections.clear();
  FLastFoundIndex = 0;
}

int32_t TSectionList::IndexOf(std::string_view name) {
  const int32_t count = Count();
  // An index left behind by a removal must not send the search past the end.
  const int32_t start = FLastFoundIndex >= 0 && FLastFoundIndex < count ? FLastFoundIndex : 0;
  for (int32_t i = start; i < count; ++i) {
    if (platform::SameTextLocale(FSections[static_cast<size_t>(i)].Name, name)) return FLastFoundIndex = i;
  }
  for (int32_t i = 0; i < start; ++i) {
    if (platform::SameTextLocale(FSections[static_cast<size_t>(i)].Name, name)) return FLastFoundIndex = i;
  }
  return -1;
}

void TSectionList::DropDuplicates() {
  if (FSections.size() < 2) return;
  struct TEntry {
    std::string Folded;
    size_t Position;
  };
  std::vector<TEntry> sorted;
  sorted.reserve(FSections.size());
  for (size_t i = 0; i < FSections.size(); ++i) {
    std::string folded = FSections[i].Name;
    platform::LowerNarrow(folded.data(), folded.size());
    sorted.push_back(TEntry{std::move(folded), i});
  }
  // Equal names end up side by side, the earliest in the file first.
  std::sort(sorted.begin(), sorted.end(), [](const TEntry& a, const TEntry& b) {
    return a.Folded != b.Folded ? a.Folded < b.Folded : a.Position < b.Position;
  });
  std::vector<bool> dropped(FSections.size(), false);
  size_t run_first = 0;
  for (size_t i = 1; i < sorted.size(); ++i) {
    const size_t keep = sorted[run_first].Position;
    if (platform::SameTextLocale(FSections[keep].Name, FSections[sorted[i].Position].Name)) {
      dropped[sorted[i].Position] = true;
    } else {
      run_first = i;
    }
  }
  size_t out = 0;
  for (size_t i = 0; i < FSections.size(); ++i) {
    if (dropped[i]) continue;
    if (out != i) FSections[out] = std::move(FSections[i]);
    ++out;
  }
  FSections.resize(out);
  if (FLastFoundIndex >= Count()) FLastFoundIndex = 0;
}

}  // namespace kvo
