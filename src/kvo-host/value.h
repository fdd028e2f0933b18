// Typed values of kvo-host: what a CSV field or a JSON value becomes before it goes into a block.
//
// Integers are 32-bit, or 64-bit when larger; decimals are doubles; JSON true and false are booleans;
// everything else is text. An empty CSV field and a JSON null are Null: present, but no measure.
//
// Thread contract: [any-thread], no shared state.
#pragma once

#include <cstdint>
#include <string_view>

namespace kvo::host {

enum class ValueKind : uint8_t { kNull, kInt32, kInt64, kDouble, kBool, kText };

struct FieldValue {
  ValueKind kind = ValueKind::kNull;
  int64_t integer = 0;    // kInt32, kInt64; kBool as 0 or 1
  double number = 0.0;    // kDouble
  std::string_view text;  // kText: the value; other kinds: the source text (JSON: the value's JSON text)

  // The value as a number for plots: integers, decimals and booleans; false for Null and text.
  bool AsDouble(double* out) const;
};

// The value of an integer or decimal text, or false when `text` is not exactly one: an optional sign,
// digits with at most one ".", an optional exponent; no blanks, no "inf" or "nan", no hexadecimal.
bool ParseNumber(std::string_view text, FieldValue* out);

// A CSV field: empty and unquoted is Null; a number text is a number; anything else (a quoted empty field
// included) is text. `text` is the field after unquoting.
FieldValue TypeCsvField(std::string_view text, bool quoted);

// The type name an item definition gives a value ("Integer", "Float", "Boolean", "String").
std::string_view ItemTypeName(ValueKind kind);

}  // namespace kvo::host
