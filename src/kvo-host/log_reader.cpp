#include "kvo-host/log_reader.h"

namespace kvo::host {

void LogReader::ForEachLine(std::string_view text, const std::function<void(std::string_view)>& line) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) line(text.substr(start, end - start));
    start = end + 1;
  }
}

int LogReader::Poll(FilterSession& session) {
  const std::string text = session.FetchLog();
  if (!text.empty() || ++quiet_polls_ >= kDrainEvery) {
    channel_.Drain(KVO_MSG_LOG_CHANGED);
    quiet_polls_ = 0;
  }
  int count = 0;
  ForEachLine(text, [&](std::string_view line) {
    print_(line);
    ++count;
  });
  return count;
}

}  // namespace kvo::host
