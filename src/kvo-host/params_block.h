// The parameter list that carries a block to the module: one element per field, named after its column,
// and "$NEW_ROW$" after each row. The list is kept from block to block and its elements are reused while
// the rows have the same columns, so a steady stream costs no allocations but those of text values.
//
// Thread contract: used by one thread.
#pragma once

#include <string>
#include <vector>

#include "kvo-host/block.h"
#include "kvo/kvo_host.h"

namespace kvo::host {

class ParamsBlock {
 public:
  ParamsBlock();
  ~ParamsBlock();
  ParamsBlock(const ParamsBlock&) = delete;
  ParamsBlock& operator=(const ParamsBlock&) = delete;

  // Makes the list hold exactly the block's rows; `columns` names the fields' column numbers.
  void Fill(const Block& block, const std::vector<std::string>& columns);
  TParamsList* List() const { return list_; }

 private:
  void Store(int32_t index, const FieldValue& value);
  void Append(const std::string& name, const FieldValue& value);

  TParamsList* list_;
  std::vector<int32_t> layout_;  // the column of each element of the list, -1 for a row marker
  std::vector<int32_t> wanted_;
  std::string text_;
};

}  // namespace kvo::host
