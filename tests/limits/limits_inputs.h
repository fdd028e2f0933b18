// The inputs of the size limits, shared by their test and their benchmark: a large INI file, a large
// block, a long variable name, a large language file and a large item list text, each made in time linear
// in its size. Files are written in large pieces, so even a sanitizer build makes 100 MB in moments.
// Header only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "params/params_list.h"

namespace kvo::limits {

inline constexpr size_t kIniBytes = 100u << 20;
inline constexpr int32_t kBlockElements = 1'000'000;
inline constexpr size_t kNameBytes = 1u << 20;
inline constexpr int32_t kLanguageBlocks = 100'000;
inline constexpr size_t kItemsTextBytes = 10u << 20;

// Appends `text` to `path` through a buffer that is written whenever it holds a few megabytes.
class ChunkWriter {
 public:
  explicit ChunkWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    buffer_.reserve(kChunk + 4096);
  }
  ~ChunkWriter() { Close(); }
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  void Add(std::string_view text) {
    buffer_ += text;
    written_ += text.size();
    if (buffer_.size() >= kChunk) Flush();
  }
  size_t Written() const { return written_; }
  // True when every byte reached the file.
  bool Close() {
    if (file_ == nullptr) return ok_;
    Flush();
    ok_ = std::fclose(file_) == 0 && ok_;
    file_ = nullptr;
    return ok_;
  }

 private:
  static constexpr size_t kChunk = 4u << 20;
  void Flush() {
    if (file_ == nullptr || buffer_.empty()) return;
    ok_ = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size() && ok_;
    buffer_.clear();
  }

  std::FILE* file_;
  std::string buffer_;
  size_t written_ = 0;
  bool ok_ = true;
};

// A decimal number padded with zeros to `width` digits.
inline std::string Padded(uint64_t number, int width) {
  std::string text = std::to_string(number);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<size_t>(width) - text.size(), '0');
  return text;
}

// --- INI file ---
// Sections "[Section_nnnnnnn]" of kIniKeys lines "Key_nnn=value of nnnnnnn/nnn ..."; the file is written
// exactly as the store writes it back (CR LF, an empty line after each section), about `bytes` long.
// Every section is the text of the first with its number put in: numbers have a fixed width.
inline constexpr int kIniKeys = 100;
inline std::string IniSectionName(int64_t section) {
  return std::string("Section_") + Padded(static_cast<uint64_t>(section), 7);
}
inline std::string IniKeyName(int key) {
  return std::string("Key_") + Padded(static_cast<uint64_t>(key), 3);
}
inline std::string IniValue(int64_t section, int key) {
  return std::string("value of ") + Padded(static_cast<uint64_t>(section), 7) + "/" +
         Padded(static_cast<uint64_t>(key), 3) + " padded to a usual line length";
}
// Writes the file and returns its number of sections (0 when it could not be written).
inline int64_t WriteIniFile(const std::string& path, size_t bytes) {
  std::string text = std::string("[") + IniSectionName(0) + "]\r\n";
  for (int key = 0; key < kIniKeys; ++key)
    text += IniKeyName(key) + "=" + IniValue(0, key) + "\r\n";
  text += "\r\n";
  const std::string zero = Padded(0, 7);
  std::vector<size_t> places;
  for (size_t at = text.find(zero); at != std::string::npos; at = text.find(zero, at + zero.size()))
    places.push_back(at);
  ChunkWriter out(path);
  int64_t sections = 0;
  while (out.Written() < bytes) {
    const std::string number = Padded(static_cast<uint64_t>(sections), 7);
    for (const size_t at : places)
      text.replace(at, number.size(), number);
    out.Add(text);
    ++sections;
  }
  return out.Close() ? sections : 0;
}

// --- Block ---
// Rows of seven values "Column_0".."Column_6" and a row marker, `elements` in all (a whole number of
// rows), with "Trigger" in place of the last value: only the last row names it.
inline std::unique_ptr<TParamsList> MakeBlock(int32_t elements) {
  auto block = std::make_unique<TRowsParamsList>();
  static const std::string kColumns[] = {"Column_0", "Column_1", "Column_2", "Column_3",
                                         "Column_4", "Column_5", "Column_6"};
  for (int32_t i = 0; i < elements; ++i) {
    const int32_t column = i % 8;
    if (column == 7) {
      block->NewRow();
    } else if (i == elements - 2) {
      block->Add("Trigger", Variant::FromDouble(1.0));
    } else {
      block->Add(kColumns[column], Variant::FromDouble(static_cast<double>(i / 8) * 0.25 + column));
    }
  }
  return block;
}

// --- Long name ---
// Lower-case letters (as the filter compares names), a different one at every position modulo 26.
inline std::string LongName(size_t bytes) {
  std::string name(bytes, 'a');
  for (size_t i = 0; i < bytes; ++i)
    name[i] = static_cast<char>('a' + i % 26);
  return name;
}

// --- Language file ---
// A languages section, then `blocks` blocks "EN:>Text number n" / "DE:>Uebersetzung Nummer n" each closed by
// an empty line; every tenth source text marks a key letter with "&".
inline std::string LanguageSource(int64_t block) {
  return std::string(block % 10 == 0 ? "&Text number " : "Text number ") + std::to_string(block);
}
inline std::string LanguageTarget(int64_t block) {
  return std::string("Uebersetzung Nummer ") + std::to_string(block);
}
inline bool WriteLanguageFile(const std::string& path, int64_t blocks) {
  ChunkWriter out(path);
  out.Add("[Languages]\r\n$EN = English\r\n$DE = Deutsch\r\nDefault = EN\r\n\r\n");
  std::string text;
  for (int64_t block = 0; block < blocks; ++block) {
    text = std::string("EN:>") + LanguageSource(block) + "\r\nDE:>" + LanguageTarget(block) + "\r\n\r\n";
    out.Add(text);
  }
  return out.Close();
}

// --- Item list text ---
// Lines "Tag|Name|type name|Extra" joined by CR LF, in the form "ITEMS" writes them, about `bytes` long.
inline std::string ItemsText(size_t bytes) {
  static constexpr std::string_view kTypes[] = {"String", "Float", "Integer", "DateTime"};
  std::string text;
  text.reserve(bytes + 128);
  for (int64_t i = 0; text.size() < bytes; ++i) {
    if (i > 0) text += "\r\n";
    text += std::to_string(i);
    text += "|Item_";
    text += Padded(static_cast<uint64_t>(i), 7);
    text += '|';
    text += kTypes[i % 4];
    text += "|extra ";
    text += std::to_string(i * 7);
  }
  return text;
}

}  // namespace kvo::limits
