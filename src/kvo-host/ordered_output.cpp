#include "kvo-host/ordered_output.h"

namespace kvo::host {

void OrderedOutput::Hold(uint64_t block, std::string_view row) {
  rows_.push_back(Row{block, text_.size(), row.size()});
  text_.append(row);
  ++verdicts_[block].held;
}

void OrderedOutput::Decide(uint64_t block, bool passed) {
  const auto found = verdicts_.find(block);
  if (found != verdicts_.end()) found->second.state = passed ? 1 : 0;
}

void OrderedOutput::Compact() {
  // Moves the held bytes to the front once the let-go part is the larger, so the text does not grow
  // without end in a long run.
  if (rows_.empty()) {
    text_.clear();
    head_ = 0;
    return;
  }
  if (head_ < text_.size() / 2 || head_ < 4096) return;
  text_.erase(0, head_);
  for (Row& row : rows_)
    row.at -= head_;
  head_ = 0;
}

}  // namespace kvo::host
