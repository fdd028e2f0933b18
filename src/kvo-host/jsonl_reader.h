// JSON Lines input: one JSON object per line, its members the row's fields in their order. Values are
// strings, numbers, true, false or null; a nested object or array is an error, as is a line that is not a
// JSON object. Blank lines are skipped; lines end with LF or CR LF.
//
// Thread contract: used by one thread.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "kvo-host/input_buffer.h"
#include "kvo-host/record.h"

namespace kvo::host {

class JsonlReader final : public RecordReader {
 public:
  JsonlReader(std::string file_name, InputBuffer::ReadFn read);
  ~JsonlReader() override;

  bool Next(Record& record) override;
  const std::vector<std::string>& Columns() const override { return columns_; }
  std::string Header() const override { return {}; }
  uint64_t BytesRead() const override { return input_.Consumed(); }

  // Reads one line's object into `record.fields`, interning new names into the columns. Throws
  // InputError naming `line`.
  void ParseLine(std::string_view line, int64_t line_number, Record& record);

 private:
  struct Parsed;
  int32_t Column(const std::string& name);

  std::string file_;
  InputBuffer input_;
  std::vector<std::string> columns_;
  std::unordered_map<std::string, int32_t> column_index_;
  std::vector<std::string> texts_;  // the current row's value texts
  int64_t line_ = 1;
  std::size_t pending_ = 0;
};

}  // namespace kvo::host
