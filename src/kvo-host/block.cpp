#include "kvo-host/block.h"

namespace kvo::host {

namespace {

// Column names ignore the letter case of A to Z, as the module's variable names do.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void Block::Clear() {
  text_.clear();
  values_.clear();
  fields_.clear();
  row_ends_.clear();
  first_line_ = 0;
}

void Block::Add(const Record& record) {
  if (row_ends_.empty()) first_line_ = record.line;
  text_.append(record.raw);
  for (const Field& field : record.fields) {
    const FieldValue& v = field.value;
    StoredField stored{field.column,
                       v.kind,
                       v.integer,
                       v.number,
                       static_cast<uint32_t>(values_.size()),
                       static_cast<uint32_t>(v.text.size())};
    values_.append(v.text);
    fields_.push_back(stored);
  }
  row_ends_.push_back(fields_.size());
}

FieldValue Block::Value(const StoredField& field) const {
  FieldValue value;
  value.kind = field.kind;
  value.integer = field.integer;
  value.number = field.number;
  value.text = std::string_view(values_).substr(field.text_at, field.text_length);
  return value;
}

void Blocker::KeyOf(const Record& record, const std::vector<std::string>& columns, std::string* key) {
  if (by_column_ < 0) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (SameName(columns[i], by_name_)) {
        by_column_ = static_cast<int32_t>(i);
        break;
      }
    }
  }
  for (const Field& field : record.fields) {
    if (by_column_ < 0 || field.column != by_column_) continue;
    // Null differs from every text, the empty one included.
    if (field.value.kind == ValueKind::kNull) {
      key->assign("\x01null");
    } else {
      key->assign(1, '\x02');
      key->append(field.value.text);
    }
    return;
  }
  key->assign("\x01missing");
}

bool Blocker::StartsNewBlock(const Block& pending, const Record& record,
                             const std::vector<std::string>& columns) {
  if (by_name_.empty() || pending.Empty()) return false;
  std::string key;
  KeyOf(record, columns, &key);
  return !has_key_ || key != key_;
}

bool Blocker::IsComplete(const Block& pending) const {
  return by_name_.empty() && pending.RowCount() >= rows_;
}

void Blocker::Remember(const Record& record, const std::vector<std::string>& columns) {
  if (by_name_.empty()) return;
  KeyOf(record, columns, &key_);
  has_key_ = true;
}

}  // namespace kvo::host
