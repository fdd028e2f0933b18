#include "kvo-host/run_stats.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace kvo::host {

namespace {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  const int n = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (n <= 0) return {};
  return std::string(
      text, static_cast<std::size_t>(n) < sizeof text ? static_cast<std::size_t>(n) : sizeof text - 1);
}

}  // namespace

std::string SummaryText(const RunCounts& c, double seconds) {
  const double reduction = c.rows_read > 0 ? 100.0 * static_cast<double>(c.rows_read - c.rows_passed) /
                                                 static_cast<double>(c.rows_read)
                                           : 0.0;
  const double rate = seconds > 0 ? static_cast<double>(c.rows_read) / seconds : 0.0;
  std::string text;
  text += Format("blocks: %lld read, %lld passed, %lld dropped\n", static_cast<long long>(c.blocks_read),
                 static_cast<long long>(c.blocks_passed),
                 static_cast<long long>(c.blocks_read - c.blocks_passed));
  text += Format("rows:   %lld read, %lld passed, %lld dropped\n", static_cast<long long>(c.rows_read),
                 static_cast<long long>(c.rows_passed), static_cast<long long>(c.rows_read - c.rows_passed));
  text += Format("reduction: %.1f%%\n", reduction);
  text += Format("speed: %.0f rows/s (%.3f s)\n", rate, seconds);
  return text;
}

std::string KeySummaryText(const std::vector<KeyCounts>& keys, std::size_t top) {
  std::vector<const KeyCounts*> order;
  order.reserve(keys.size());
  for (const KeyCounts& key : keys)
    order.push_back(&key);
  const std::size_t shown = std::min(top, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                    [](const KeyCounts* a, const KeyCounts* b) {
                      return a->rows_read != b->rows_read ? a->rows_read > b->rows_read : a < b;
                    });
  std::string text = Format("keys: %llu\n", static_cast<unsigned long long>(keys.size()));
  if (shown > 0) text += Format("top %llu keys by rows:\n", static_cast<unsigned long long>(shown));
  for (std::size_t i = 0; i < shown; ++i) {
    // The key itself may be longer than the formatting buffer.
    text += "  " + order[i]->key +
            Format(": %lld read, %lld passed\n", static_cast<long long>(order[i]->rows_read),
                   static_cast<long long>(order[i]->rows_passed));
  }
  return text;
}

ProgressLine::ProgressLine(Clock clock, Draw draw, double interval)
    : clock_(std::move(clock)), draw_(std::move(draw)), interval_(interval), start_(clock_()) {
  last_ = start_;
}

void ProgressLine::Check(uint64_t bytes, int64_t total, int64_t rows) {
  const double now = clock_();
  if (now - last_ < interval_) return;
  last_ = now;
  const double elapsed = now - start_;
  const double rate = elapsed > 0 ? static_cast<double>(rows) / elapsed : 0.0;
  const double mb = static_cast<double>(bytes) / 1e6;
  std::string line = "\r";
  if (total > 0) {
    line += Format("%.1f of %.1f MB (%.0f%%), %.0f rows/s", mb, static_cast<double>(total) / 1e6,
                   100.0 * static_cast<double>(bytes) / static_cast<double>(total), rate);
  } else {
    line += Format("%.1f MB, %.0f rows/s", mb, rate);
  }
  // Pad over a longer line drawn before.
  const std::size_t length = line.size() - 1;  // without the CR
  if (length < drawn_) line.append(drawn_ - length, ' ');
  drawn_ = length;
  draw_(line);
}

void ProgressLine::Clear() {
  if (drawn_ == 0) return;
  draw_("\r" + std::string(drawn_, ' ') + "\r");
  drawn_ = 0;
}

}  // namespace kvo::host
