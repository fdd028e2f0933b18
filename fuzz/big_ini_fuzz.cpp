// Property: an INI file parsed from any bytes, changed through the store and written back, parses again
// into exactly the sections and lines the store held, and a written key reads back as written.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "settings/big_ini.h"

namespace {

using kvo::fuzz::Bytes;
using kvo::fuzz::Check;

// Names and values the INI text form can carry: no line breaks, no "=" in names, no brackets.
std::string MakeText(Bytes& in, bool name) {
  static constexpr char kAlphabet[] = {'a', 'A', 'b', 'B', ' ', '=', ';', '\xe9', '%', 'x', '1', '.'};
  const uint8_t length = in.Next() % 5;
  std::string text;
  for (uint8_t i = 0; i < length; ++i) {
    const char c = kAlphabet[in.Next() % sizeof kAlphabet];
    if (!(name && c == '=')) text += c;
  }
  return text;
}

// Sections with lines, as written and read; sections without lines are not written.
std::vector<std::pair<std::string, std::vector<std::string>>> Snapshot(const kvo::TBigIniFile& ini) {
  std::vector<std::pair<std::string, std::vector<std::string>>> out;
  const kvo::TSectionList& sections = ini.Sections();
  for (int32_t i = 0; i < sections.Count(); ++i)
    if (!sections.Lines(i).empty()) out.emplace_back(sections.Name(i), sections.Lines(i));
  return out;
}

}  // namespace

// Input: two bytes giving the length of the file text, the file text, then the operations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvo::fuzz::UseFastFiles();
  const std::string path = (kvo::fuzz::Scratch() / "store.ini").string();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t text_size = size < 2 ? 0 : (data[0] | data[1] << 8) % (size - 1);
  const std::string_view file_text = input.substr(size < 2 ? size : 2, text_size);
  Bytes in(input.substr(std::min(size, 2 + text_size)));
  {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(file_text.data(), static_cast<std::streamsize>(file_text.size()));
  }

  kvo::TBigIniFile first(path);
  for (int steps = 0; !in.empty() && steps < 64; ++steps) {
    const uint8_t op = in.Next() % 4;
    const std::string section = MakeText(in, true);
    const std::string key = MakeText(in, true);
    switch (op) {
      case 0: {
        const std::string value = MakeText(in, false);
        first.WriteString(section, key, value);
        if (!key.empty()) Check(first.ReadString(section, key, "\x01") == value);
        break;
      }
      case 1: {
        // A file may hold a key twice in one section; a deletion removes the first line only.
        std::vector<std::string> before;
        std::vector<std::string> after;
        const bool existed = !key.empty() && first.ValueExists(section, key);
        first.ReadSection(section, before);
        first.DeleteKey(section, key);
        first.ReadSection(section, after);
        Check(after.size() == before.size() - (existed ? 1 : 0));
        break;
      }
      case 2:
        first.EraseSection(section);
        break;
      default: {
        const int32_t number = static_cast<int8_t>(in.Next()) * 65599;
        first.WriteInteger(section, key, number);
        if (!key.empty()) Check(first.ReadInteger(section, key, number + 1) == number);
        break;
      }
    }
  }
  first.UpdateFile();
  Check(!first.Modified());
  const kvo::TBigIniFile second(path);
  Check(Snapshot(second) == Snapshot(first));
  return 0;
}
