// TSectionList: the sections of an INI file in file order, each a name with the section's own lines.
//
// The list owns the line lists; removing a section or clearing the list frees them. Look-ups ignore letter
// case in the user's locale and start where the previous hit was, so repeated look-ups of one section cost
// one comparison.
//
// Thread contract: a list is used by one thread at a time (look-ups move LastFoundIndex).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

class TSectionList {
 public:
  using TLines = std::vector<std::string>;

  TSectionList() = default;
  TSectionList(const TSectionList&) = delete;
  TSectionList& operator=(const TSectionList&) = delete;

  int32_t Count() const noexcept { return static_cast<int32_t>(FSections.size()); }
  // Indices must lie in 0..Count-1 (checked only by the standard library's debug mode).
  const std::string& Name(int32_t index) const { return FSections[static_cast<size_t>(index)].Name; }
  TLines& Lines(int32_t index) { return FSections[static_cast<size_t>(index)].Lines; }
  const TLines& Lines(int32_t index) const { return FSections[static_cast<size_t>(index)].Lines; }

  // Appends a section without lines and gives its index.
  int32_t Add(std::string_view name);
  // Appends a section taking `lines`.
  int32_t Add(std::string_view name, TLines&& lines);
  void Delete(int32_t index);
  void Clear() noexcept;

  // The index of the section named `name` (letter case ignored), or -1. Tests LastFoundIndex to the end,
  // then the start up to LastFoundIndex; a hit becomes the new LastFoundIndex.
  int32_t IndexOf(std::string_view name);
  int32_t LastFoundIndex() const noexcept { return FLastFoundIndex; }
  void SetLastFoundIndex(int32_t index) noexcept { FLastFoundIndex = index; }

  // Keeps only the first section, in list order, of each set of names equal without regard to letter
  // case; the others go with their lines.
  void DropDuplicates();

 private:
  struct TSection {
    std::string Name;
    TLines Lines;
  };
  std::vector<TSection> FSections;
  int32_t FLastFoundIndex = 0;
};

}  // namespace kvo
