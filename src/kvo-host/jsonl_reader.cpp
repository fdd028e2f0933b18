#include "kvo-host/jsonl_reader.h"

#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

namespace kvo::host {

using Json = nlohmann::ordered_json;

JsonlReader::JsonlReader(std::string file_name, InputBuffer::ReadFn read)
    : file_(std::move(file_name)), input_(std::move(read)) {}

JsonlReader::~JsonlReader() = default;

int32_t JsonlReader::Column(const std::string& name) {
  auto [it, added] = column_index_.try_emplace(name, static_cast<int32_t>(columns_.size()));
  if (added) columns_.push_back(name);
  return it->second;
}

void JsonlReader::ParseLine(std::string_view line, int64_t line_number, Record& record) {
  Json object;
  try {
    object = Json::parse(line.begin(), line.end());
  } catch (const Json::exception& e) {  // a syntax error, or a number too large for a double
    // The library's message after its own "[json.exception...]" tag.
    std::string what = e.what();
    const std::size_t tag_end = what.find("] ");
    if (tag_end != std::string::npos) what = what.substr(tag_end + 2);
    // The line number is ours; the library counts within the one line.
    const std::string at_line = "parse error at line 1, ";
    if (what.rfind(at_line, 0) == 0) what = what.substr(at_line.size());
    throw InputError(file_, line_number, "invalid JSON, " + what);
  }
  if (!object.is_object()) throw InputError(file_, line_number, "not a JSON object");
  record.fields.clear();
  texts_.assign(object.size(), std::string());
  std::size_t k = 0;
  for (auto it = object.begin(); it != object.end(); ++it, ++k) {
    const Json& v = it.value();
    if (it.key().find_first_not_of(" \t\r\n") == std::string::npos) {
      throw InputError(file_, line_number, "member with a blank name");
    }
    Field field;
    field.column = Column(it.key());
    FieldValue& value = field.value;
    if (v.is_object() || v.is_array()) {
      throw InputError(file_, line_number, "nested value in \"" + it.key() + "\"");
    } else if (v.is_null()) {
      value.kind = ValueKind::kNull;
    } else if (v.is_boolean()) {
      value.kind = ValueKind::kBool;
      value.integer = v.get<bool>() ? 1 : 0;
      texts_[k] = v.get<bool>() ? "true" : "false";
    } else if (v.is_number_unsigned()) {
      const uint64_t u = v.get<uint64_t>();
      if (u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        value.kind = u <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? ValueKind::kInt32
                                                                                     : ValueKind::kInt64;
        value.integer = static_cast<int64_t>(u);
      } else {
        value.kind = ValueKind::kDouble;
        value.number = static_cast<double>(u);
      }
      texts_[k] = v.dump();
    } else if (v.is_number_integer()) {
      const int64_t i = v.get<int64_t>();
      value.kind = i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max()
                       ? ValueKind::kInt32
                       : ValueKind::kInt64;
      value.integer = i;
      texts_[k] = v.dump();
    } else if (v.is_number_float()) {
      value.kind = ValueKind::kDouble;
      value.number = v.get<double>();
      texts_[k] = v.dump();
    } else {
      value.kind = ValueKind::kText;
      texts_[k] = v.get<std::string>();
    }
    record.fields.push_back(field);
  }
  for (std::size_t i = 0; i < record.fields.size(); ++i)
    record.fields[i].value.text = texts_[i];
}

bool JsonlReader::Next(Record& record) {
  for (;;) {
    if (pending_ > 0) {
      input_.Consume(pending_);
      pending_ = 0;
    }
    std::size_t end = std::string_view::npos;
    for (;;) {
      end = input_.Data().find('\n');
      if (end != std::string_view::npos) break;
      if (!input_.Fill()) break;
    }
    const std::string_view data = input_.Data();
    if (data.empty()) return false;
    const std::size_t length = end == std::string_view::npos ? data.size() : end + 1;
    const std::string_view raw = data.substr(0, length);
    std::string_view line = raw;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
      line.remove_suffix(1);
    const int64_t number = line_++;
    pending_ = length;
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    ParseLine(line, number, record);
    record.raw = raw;
    record.line = number;
    return true;
  }
}

}  // namespace kvo::host
