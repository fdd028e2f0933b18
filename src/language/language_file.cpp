// Language file lines and the languages section.
#include "language/language_file.h"

#include <string_view>

#include "language/language_text.h"
#include "platform/atomic_file.h"
#include "platform/text_codec.h"

namespace kvo {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool SameAscii(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool ReadLanguageFileLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  if (path.empty()) return false;
  std::string content;
  std::string error;
  if (!platform::ReadWholeFile(path, &content, &error)) return false;
  if (std::string_view(content).starts_with(kUtf8Mark)) {
    content = platform::NarrowFromUtf8(std::string_view(content).substr(kUtf8Mark.size()));
  }
  std::string_view rest(content);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return true;
}

TLanguagesSection ReadLanguagesSection(const std::vector<std::string>& lines) {
  TLanguagesSection section;
  bool inside = false;
  bool have_default = false;
  for (const std::string& raw : lines) {
    const std::string_view line = TrimText(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      inside = close != std::string_view::npos && SameAscii(TrimText(line.substr(1, close - 1)), "Languages");
      continue;
    }
    if (!inside) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = TrimText(line.substr(0, equals));
    const std::string_view value = TrimText(line.substr(equals + 1));
    section.Entries.emplace_back(key, value);
    if (!have_default && SameAscii(key, "Default")) {
      section.Default.assign(value);
      have_default = true;
    }
  }
  return section;
}

}  // namespace kvo
