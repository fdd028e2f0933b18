// CSV input (RFC 4180): a header row of column names, then rows with as many fields. Fields may be quoted,
// and quoted fields may hold commas, doubled quotes and line breaks. Lines end with LF or CR LF; blank lines
// are skipped. A quote inside an unquoted field, text after a closing quote, an unterminated quote and a
// row with another number of fields are errors naming the file and line.
//
// Thread contract: used by one thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/input_buffer.h"
#include "kvo-host/record.h"

namespace kvo::host {

// One field of a row as found in the row's bytes.
struct CsvSlice {
  std::size_t begin = 0;  // offset of the field's text (after an opening quote)
  std::size_t length = 0;
  bool quoted = false;
  bool doubled_quotes = false;  // holds "" pairs that stand for one quote each
};

// The outcome of looking for one row at the start of `data`.
struct CsvScan {
  enum Status { kRow, kNeedMore, kError } status = kNeedMore;
  std::size_t length = 0;     // kRow: bytes of the row, its line end included
  bool ends_with_cr = false;  // kRow: the row ended with a CR that may be followed by LF in later bytes
  std::string error;          // kError
  std::size_t error_at = 0;   // kError: offset the message refers to
};

// Finds the row at the start of `data`; `at_end` says no more bytes will follow.
CsvScan ScanCsvRow(std::string_view data, bool at_end, std::vector<CsvSlice>& fields);

class CsvReader final : public RecordReader {
 public:
  // Reads the header row at once (so Columns() is known before the first row). Throws InputError. With
  // `trim`, blanks around header names and unquoted fields are no part of them.
  CsvReader(std::string file_name, InputBuffer::ReadFn read, bool trim = false);

  bool Next(Record& record) override;
  const std::vector<std::string>& Columns() const override { return columns_; }
  std::string Header() const override { return header_; }
  uint64_t BytesRead() const override { return input_.Consumed(); }

 private:
  // The next row's bytes and slices, blank lines skipped; false at the end.
  bool NextRow(std::string_view& raw);
  std::string_view FieldText(std::string_view raw, const CsvSlice& slice);

  std::string file_;
  InputBuffer input_;
  std::vector<std::string> columns_;
  std::string header_;
  std::vector<CsvSlice> slices_;
  std::string unquoted_;     // texts of fields with doubled quotes, for the current row
  int64_t line_ = 1;         // line of the next row
  int64_t row_line_ = 1;     // line of the current row
  std::size_t pending_ = 0;  // bytes of the current row, consumed on the next call
  bool skip_lf_ = false;
  bool trim_ = false;
};

}  // namespace kvo::host
