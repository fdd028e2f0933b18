// Standard output of kvo-host: the header (CSV) once, then the rows of every block that passed, as they
// were read, so the output has the input's format, column order and spelling of every value. Bytes are
// collected and written in large pieces; a live stream flushes after every block that passed.
//
// Thread contract: used by one thread.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kvo::host {

class RowWriter {
 public:
  explicit RowWriter(std::FILE* out) : out_(out) {}
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // Writes the header unless one was written already.
  void Header(std::string_view header);
  // Writes rows' bytes; a last row without a line end gets one.
  void Rows(std::string_view rows);
  // Hands everything written so far to the system. False when writing failed.
  bool Flush();
  // True once a write failed; Error() then tells the system's reason.
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }

 private:
  void Write();

  std::FILE* out_;
  std::string pending_;
  bool header_written_ = false;
  bool failed_ = false;
  std::string error_;
};

}  // namespace kvo::host
