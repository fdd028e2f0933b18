// Rows held back so that passed rows leave in the input's order although their blocks are decided out of
// it: with one filter per key, a key's open block holds its rows while later rows of other keys are
// already decided. Each held row names its block; a row leaves once every row before it has left and its
// own block is decided, and is written only when that block passed.
//
// Memory grows with the rows between the oldest undecided row and the newest one.
//
// Thread contract: used by one thread.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kvo::host {

class OrderedOutput {
 public:
  // A number for a new block, for Hold and Decide.
  uint64_t OpenBlock() { return next_block_++; }
  // Holds `row` (its bytes as they are to be written) as the newest row, of block `block`.
  void Hold(uint64_t block, std::string_view row);
  // The verdict of `block`; blocks without held rows are ignored.
  void Decide(uint64_t block, bool passed);
  // Gives `write` the leading rows whose blocks passed and lets go of the dropped ones, up to the first
  // row whose block is not decided. `write` returns nothing; it may throw, and the row is then gone.
  template <typename Write>
  void Release(Write&& write);
  // No row is held: a row whose block is decided at once may be written directly.
  bool Empty() const { return rows_.empty(); }
  std::size_t HeldRows() const { return rows_.size(); }

 private:
  struct Row {
    uint64_t block;
    std::size_t at;  // in text_
    std::size_t length;
  };
  struct Verdict {
    int8_t state = -1;  // -1 open, 0 dropped, 1 passed
    int64_t held = 0;   // rows of the block still held
  };

  void Compact();

  uint64_t next_block_ = 0;
  std::deque<Row> rows_;
  std::string text_;
  std::size_t head_ = 0;  // bytes of text_ before the first held row, already let go
  std::unordered_map<uint64_t, Verdict> verdicts_;
};

template <typename Write>
void OrderedOutput::Release(Write&& write) {
  while (!rows_.empty()) {
    const Row row = rows_.front();
    const auto found = verdicts_.find(row.block);
    if (found->second.state < 0) break;
    const bool passed = found->second.state == 1;
    rows_.pop_front();
    head_ = row.at + row.length;
    if (--found->second.held == 0) verdicts_.erase(found);
    if (passed) write(std::string_view(text_).substr(row.at, row.length));
  }
  Compact();
}

}  // namespace kvo::host
