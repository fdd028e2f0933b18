#include "kvo-host/params_block.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace kvo::host {

namespace {
constexpr int32_t kMarker = -1;
}

ParamsBlock::ParamsBlock() : list_(kvo_rows_new()) {
  if (list_ == nullptr) throw std::bad_alloc();
}

ParamsBlock::~ParamsBlock() {
  kvo_params_free(list_);
}

void ParamsBlock::Store(int32_t index, const FieldValue& value) {
  int stored = -1;
  switch (value.kind) {
    case ValueKind::kNull:
      stored = kvo_params_set_null_at(list_, index);
      break;
    case ValueKind::kInt32:
      stored = kvo_params_set_int_at(list_, index, static_cast<int32_t>(value.integer));
      break;
    case ValueKind::kInt64:
      stored = kvo_params_set_int64_at(list_, index, value.integer);
      break;
    case ValueKind::kDouble:
      stored = kvo_params_set_double_at(list_, index, value.number);
      break;
    case ValueKind::kBool:
      stored = kvo_params_set_bool_at(list_, index, value.integer != 0);
      break;
    case ValueKind::kText:
      stored =
          kvo_params_set_text_at(list_, index, value.text.data(), static_cast<int32_t>(value.text.size()));
      break;
  }
  if (stored != 1) throw std::runtime_error("cannot store a value in the block");
}

void ParamsBlock::Append(const std::string& name, const FieldValue& value) {
  int added = -1;
  switch (value.kind) {
    case ValueKind::kNull:
      added = kvo_params_add_null(list_, name.c_str());
      break;
    case ValueKind::kInt32:
      added = kvo_params_add_int(list_, name.c_str(), static_cast<int32_t>(value.integer));
      break;
    case ValueKind::kInt64:
      added = kvo_params_add_int64(list_, name.c_str(), value.integer);
      break;
    case ValueKind::kDouble:
      added = kvo_params_add_double(list_, name.c_str(), value.number);
      break;
    case ValueKind::kBool:
      added = kvo_params_add_bool(list_, name.c_str(), value.integer != 0);
      break;
    case ValueKind::kText:
      text_.assign(value.text);
      added = kvo_params_add_text(list_, name.c_str(), text_.c_str());
      break;
  }
  if (added != 1) throw std::runtime_error("cannot add \"" + name + "\" to the block");
}

void ParamsBlock::Fill(const Block& block, const std::vector<std::string>& columns) {
  const auto& fields = block.Fields();
  wanted_.clear();
  for (int32_t row = 0; row < block.RowCount(); ++row) {
    for (std::size_t i = block.RowBegin(row); i < block.RowEnd(row); ++i)
      wanted_.push_back(fields[i].column);
    wanted_.push_back(kMarker);
  }
  // Reuse the elements when the list's layout is the start of the wanted one; else start afresh.
  const bool reusable =
      layout_.size() <= wanted_.size() && std::equal(layout_.begin(), layout_.end(), wanted_.begin());
  if (!reusable) {
    kvo_params_clear(list_);
    layout_.clear();
  }
  int32_t index = 0;
  for (int32_t row = 0; row < block.RowCount(); ++row) {
    for (std::size_t i = block.RowBegin(row); i < block.RowEnd(row); ++i, ++index) {
      const FieldValue value = block.Value(fields[i]);
      if (static_cast<std::size_t>(index) < layout_.size()) {
        Store(index, value);
      } else {
        Append(columns[static_cast<std::size_t>(fields[i].column)], value);
        layout_.push_back(fields[i].column);
      }
    }
    if (static_cast<std::size_t>(index) >= layout_.size()) {
      kvo_params_new_row(list_);
      layout_.push_back(kMarker);
    }
    ++index;
  }
}

}  // namespace kvo::host
