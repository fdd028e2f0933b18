// Records as kvo-host reads them: the row's fields by column, the row's own bytes (written out again when
// its block passes) and where it was read; and the error for input that cannot be read as it stands.
//
// Thread contract: plain data; a reader and its records are used by one thread.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/value.h"

namespace kvo::host {

struct Field {
  int32_t column = 0;  // index into the reader's Columns()
  FieldValue value;
};

struct Record {
  std::string_view raw;  // the row's bytes as read, its line end included when it had one
  std::vector<Field> fields;
  int64_t line = 0;  // the line the row starts on, from 1
};

// Input that cannot be read as it stands; the message names the file and line.
class InputError : public std::runtime_error {
 public:
  InputError(const std::string& file, int64_t line, const std::string& what)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + what) {}
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

// Reads the records of one input, one at a time.
class RecordReader {
 public:
  virtual ~RecordReader() = default;
  // The next record, or false at the end of the input. The record's views stay valid until the next
  // call. Throws InputError.
  virtual bool Next(Record& record) = 0;
  // The column names seen so far (CSV: the header; JSON Lines: the keys in order of first appearance).
  virtual const std::vector<std::string>& Columns() const = 0;
  // The header as written out before the first row; empty for formats without one.
  virtual std::string Header() const = 0;
  // Bytes consumed from the input so far.
  virtual uint64_t BytesRead() const = 0;
};

}  // namespace kvo::host
