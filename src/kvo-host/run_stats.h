// What kvo-host counts while it runs: blocks and rows read and passed, overall and per key; the summary of
// --stats; and the
// progress line drawn on a terminal for long inputs (bytes read of the total, rows per second), redrawn at
// most a few times a second and cleared at the end.
//
// Thread contract: used by one thread. Time comes from an injected clock (seconds, monotonic).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::host {

struct RunCounts {
  int64_t blocks_read = 0;
  int64_t rows_read = 0;
  int64_t blocks_passed = 0;
  int64_t rows_passed = 0;
};

// The --stats summary: blocks and rows read, passed and dropped, the reduction in percent of the rows and
// the rows per second over `seconds`.
std::string SummaryText(const RunCounts& counts, double seconds);

struct KeyCounts {
  std::string key;
  int64_t rows_read = 0;
  int64_t rows_passed = 0;
};

// The per-key part of the summary: the number of keys and the `top` keys with the most rows read (ties in
// order of first appearance, which `keys` is in).
std::string KeySummaryText(const std::vector<KeyCounts>& keys, std::size_t top = 10);

class ProgressLine {
 public:
  using Clock = std::function<double()>;
  using Draw = std::function<void(std::string_view)>;

  // `draw` receives the whole line to show (beginning with CR), or the text that clears it.
  ProgressLine(Clock clock, Draw draw, double interval = 0.25);

  // Called for every row; looks at the clock only every few thousand rows. `total` < 0: unknown size.
  void Update(uint64_t bytes, int64_t total, int64_t rows) {
    if (++calls_ < kCheckEvery) return;
    calls_ = 0;
    Check(bytes, total, rows);
  }
  // Removes the line when one was drawn.
  void Clear();

  static constexpr int kCheckEvery = 4096;

 private:
  void Check(uint64_t bytes, int64_t total, int64_t rows);

  Clock clock_;
  Draw draw_;
  double interval_;
  double start_;
  double last_ = 0;
  int calls_ = 0;
  std::size_t drawn_ = 0;
};

}  // namespace kvo::host
