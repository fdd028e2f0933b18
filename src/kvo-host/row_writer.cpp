#include "kvo-host/row_writer.h"

#include <cerrno>
#include <cstring>

namespace kvo::host {

namespace {
constexpr std::size_t kWriteSize = 1 << 16;
}

RowWriter::~RowWriter() {
  Flush();
}

void RowWriter::Header(std::string_view header) {
  if (header_written_) return;
  header_written_ = true;
  if (!header.empty()) Rows(header);
}

void RowWriter::Write() {
  if (!failed_ && std::fwrite(pending_.data(), 1, pending_.size(), out_) != pending_.size()) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  pending_.clear();
}

void RowWriter::Rows(std::string_view rows) {
  if (rows.empty()) return;
  pending_.append(rows);
  if (rows.back() != '\n') pending_ += '\n';
  if (pending_.size() >= kWriteSize) Write();
}

bool RowWriter::Flush() {
  if (!pending_.empty()) Write();
  if (!failed_ && std::fflush(out_) != 0) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  return !failed_;
}

}  // namespace kvo::host
