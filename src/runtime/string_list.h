// TStringList: the TStrings that keeps its lines itself, optionally sorted ignoring the case of A-Z.
//
// A sorted list places every added line in order (equal lines after their equals) and refuses Insert and
// Put; Duplicates says what Add does with a line already present (ignoring case) in a sorted list.
//
// Thread contract: a list is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/strings.h"

namespace kvo {

enum class TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  TStringList() = default;

  int32_t Count() const noexcept override { return static_cast<int32_t>(FItems.size()); }
  const std::string& Get(int32_t index) const override;
  void Put(int32_t index, std::string_view text) override;
  void Insert(int32_t index, std::string_view text) override;
  void Delete(int32_t index) override;
  void Clear() override { FItems.clear(); }
  // Sorted with dupIgnore: the index of the line already present; dupError raises EStringListError.
  int32_t Add(std::string_view text) override;
  int32_t IndexOf(std::string_view text) const override;

  bool Sorted() const noexcept { return FSorted; }
  // Turning sorting on sorts the lines now (equal lines keep their order).
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const noexcept { return FDuplicates; }
  void SetDuplicates(TDuplicates duplicates) noexcept { FDuplicates = duplicates; }

  // In a sorted list: true and the line's index when present, else false and where it would go.
  bool Find(std::string_view text, int32_t& index) const;

 private:
  std::vector<std::string> FItems;
  bool FSorted = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};

}  // namespace kvo
