#include "platform/registry_file.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/text_codec.h"

namespace kvo::platform::registry_file {
namespace {

constexpr std::string_view kFileHeader = "Windows Registry Editor Version 5.00";

std::string Folded(std::string_view name) {
  std::string folded(name);
  LowerNarrow(folded.data(), folded.size());
  return folded;
}

std::vector<std::string> FoldedPath(const std::vector<std::string>& names) {
  std::vector<std::string> folded;
  folded.reserve(names.size());
  for (const std::string& name : names)
    folded.push_back(Folded(name));
  return folded;
}

void SetError(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

}  // namespace

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Splits a "\"-separated key path; outer separators are ignored, empty names inside are refused.
bool SplitKeyPath(std::string_view path, std::vector<std::string>* names, std::string* error) {
  while (!path.empty() && path.front() == '\\')
    path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  names->clear();
  if (path.empty()) return true;
  if (HasLineBreak(path)) {
    SetError(error, "a key name cannot hold a line break");
    return false;
  }
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view name = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    if (name.empty()) {
      SetError(error, "empty key name in '" + std::string(path) + "'");
      return false;
    }
    names->emplace_back(name);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

Key* FindKey(Hive& hive, const std::vector<std::string>& names) {
  const auto it = hive.find(FoldedPath(names));
  return it == hive.end() ? nullptr : &it->second;
}

// Finds or creates the key and every key above it, as creating a key in the registry does.
Key& EnsureKey(Hive& hive, const std::vector<std::string>& names) {
  auto [it, inserted] = hive.try_emplace(FoldedPath(names));
  if (inserted) {
    it->second.names = names;
    // A key that existed already has its parents; a new one may not.
    if (!names.empty()) EnsureKey(hive, std::vector<std::string>(names.begin(), names.end() - 1));
  }
  return it->second;
}

// Removes the key and every key below it; false when there was none.
bool EraseTree(Hive& hive, const std::vector<std::string>& names) {
  const std::vector<std::string> folded = FoldedPath(names);
  auto it = hive.lower_bound(folded);
  bool erased = false;
  while (it != hive.end() && it->first.size() >= folded.size() &&
         std::equal(folded.begin(), folded.end(), it->first.begin())) {
    it = hive.erase(it);
    erased = true;
  }
  return erased;
}

Value* FindValue(Key& key, std::string_view name) {
  for (Value& value : key.values) {
    if (SameTextLocale(value.name, name)) return &value;
  }
  return nullptr;
}

namespace {

// ---- Reading the export format ----------------------------------------------------------------------

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses 1 to 8 hex digits, the whole of `text`.
bool ParseHexNumber(std::string_view text, uint32_t* number) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t result = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  *number = result;
  return true;
}

// Reads a quoted text with \\ and \" escapes starting at text[*pos] == '"'; *pos ends after the quote.
bool ParseQuoted(std::string_view text, size_t* pos, std::string* out) {
  out->clear();
  for (size_t i = *pos + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) ++i;
    out->push_back(text[i]);
  }
  return false;
}

// Comma-separated byte pairs; a trailing comma is allowed, as continued lines end with one.
bool ParseHexBytes(std::string_view text, std::string* bytes) {
  bytes->clear();
  text = TrimBlanks(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = TrimBlanks(text.substr(0, comma));
    uint32_t byte = 0;
    if (item.size() > 2 || !ParseHexNumber(item, &byte)) return false;
    bytes->push_back(static_cast<char>(byte));
    if (comma == std::string_view::npos) break;
    text = TrimBlanks(text.substr(comma + 1));
  }
  return true;
}

std::string TextFromUtf16Bytes(std::string_view bytes) {
  std::u16string wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    wide.push_back(unit);
  }
  return NarrowFromWide(wide);
}

class Reader {
 public:
  Reader(std::string_view text, std::string_view root_name, Hive* hive) : root_name_(root_name), hive_(hive) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
      if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
    }
  }

  void Run() {
    while (next_ < lines_.size()) {
      const std::string_view line = TrimBlanks(lines_[next_++]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        Header(line);
      } else if (line.front() == '"' || line.front() == '@') {
        ValueLine(line);
      }
      // Anything else (the version line, stray text) carries nothing and is skipped.
    }
  }

 private:
  void Header(std::string_view line) {
    key_ = nullptr;
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos) return;
    std::string_view path = line.substr(1, close - 1);
    const bool erase = !path.empty() && path.front() == '-';
    if (erase) path.remove_prefix(1);
    if (path.size() < root_name_.size() || !SameTextLocale(path.substr(0, root_name_.size()), root_name_)) {
      return;
    }
    path.remove_prefix(root_name_.size());
    if (!path.empty() && path.front() != '\\') return;
    if (!path.empty()) path.remove_prefix(1);
    std::vector<std::string> names;
    if (path.empty()) {
      if (erase) return;  // the root itself cannot go
    } else if (path.back() == '\\' || !SplitKeyPath(path, &names, nullptr)) {
      return;
    }
    if (erase) {
      EraseTree(*hive_, names);
    } else {
      key_ = &EnsureKey(*hive_, names);
    }
  }

  void ValueLine(std::string_view line) {
    size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, &pos, &name)) {
      return;
    }
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
    if (pos >= line.size() || line[pos] != '=') return;
    std::string_view data = TrimBlanks(line.substr(pos + 1));

    Value value;
    value.name = std::move(name);
    if (data.starts_with("hex")) {
      // Continued lines end with "\" and belong to the same value.
      std::string joined(data);
      while (!joined.empty() && joined.back() == '\\' && next_ < lines_.size()) {
        joined.pop_back();
        joined += TrimBlanks(lines_[next_++]);
      }
      if (!HexValue(joined, &value)) return;
    } else if (data == "-") {
      if (key_)
        std::erase_if(key_->values, [&](const Value& v) { return SameTextLocale(v.name, value.name); });
      return;
    } else if (data.starts_with("dword:")) {
      uint32_t number = 0;
      if (!ParseHexNumber(TrimBlanks(data.substr(6)), &number)) return;
      value.type = kTypeDword;
      for (int i = 0; i < 4; ++i)
        value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    } else if (!data.empty() && data.front() == '"') {
      size_t end = 0;
      if (!ParseQuoted(data, &end, &value.data) || end != data.size()) return;
      value.type = kTypeString;
    } else {
      return;
    }
    if (!key_) return;
    if (Value* existing = FindValue(*key_, value.name)) {
      existing->type = value.type;
      existing->data = std::move(value.data);
    } else {
      key_->values.push_back(std::move(value));
    }
  }

  static bool HexValue(std::string_view data, Value* value) {
    data.remove_prefix(3);
    uint32_t type = kTypeBinary;
    if (!data.empty() && data.front() == '(') {
      const size_t close = data.find(')');
      if (close == std::string_view::npos || !ParseHexNumber(data.substr(1, close - 1), &type)) return false;
      data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':') return false;
    if (!ParseHexBytes(data.substr(1), &value->data)) return false;
    value->type = type;
    if (type == kTypeString) value->data = TextFromUtf16Bytes(value->data);
    return true;
  }

  std::string_view root_name_;
  Hive* hive_;
  std::vector<std::string_view> lines_;
  size_t next_ = 0;
  Key* key_ = nullptr;  // where value lines go; none after a header that could not be used
};

