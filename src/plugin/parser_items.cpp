// Item definitions: parsing and building the item list text.
#include "plugin/parser_items.h"

#include <mutex>

#include "text/fast_strings.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

std::string_view TypeName(uint8_t type) {
  if (type > 11) return {};
  return text::ExtractField(kParserTypeNames, "|", type + 1).text;
}

// Splits at every "|"; an empty column after a final "|" does not count.
std::vector<std::string_view> Columns(std::string_view line) {
  std::vector<std::string_view> columns;
  size_t start = 0;
  while (start < line.size()) {
    size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) {
      columns.push_back(line.substr(start));
      return columns;
    }
    columns.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  return columns;
}

}  // namespace

int32_t ParserItems::Count() const {
  std::lock_guard guard(lock_);
  return static_cast<int32_t>(items_.size());
}

TParserItem ParserItems::Get(int32_t index) {
  if (index < 0) return {};
  std::lock_guard guard(lock_);
  if (static_cast<size_t>(index) >= items_.size()) items_.resize(static_cast<size_t>(index) + 1);
  return items_[static_cast<size_t>(index)];
}

void ParserItems::Set(int32_t index, const TParserItem& item) {
  if (index < 0) return;
  std::lock_guard guard(lock_);
  if (static_cast<size_t>(index) >= items_.size()) items_.resize(static_cast<size_t>(index) + 1);
  items_[static_cast<size_t>(index)] = item;
}

void ParserItems::Clear() {
  std::lock_guard guard(lock_);
  items_.clear();
}

std::vector<std::string> ParserItems::Names() const {
  std::lock_guard guard(lock_);
  std::vector<std::string> names;
  names.reserve(items_.size());
  for (const TParserItem& item : items_)
    names.push_back(item.Name);
  return names;
}

void ParserItems::SetFromText(std::string_view text) {
  std::vector<TParserItem> items;
  for (std::string_view line : text::SplitLines(text)) {
    std::vector<std::string_view> columns = Columns(line);
    if (columns.size() < 2) continue;
    TParserItem item;
    item.Tag = columns[0];
    item.Name = columns[1];
    if (columns.size() >= 3 && !columns[2].empty()) {
      int32_t type = text::IndexOfListItem(kParserTypeNames, columns[2]);
      if (type >= 0 && type <= 11) item.DataType = static_cast<uint8_t>(type);
    }
    if (columns.size() >= 4) item.Extra = columns[3];
    items.push_back(std::move(item));
  }
  std::lock_guard guard(lock_);
  items_ = std::move(items);
}

std::string ParserItems::BuildText() {
  std::lock_guard guard(lock_);
  std::string text;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) text += "\r\n";
    const TParserItem& item = items_[i];
    text += item.Tag;
    text += '|';
    text += item.Name;
    text += '|';
    text += TypeName(item.DataType);
    text += '|';
    text += item.Extra;
  }
  last_text_ = text;
  return text;
}

std::string ParserItems::LastText() const {
  std::lock_guard guard(lock_);
  return last_text_;
}

}  // namespace kvo
