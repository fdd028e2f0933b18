// The INI file store.
#include "settings/big_ini.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/text_codec.h"
#include "settings/float_text.h"

namespace kvo {

namespace {

constexpr char kCtrlZ = '\x1A';

// The length of the name part of `line` (the text before the first "="), or npos when there is no "=".
size_t NameLength(std::string_view line) {
  return line.find('=');
}

// Whole-text integer: optional leading blanks, an optional sign, then decimal digits or "$" and hexadecimal
// digits. Hexadecimal takes any 32-bit pattern, so "$FFFFFFFF" is -1.
bool ParseInteger(std::string_view text, int32_t& result) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const bool hex = i < text.size() && text[i] == '$';
  if (hex) ++i;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if (first == last || *first == '+' || *first == '-') return false;
  if (hex) {
    uint32_t bits = 0;
    const auto [end, error] = std::from_chars(first, last, bits, 16);
    if (error != std::errc() || end != last) return false;
    const uint32_t value = negative ? 0u - bits : bits;
    result = static_cast<int32_t>(value);
    return true;
  }
  uint32_t magnitude = 0;
  const auto [end, error] = std::from_chars(first, last, magnitude, 10);
  if (error != std::errc() || end != last) return false;
  if (negative) {
    if (magnitude > 0x80000000u) return false;
    result = static_cast<int32_t>(0u - magnitude);
  } else {
    if (magnitude > 0x7FFFFFFFu) return false;
    result = static_cast<int32_t>(magnitude);
  }
  return true;
}

// A finite number with "." or "," as the one decimal separator, blanks around it allowed. Both separators
// are taken so that a file written where "," is the custom still reads back instead of losing its values.
bool ParseFloat(std::string_view text, double& result) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return false;
  // Digits, sign, separator and exponent only: rules out "inf", "nan" and hexadecimal forms.
  int separators = 0;
  for (const char c : text) {
    if (c == '.' || c == ',') {
      ++separators;
    } else if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e' || c == 'E')) {
      return false;
    }
  }
  if (separators > 1) return false;
  char small[64];
  std::string large;
  char* buffer = small;
  if (text.size() > sizeof small) {
    large.assign(text);
    buffer = large.data();
  } else {
    std::memcpy(small, text.data(), text.size());
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (buffer[i] == ',') buffer[i] = '.';
  }
  double value = 0;
  const auto [end, error] = std::from_chars(buffer, buffer + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != buffer + text.size() || !std::isfinite(value)) return false;
  result = value;
  return true;
}

}  // namespace

TBigIniFile::TBigIniFile(std::string_view file_name) {
  SetFileName(file_name);
}

TBigIniFile::~TBigIniFile() {
  try {
    UpdateFile();
  } catch (...) {  // a destructor must not throw; an explicit UpdateFile reports the failure
  }
}

void TBigIniFile::SetFileName(std::string_view file_name) {
  UpdateFile();
  FSections.Clear();
  FPreamble.clear();
  FLastSectionIndex = 0;
  FFileName.assign(file_name);
  FModified = false;
  if (!FFileName.empty() && platform::FileExists(FFileName)) ReadFile();
}

void TBigIniFile::ReadFile() {
  std::string content;
  std::string error;
  if (!platform::ReadWholeFile(FFileName, &content, &error)) throw EInOutError(error);

  std::string_view rest(content);
  int32_t current = -1;
  TSectionList::TLines* lines = nullptr;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() == 1 && line[0] == kCtrlZ) continue;
    if (line.empty()) {
      // Empty lines of the top part are part of what a person laid out there.
      if (lines == nullptr && !FPreamble.empty()) FPreamble.emplace_back();
      continue;
    }
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = FSections.Add(line.substr(1, line.size() - 2));
      lines = &FSections.Lines(current);
    } else if (lines != nullptr) {
      lines->emplace_back(line);
    } else {
      FPreamble.emplace_back(line);
    }
  }
  // A file without sections ends its top part too; the empty lines there separate nothing.
  if (lines == nullptr) {
    while (!FPreamble.empty() && FPreamble.back().empty())
      FPreamble.pop_back();
  }
  FSections.DropDuplicates();
  FSections.SetLastFoundIndex(0);
}

