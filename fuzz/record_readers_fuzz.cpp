// Property: the CSV and JSON Lines readers take any bytes without crashing, fail only with an InputError
// naming the file and line, and give the same records (and the same error) whatever sizes the input
// arrives in.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "kvo-host/csv_reader.h"
#include "kvo-host/jsonl_reader.h"

namespace {

using kvo::fuzz::Check;

// A row's bytes without its line end. A CR that ends what has arrived so far ends the row at once (a live
// stream's row is not held back), so whether the LF behind it is part of the row depends on the reads.
std::string_view WithoutLineEnd(std::string_view raw) {
  if (raw.ends_with('\n')) raw.remove_suffix(1);
  if (raw.ends_with('\r')) raw.remove_suffix(1);
  return raw;
}

// Everything a reader handed out, as one text.
std::string Transcript(bool csv, std::string_view input, size_t piece) {
  size_t offset = 0;
  auto read = [input, piece, &offset](char* buffer, size_t size) -> std::ptrdiff_t {
    const size_t n = std::min({size, piece, input.size() - offset});
    std::memcpy(buffer, input.data() + offset, n);
    offset += n;
    return static_cast<std::ptrdiff_t>(n);
  };
  std::string out;
  try {
    std::unique_ptr<kvo::host::RecordReader> reader;
    if (csv) {
      reader = std::make_unique<kvo::host::CsvReader>("in.csv", read);
    } else {
      reader = std::make_unique<kvo::host::JsonlReader>("in.jsonl", read);
    }
    out += std::string(WithoutLineEnd(reader->Header())) + "\n";
    kvo::host::Record record;
    while (reader->Next(record)) {
      out += "line " + std::to_string(record.line) + " raw " + std::string(WithoutLineEnd(record.raw)) + "\n";
      for (const kvo::host::Field& field : record.fields) {
        char number[64];
        std::snprintf(number, sizeof number, "%a", field.value.number);
        out += std::to_string(field.column) + ":" + std::to_string(static_cast<int>(field.value.kind)) + ":" +
               std::to_string(field.value.integer) + ":" + number + ":" + std::string(field.value.text) +
               "\n";
      }
    }
    for (const std::string& column : reader->Columns())
      out += "column " + column + "\n";
    Check(reader->BytesRead() == input.size());
  } catch (const kvo::host::InputError& error) {
    const std::string message = error.what();
    const std::string prefix = csv ? "in.csv:" : "in.jsonl:";
    Check(message.starts_with(prefix));
    size_t pos = prefix.size();
    size_t digits = 0;
    while (pos < message.size() && message[pos] >= '0' && message[pos] <= '9') {
      ++pos;
      ++digits;
    }
    Check(digits > 0 && message.compare(pos, 2, ": ") == 0);
    out += "error " + message + "\n";
  }
  return out;
}

}  // namespace

// Input: one byte choosing the format and the piece size of the second reading, then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool csv = (data[0] & 1) != 0;
  const size_t piece = 1 + (data[0] >> 1) % 13;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string whole = Transcript(csv, input, input.size() + 1);
  const std::string pieces = Transcript(csv, input, piece);
  if (whole != pieces) {
    std::fprintf(stderr, "read whole:\n%s\nread in pieces of %zu:\n%s\n", whole.c_str(), piece,
                 pieces.c_str());
    std::abort();
  }
  return 0;
}
