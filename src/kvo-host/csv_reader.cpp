#include "kvo-host/csv_reader.h"

#include <algorithm>
#include <cstring>

namespace kvo::host {

namespace {

// Where a row ends after its last field: the line end at `at` (or the end of the bytes).
CsvScan EndRow(std::string_view data, std::size_t at, bool at_end) {
  CsvScan scan;
  scan.status = CsvScan::kRow;
  if (at >= data.size()) {
    scan.length = data.size();
    return scan;
  }
  if (data[at] == '\n') {
    scan.length = at + 1;
  } else if (at + 1 < data.size()) {  // CR
    scan.length = data[at + 1] == '\n' ? at + 2 : at + 1;
  } else {
    scan.length = at + 1;
    scan.ends_with_cr = !at_end;
  }
  return scan;
}

CsvScan Error(std::string text, std::size_t at) {
  CsvScan scan;
  scan.status = CsvScan::kError;
  scan.error = std::move(text);
  scan.error_at = at;
  return scan;
}

}  // namespace

CsvScan ScanCsvRow(std::string_view data, bool at_end, std::vector<CsvSlice>& fields) {
  fields.clear();
  const std::size_t n = data.size();
  const char* d = data.data();
  if (n == 0) return {};
  std::size_t i = 0;
  for (;;) {
    if (i < n && d[i] == '"') {
      std::size_t j = i + 1;
      bool doubled = false;
      std::size_t close = 0;
      for (;;) {
        const void* q = j < n ? std::memchr(d + j, '"', n - j) : nullptr;
        if (q == nullptr) {
          if (at_end) return Error("unterminated quoted field", i);
          return {};
        }
        const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(q) - d);
        if (k + 1 < n && d[k + 1] == '"') {
          doubled = true;
          j = k + 2;
          continue;
        }
        if (k + 1 == n && !at_end) return {};  // a doubled quote may follow
        close = k;
        break;
      }
      fields.push_back(CsvSlice{i + 1, close - i - 1, true, doubled});
      i = close + 1;
      if (i == n) {
        if (!at_end) return {};
        return EndRow(data, i, at_end);
      }
      if (d[i] == ',') {
        ++i;
        continue;
      }
      if (d[i] == '\n' || d[i] == '\r') return EndRow(data, i, at_end);
      return Error("text after the closing quote of a field", i);
    }
    std::size_t j = i;
    while (j < n) {
      const char c = d[j];
      if (c == ',' || c == '\n' || c == '\r' || c == '"') break;
      ++j;
    }
    if (j == n && !at_end) return {};
    if (j < n && d[j] == '"') return Error("quote inside an unquoted field", j);
    fields.push_back(CsvSlice{i, j - i, false, false});
    if (j < n && d[j] == ',') {
      i = j + 1;
      continue;
    }
    return EndRow(data, j, at_end);
  }
}

CsvReader::CsvReader(std::string file_name, InputBuffer::ReadFn read, bool trim)
    : file_(std::move(file_name)), input_(std::move(read)), trim_(trim) {
  // A byte order mark is no part of the first name.
  while (input_.Data().size() < 3 && input_.Fill()) {
  }
  if (input_.Data().substr(0, 3) == "\xEF\xBB\xBF") input_.Consume(3);
  std::string_view raw;
  if (!NextRow(raw)) throw InputError(file_, 1, "no header row");
  for (const CsvSlice& slice : slices_) {
    const std::string_view name = FieldText(raw, slice);
    if (name.find_first_not_of(" \t") == std::string_view::npos) {
      throw InputError(file_, row_line_, "column " + std::to_string(columns_.size() + 1) + " has no name");
    }
    columns_.emplace_back(name);
  }
  header_.assign(raw);
  if (header_.back() != '\n' && header_.back() != '\r') header_ += '\n';
}

bool CsvReader::NextRow(std::string_view& raw) {
  for (;;) {
    if (pending_ > 0) {
      input_.Consume(pending_);
      pending_ = 0;
    }
    if (skip_lf_) {
      if (input_.Data().empty()) input_.Fill();
      if (!input_.Data().empty() && input_.Data().front() == '\n') input_.Consume(1);
      skip_lf_ = false;
    }
    CsvScan scan = ScanCsvRow(input_.Data(), input_.Ended(), slices_);
    while (scan.status == CsvScan::kNeedMore) {
      if (!input_.Fill() && input_.Data().empty()) return false;
      scan = ScanCsvRow(input_.Data(), input_.Ended(), slices_);
    }
    const std::string_view data = input_.Data();
    if (scan.status == CsvScan::kError) {
      const std::string_view before = data.substr(0, scan.error_at);
      throw InputError(file_, line_ + std::count(before.begin(), before.end(), '\n'), scan.error);
    }
    raw = data.substr(0, scan.length);
    row_line_ = line_;
    line_ += std::count(raw.begin(), raw.end(), '\n');
    // A row ending in a lone CR ends a line too, whether or not more bytes had arrived behind it; the LF
    // that may follow a CR at the end of what has arrived is skipped uncounted.
    if (raw.ends_with('\r')) ++line_;
    pending_ = scan.length;
    skip_lf_ = scan.ends_with_cr;
    // A blank line is one empty unquoted field and its line end.
    const bool blank = slices_.size() == 1 && !slices_[0].quoted && slices_[0].length == 0;
    if (!blank) return true;
  }
}

std::string_view CsvReader::FieldText(std::string_view raw, const CsvSlice& slice) {
  std::string_view text = raw.substr(slice.begin, slice.length);
  if (trim_ && !slice.quoted) {
    const std::size_t first = text.find_first_not_of(" \t");
    text = first == std::string_view::npos ? std::string_view() : text.substr(first);
    text = text.substr(0, text.find_last_not_of(" \t") + 1);
  }
  if (!slice.doubled_quotes) return text;
  const std::size_t from = unquoted_.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    unquoted_ += text[i];
    if (text[i] == '"') ++i;  // the second of a pair
  }
  return std::string_view(unquoted_).substr(from);
}

bool CsvReader::Next(Record& record) {
  std::string_view raw;
  if (!NextRow(raw)) return false;
  if (slices_.size() != columns_.size()) {
    throw InputError(file_, row_line_,
                     std::to_string(slices_.size()) + " fields, expected " + std::to_string(columns_.size()) +
                         " as in the header");
  }
  // Unquoted texts must not move while the row's views are in use.
  unquoted_.clear();
  unquoted_.reserve(raw.size());
  record.raw = raw;
  record.line = row_line_;
  record.fields.resize(slices_.size());
  for (std::size_t i = 0; i < slices_.size(); ++i) {
    record.fields[i].column = static_cast<int32_t>(i);
    record.fields[i].value = TypeCsvField(FieldText(raw, slices_[i]), slices_[i].quoted);
  }
  return true;
}

}  // namespace kvo::host