// ---- Writing the export format ------------------------------------------------------------------------

void AppendQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Wraps as the editor does: lines of about 80 columns, continued with "\" and an indent of two.
void AppendHexBytes(std::string_view bytes, size_t column, std::string& out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
    column += 2;
    if (i + 1 == bytes.size()) break;
    out += ',';
    ++column;
    if (column > 76) {
      out += "\\\r\n  ";
      column = 2;
    }
  }
}

// Control characters would break the line, and invalid UTF-8 is not text a UTF-16 store can keep, so
// both go out as UTF-16 bytes, as the editor writes them.
bool FitsPlainString(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return NarrowFromWide(WideFromNarrow(text)) == text;
}

void AppendValue(const Value& value, std::string& out) {
  const size_t line_start = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(value.name, out);
  }
  out += '=';
  std::string_view bytes = value.data;
  std::string utf16;
  if (value.type == kTypeString) {
    if (FitsPlainString(value.data)) {
      AppendQuoted(value.data, out);
      return;
    }
    for (char16_t unit : WideFromNarrow(value.data)) {
      utf16 += static_cast<char>(unit & 0xFF);
      utf16 += static_cast<char>(unit >> 8);
    }
    utf16.append(2, '\0');
    bytes = utf16;
  } else if (value.type == kTypeDword && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
    out += text;
    return;
  }
  if (value.type == kTypeBinary) {
    out += "hex:";
  } else {
    char text[24];
    std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
    out += text;
  }
  AppendHexBytes(bytes, out.size() - line_start, out);
}

}  // namespace

std::string WriteHive(const Hive& hive, std::string_view root_name) {
  std::string out(kFileHeader);
  out += "\r\n\r\n";
  for (const auto& [folded, key] : hive) {
    // The root's own header only carries values; the root exists anyway.
    if (key.names.empty() && key.values.empty()) continue;
    out += '[';
    out += root_name;
    for (const std::string& name : key.names) {
      out += '\\';
      out += name;
    }
    out += "]\r\n";
    for (const Value& value : key.values) {
      AppendValue(value, out);
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

void ReadHive(std::string_view text, std::string_view root_name, Hive* hive) {
  hive->clear();
  Reader(text, root_name, hive).Run();
}

}  // namespace kvo::platform::registry_file
