// MQTT payloads as the rows the module filters. "value": the whole payload is one field named "value",
// typed as a CSV field is. "json": a flat JSON object, each member one field, in the order written.
// A payload that is empty, not UTF-8, not a JSON object or nested is bad: the bridge counts and drops it.
//
// Thread contract: used by one thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/jsonl_reader.h"
#include "kvo-host/record.h"

namespace kvo::host {

enum class PayloadFormat { kValue, kJson };

class PayloadParser {
 public:
  explicit PayloadParser(PayloadFormat format);

  // Fills `record.fields` (their views valid until the next call, `record.raw` the payload); false with
  // `error` saying what is wrong when the payload is bad.
  bool Parse(std::string_view payload, Record& record, std::string* error);
  // The field names met so far, by column number; shared by all topics.
  const std::vector<std::string>& Columns() const { return json_ ? json_reader_.Columns() : value_columns_; }

 private:
  bool json_;
  JsonlReader json_reader_;
  std::vector<std::string> value_columns_{"value"};
};

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsUtf8(std::string_view text);

}  // namespace kvo::host
