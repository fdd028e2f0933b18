#include "kvo-host/mqtt_payload.h"

namespace kvo::host {

PayloadParser::PayloadParser(PayloadFormat format)
    : json_(format == PayloadFormat::kJson), json_reader_("payload", [](char*, std::size_t) { return 0; }) {}

bool PayloadParser::Parse(std::string_view payload, Record& record, std::string* error) {
  record.raw = payload;
  record.line = 1;
  if (payload.empty()) {
    *error = "empty payload";
    return false;
  }
  if (!IsUtf8(payload)) {
    *error = "not UTF-8";
    return false;
  }
  if (!json_) {
    record.fields.resize(1);
    record.fields[0].column = 0;
    record.fields[0].value = TypeCsvField(payload, false);
    return true;
  }
  try {
    json_reader_.ParseLine(payload, 1, record);
  } catch (const InputError& e) {
    // The reader names a file and line; a payload has neither.
    static constexpr std::string_view kWhere = "payload:1: ";
    const std::string_view what = e.what();
    *error = std::string(what.substr(what.rfind(kWhere, 0) == 0 ? kWhere.size() : 0));
    return false;
  }
  return true;
}

bool IsUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int length = 0;
    uint32_t code = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2, code = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, code = c & 0x0Fu, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, code = c & 0x07u, least = 0x10000;
    } else {
      return false;
    }
    if (end - p < length) return false;
    for (int i = 1; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    p += length;
  }
  return true;
}

}  // namespace kvo::host