std::string TBigIniFile::FileText() const {
  size_t size = 0;
  for (const std::string& line : FPreamble)
    size += line.size() + 2;
  for (int32_t i = 0; i < FSections.Count(); ++i) {
    const TSectionList::TLines& lines = FSections.Lines(i);
    if (lines.empty()) continue;
    size += FSections.Name(i).size() + 6;
    for (const std::string& line : lines)
      size += line.size() + 2;
  }
  std::string text;
  text.reserve(size);
  for (const std::string& line : FPreamble) {
    text += line;
    text += "\r\n";
  }
  for (int32_t i = 0; i < FSections.Count(); ++i) {
    const TSectionList::TLines& lines = FSections.Lines(i);
    if (lines.empty()) continue;
    text += '[';
    text += FSections.Name(i);
    text += "]\r\n";
    for (const std::string& line : lines) {
      text += line;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

void TBigIniFile::UpdateFile() {
  if (FModified && !FFileName.empty()) {
    std::string error;
    if (!platform::ReplaceFileAtomically(FFileName, FileText(), &error)) {
      throw EInOutError("cannot save '" + FFileName + "': " + error);
    }
  }
  FModified = false;
}

TBigIniFile::TFound TBigIniFile::Find(std::string_view section, std::string_view key, bool create) {
  TFound found;
  const int32_t count = FSections.Count();
  int32_t index = -1;
  if (count > 0) {
    int32_t at = FLastSectionIndex >= 0 && FLastSectionIndex < count ? FLastSectionIndex : 0;
    for (int32_t tested = 0; tested < count; ++tested) {
      FLastSectionIndex = at;
      if (platform::SameTextLocale(FSections.Name(at), section)) {
        index = at;
        break;
      }
      at = at + 1 < count ? at + 1 : 0;
    }
  }
  if (index < 0) {
    if (!create) return found;
    index = FSections.Add(section);
    FLastSectionIndex = index;
  }
  found.Lines = &FSections.Lines(index);
  const TSectionList::TLines& lines = *found.Lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const size_t name_length = NameLength(line);
    if (name_length != std::string_view::npos && platform::SameTextLocale(line.substr(0, name_length), key)) {
      found.KeyIndex = static_cast<int32_t>(i);
      break;
    }
  }
  return found;
}

bool TBigIniFile::FindValue(std::string_view section, std::string_view key, std::string_view& value) {
  const TFound found = Find(section, key, false);
  if (found.KeyIndex < 0) return false;
  const std::string_view line = (*found.Lines)[static_cast<size_t>(found.KeyIndex)];
  value = line.substr(NameLength(line) + 1);
  return true;
}

std::string TBigIniFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) {
  std::string_view value;
  return std::string(FindValue(section, key, value) ? value : default_value);
}

int32_t TBigIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t default_value) {
  std::string_view value;
  if (!FindValue(section, key, value)) return default_value;
  int32_t result = 0;
  return IniIntegerFromText(value, result) ? result : default_value;
}

bool IniIntegerFromText(std::string_view value, int32_t& result) {
  char hex[1 + 255];
  if (value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
    // "0x" is the other way of writing "$"; as for "$", only 255 characters follow.
    const std::string_view digits = value.substr(2, 255);
    hex[0] = '$';
    std::memcpy(hex + 1, digits.data(), digits.size());
    value = std::string_view(hex, digits.size() + 1);
  }
  return ParseInteger(value, result);
}

double TBigIniFile::ReadFloat(std::string_view section, std::string_view key, double default_value) {
  std::string_view value;
  if (!FindValue(section, key, value) || value.empty()) return default_value;
  double result = 0;
  return ParseFloat(value, result) ? result : default_value;
}

bool TBigIniFile::ValueExists(std::string_view section, std::string_view key) {
  const TFound found = Find(section, key, false);
  if (found.Lines == nullptr || key.empty()) return false;
  // The same answer as searching ReadSection's names, without building them.
  return found.KeyIndex >= 0;
}

void TBigIniFile::ReadSection(std::string_view section, std::vector<std::string>& names) {
  const TFound found = Find(section, std::string_view(), false);
  if (found.Lines == nullptr) return;
  for (const std::string& line : *found.Lines) {
    const size_t name_length = NameLength(line);
    if (name_length != std::string::npos && name_length > 0) names.emplace_back(line, 0, name_length);
  }
}

void TBigIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (key.empty()) {
    if (!section.empty() || !value.empty()) {
      EraseSection(section);
    } else {
      UpdateFile();
    }
    return;
  }
  const TFound found = Find(section, key, true);
  if (found.KeyIndex >= 0) {
    std::string& line = (*found.Lines)[static_cast<size_t>(found.KeyIndex)];
    const std::string_view old(line);
    const bool same = old.size() == key.size() + 1 + value.size() && old.substr(0, key.size()) == key &&
                      old[key.size()] == '=' && old.substr(key.size() + 1) == value;
    if (same) return;
    line.assign(key);
    line += '=';
    line += value;
  } else {
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line += key;
    line += '=';
    line += value;
    found.Lines->push_back(std::move(line));
  }
  FModified = true;
}

void TBigIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  char text[16];  // holds every 32-bit number
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  WriteString(section, key, std::string_view(text, static_cast<size_t>(written.ptr - text)));
}

void TBigIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FloatText(value));
}

void TBigIniFile::DeleteKey(std::string_view section, std::string_view key) {
  const TFound found = Find(section, key, true);
  if (found.KeyIndex < 0) return;
  found.Lines->erase(found.Lines->begin() + found.KeyIndex);
  FModified = true;
}

void TBigIniFile::EraseSection(std::string_view section) {
  const int32_t index = FSections.IndexOf(section);
  if (index < 0) return;
  FSections.Delete(index);
  FSections.SetLastFoundIndex(0);
  FModified = true;
  if (FLastSectionIndex >= FSections.Count()) FLastSectionIndex = 0;
}

}  // namespace kvo
