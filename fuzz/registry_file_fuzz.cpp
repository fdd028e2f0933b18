// Property: the POSIX registry store reads any root file without crashing, values written through it read
// back as written, and its file text is stable: after one read-write round, reading and writing again
// gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/registry.h"

namespace {

using kvo::fuzz::Bytes;
using kvo::fuzz::Check;
using kvo::platform::RegistryKey;
using kvo::platform::RegistryRoot;

// Pieces that make paths and names interesting: separators, dot folders, quotes, case variants, UTF-8.
std::string MakeText(Bytes& in) {
  static constexpr std::string_view kPieces[] = {"a", "A", "b",        "\\", "..", "/", "\"", "=",
                                                 " ", "@", "\xc3\xa9", "[",  "]",  "-", ";",  "hex:"};
  const uint8_t count = in.Next() % 5;
  std::string text;
  for (uint8_t i = 0; i < count; ++i)
    text += kPieces[in.Next() % std::size(kPieces)];
  return text;
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Operate(Bytes& in) {
  RegistryKey key;
  if (!RegistryKey::Open(RegistryRoot::kCurrentUser, MakeText(in), (in.Next() & 1) != 0, &key, nullptr))
    return;
  for (int steps = 0; !in.empty() && steps < 8; ++steps) {
    const uint8_t op = in.Next();
    const std::string name = MakeText(in);
    switch (op % 6) {
      case 0: {
        const uint32_t number = in.Next() * 0x01010101u;
        uint32_t read = ~number;
        Check(key.WriteDword(name, number) && key.ReadDword(name, &read) && read == number);
        break;
      }
      case 1: {
        const std::string value = MakeText(in);
        std::string read;
        Check(key.WriteString(name, value) && key.ReadString(name, &read) && read == value);
        break;
      }
      case 2: {
        std::string bytes(in.Next() % 40, '\0');
        for (char& c : bytes)
          c = static_cast<char>(in.Next());
        std::string read(bytes.size(), '\x5a');
        Check(key.WriteBinary(name, bytes.data(), bytes.size()) &&
              key.ReadBinary(name, read.data(), read.size()) && read == bytes);
        break;
      }
      case 3:
        key.DeleteValue(name);
        Check(!key.ValueExists(name));
        break;
      case 4:
        key.DeleteKey(name);
        break;
      default: {
        std::string text;
        uint32_t number = 0;
        (void)key.ReadString(name, &text);
        (void)key.ReadDword(name, &number);
        (void)key.Type(name);
        break;
      }
    }
  }
}

}  // namespace

// Input: two bytes giving the length of the root file's text, the text, then operations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvo::fuzz::UseFastFiles();
  static const bool env_set = ::setenv("KVO_REGISTRY_DIR", kvo::fuzz::Scratch().c_str(), 1) == 0;
  Check(env_set);
  std::string path;
  Check(kvo::platform::RegistryRootFile(RegistryRoot::kCurrentUser, &path, nullptr));

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t text_size = size < 2 ? 0 : (data[0] | data[1] << 8) % (size - 1);
  const std::string_view file_text = input.substr(size < 2 ? size : 2, text_size);
  Bytes in(input.substr(std::min(size, 2 + text_size)));
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(file_text.data(), static_cast<std::streamsize>(file_text.size()));

  while (!in.empty())
    Operate(in);

  // Each change reads the file and writes it whole. After one such round the text is the store's own,
  // and from then on the same changes give the same bytes.
  RegistryKey root;
  Check(RegistryKey::Open(RegistryRoot::kCurrentUser, "", false, &root, nullptr));
  const auto add_probe = [] {
    RegistryKey probe;
    Check(RegistryKey::Open(RegistryRoot::kCurrentUser, "kvo fuzz probe", true, &probe, nullptr));
    Check(probe.WriteDword("p", 1));
  };
  add_probe();
  Check(root.DeleteKey("kvo fuzz probe"));
  const std::string without = FileBytes(path);
  add_probe();
  const std::string with = FileBytes(path);
  Check(root.DeleteKey("kvo fuzz probe"));
  Check(FileBytes(path) == without);
  add_probe();
  Check(FileBytes(path) == with);
  return 0;
}
