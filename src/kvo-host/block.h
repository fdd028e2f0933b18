// A block: the consecutive rows that kvo-host hands the module in one call, and the rule that decides
// where one block ends (a number of rows, or a change in the value of one column).
//
// A block keeps its own copy of each row's bytes and values, since the reader reuses its buffer.
//
// Thread contract: used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/record.h"

namespace kvo::host {

class Block {
 public:
  struct StoredField {
    int32_t column;
    ValueKind kind;
    int64_t integer;
    double number;
    uint32_t text_at;  // the value's text in the block's text store
    uint32_t text_length;
  };

  void Clear();
  void Add(const Record& record);

  int32_t RowCount() const { return static_cast<int32_t>(row_ends_.size()); }
  bool Empty() const { return row_ends_.empty(); }
  // The rows' bytes, in order, as read.
  std::string_view Text() const { return text_; }
  // The fields of row `row`: [RowBegin, RowEnd) of Fields().
  std::size_t RowBegin(int32_t row) const {
    return row == 0 ? 0 : row_ends_[static_cast<std::size_t>(row) - 1];
  }
  std::size_t RowEnd(int32_t row) const { return row_ends_[static_cast<std::size_t>(row)]; }
  const std::vector<StoredField>& Fields() const { return fields_; }
  FieldValue Value(const StoredField& field) const;
  // The line of the block's first row.
  int64_t FirstLine() const { return first_line_; }
  // Bytes held; the block grows with its rows only.
  std::size_t Footprint() const {
    return text_.capacity() + values_.capacity() + fields_.capacity() * sizeof(StoredField);
  }

 private:
  std::string text_;
  std::string values_;
  std::vector<StoredField> fields_;
  std::vector<std::size_t> row_ends_;
  int64_t first_line_ = 0;
};

// Where blocks end: after `rows` rows, or (with a column) before a row whose value of that column differs
// from the block's.
class Blocker {
 public:
  // An empty `by_column`: blocks of `rows` rows; else blocks of equal values of that column, its name
  // found without regard to letter case. Rows without the column count as having one value of their own.
  Blocker(int32_t rows, std::string by_column) : rows_(rows < 1 ? 1 : rows), by_name_(std::move(by_column)) {}

  // True when `record` starts a new block, so the pending block must go first. `columns` names the
  // record's column numbers.
  bool StartsNewBlock(const Block& pending, const Record& record, const std::vector<std::string>& columns);
  // True when `pending` (with the record just added) is complete.
  bool IsComplete(const Block& pending) const;
  // The key of the current block, kept after the block is processed.
  void Remember(const Record& record, const std::vector<std::string>& columns);

 private:
  void KeyOf(const Record& record, const std::vector<std::string>& columns, std::string* key);

  int32_t rows_;
  std::string by_name_;
  int32_t by_column_ = -1;
  std::string key_;
  bool has_key_ = false;
};

}  // namespace kvo::host
