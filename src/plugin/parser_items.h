// The host parsers' data items as the host announces them with "SET ITEMS" and reads them with "ITEMS".
//
// Item list text: one item per line, columns Tag|Name|type name|Extra. Input lines may end in CR LF, CR
// or LF; output lines are joined by CR LF with no break after the last.
//
// Thread contract: [any-thread]; the array and the last text are guarded by an internal lock, so "SET
// ITEMS" on one thread and the options dialog reading names on another never see a torn array.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/lock.h"

namespace kvo {

struct TParserItem {
  std::string Name;
  std::string Tag;
  uint8_t DataType = 12;  // index into the type names; 12 (or above 11) means no known type
  std::string Extra;
};

// The type names by number, "|"-separated, as the item text spells them.
inline constexpr std::string_view kParserTypeNames =
    "String|Memo|Bytes|Blob|Boolean|Float|Smallint|Word|Integer|Date|Time|DateTime|";

class ParserItems {
 public:
  int32_t Count() const;
  // A copy of the item at `index`; an index past the end first extends the array with empty items.
  TParserItem Get(int32_t index);
  // Stores a copy at `index`, extending the array with empty items when needed.
  void Set(int32_t index, const TParserItem& item);
  void Clear();
  // The names in array order.
  std::vector<std::string> Names() const;

  // Replaces every item from an item list text.
  void SetFromText(std::string_view text);
  // Builds the item list text, keeps it as the last text handed out, and returns it.
  std::string BuildText();
  std::string LastText() const;

 private:
  mutable platform::Lock lock_;
  std::vector<TParserItem> items_;  // guarded by lock_
  std::string last_text_;           // guarded by lock_
};

}  // namespace kvo
