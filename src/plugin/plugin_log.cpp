// The instance log: entry format, repeat folding and the fetch protocol.
#include "plugin/plugin_log.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "text/text_utils.h"

namespace kvo {
namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

void PluginLog::Add(std::string_view title, uint8_t kind, std::string_view message, bool flag) noexcept {
  std::lock_guard guard(lock_);
  try {
    std::string entry;
    entry.reserve(title.size() + message.size() + 8);
    if (!title.empty()) {
      entry += title;
      entry += ". ";
    }
    for (char c : message)
      entry += c == '\n' ? ' ' : c;
    entry += "||";
    entry += std::to_string(kind + (flag ? 128 : 0));

    if (entry != last_entry_ || log_.empty()) {
      if (!log_.empty()) log_ += kCrLf;
      log_ += entry;
      repeat_count_ = 0;
    } else {
      Fold();
    }
    last_entry_ = std::move(entry);
  } catch (...) {
    // An entry that cannot be built is dropped; the log stays usable.
  }
  pending_.store(!log_.empty(), std::memory_order_release);
}

void PluginLog::Fold() {
  std::vector<std::string_view> lines = text::SplitLines(log_);
  if (lines.empty()) return;
  std::string_view last = lines.back();
  text::Field first = text::ExtractField(last, "||", 1, true);
  text::Field second = text::ExtractField(last, "||", 2, true);
  std::string_view head = first.text;
  if (size_t cut = head.find(" {"); cut != std::string_view::npos) head = head.substr(0, cut);
  repeat_count_ = repeat_count_ == 0 ? 2 : repeat_count_ + 1;

  std::string folded;
  folded.reserve(log_.size() + 24);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    folded += lines[i];
    folded += kCrLf;
  }
  folded += head;
  folded += " {";
  folded += std::to_string(repeat_count_);
  folded += " time(s)}||";
  folded += second.text;
  folded += kCrLf;
  log_ = std::move(folded);
}

void PluginLog::ClearPending() noexcept {
  std::lock_guard guard(lock_);
  log_.clear();
  last_entry_.clear();
  pending_.store(false, std::memory_order_release);
}

int32_t PluginLog::Fetch(char* buffer, int32_t buffer_size, int32_t* needed) noexcept {
  std::lock_guard guard(lock_);
  const size_t n = log_.size();
  *needed = n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(n);
  if (n == 0 || buffer_size < 0 || n > static_cast<size_t>(buffer_size) || !buffer) return 0;
  std::memcpy(buffer, log_.data(), n);
  log_.clear();
  last_entry_.clear();
  pending_.store(false, std::memory_order_release);
  return static_cast<int32_t>(n);
}

std::string PluginLog::Text() const {
  std::lock_guard guard(lock_);
  return log_;
}

}  // namespace kvo
