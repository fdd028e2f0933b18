// Tests of the registry store: the system registry on Windows, the root files on POSIX.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

#if !defined(_WIN32)
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>
#endif

namespace kvo::platform {
namespace {

constexpr RegistryRoot kRoot = RegistryRoot::kCurrentUser;
constexpr std::string_view kBase = "Software\\kvo-test";

std::string Below(std::string_view sub) {
  std::string path(kBase);
  if (!sub.empty()) {
    path += '\\';
    path += sub;
  }
  return path;
}

// Each test works below kBase: in a fresh folder of root files on POSIX, in the real registry on Windows
// (removed again afterwards).
class RegistryTest : public ::testing::Test {
 protected:
#if !defined(_WIN32)
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvo-registry-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    folder_ = scratch_ / "registry";
    ASSERT_EQ(::setenv("KVO_REGISTRY_DIR", folder_.c_str(), 1), 0);
  }
  void TearDown() override {
    ::unsetenv("KVO_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(scratch_, ignored);
  }

  std::filesystem::path RootFile(RegistryRoot root = kRoot) const {
    return folder_ / (std::string(RegistryRootName(root)) + ".reg");
  }
  std::string ReadRootFile() const {
    std::ifstream in(RootFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteRootFile(std::string_view text) const {
    std::filesystem::create_directories(folder_);
    std::ofstream out(RootFile(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  std::filesystem::path scratch_;
  std::filesystem::path folder_;
#else
  void TearDown() override {
    RegistryKey software;
    std::string error;
    ASSERT_TRUE(RegistryKey::Open(kRoot, "Software", false, &software, &error)) << error;
    RegistryKey left;
    if (RegistryKey::Open(kRoot, kBase, false, &left, nullptr)) {
      left.Close();
      EXPECT_TRUE(software.DeleteKey("kvo-test", &error)) << error;
    }
    EXPECT_FALSE(RegistryKey::Open(kRoot, kBase, false, &left, nullptr));
  }
#endif

  static RegistryKey Create(std::string_view sub) {
    RegistryKey key;
    std::string error;
    EXPECT_TRUE(RegistryKey::Open(kRoot, Below(sub), true, &key, &error)) << error;
    return key;
  }
  static RegistryKey OpenExisting(std::string_view sub) {
    RegistryKey key;
    std::string error;
    EXPECT_TRUE(RegistryKey::Open(kRoot, Below(sub), false, &key, &error)) << error;
    return key;
  }
};

uint64_t BitsOf(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// ---- Every platform -------------------------------------------------------------------------------------

TEST_F(RegistryTest, DwordsRoundTrip) {
  const uint32_t cases[] = {0, 1, 31, 0x80000000u, 0xFFFFFFFFu};
  {
    RegistryKey key = Create("Values");
    for (uint32_t value : cases) {
      std::string error;
      ASSERT_TRUE(key.WriteDword("n" + std::to_string(value), value, &error)) << error;
    }
  }
  RegistryKey key = OpenExisting("Values");
  for (uint32_t value : cases) {
    uint32_t read = ~value;
    EXPECT_TRUE(key.ReadDword("n" + std::to_string(value), &read)) << value;
    EXPECT_EQ(read, value);
    EXPECT_EQ(key.Type("n" + std::to_string(value)), ValueKind::kDword);
  }
}

TEST_F(RegistryTest, EightByteBinariesRoundTrip) {
  const double cases[] = {0.0, -0.0, 3.25, -1e300, 5e-324, 123456789.125};
  {
    RegistryKey key = Create("Values");
    for (size_t i = 0; i < std::size(cases); ++i) {
      std::string error;
      ASSERT_TRUE(key.WriteBinary("d" + std::to_string(i), &cases[i], sizeof(double), &error)) << error;
    }
  }
  RegistryKey key = OpenExisting("Values");
  for (size_t i = 0; i < std::size(cases); ++i) {
    double read = 42.0;
    EXPECT_TRUE(key.ReadBinary("d" + std::to_string(i), &read, sizeof read)) << cases[i];
    EXPECT_EQ(BitsOf(read), BitsOf(cases[i])) << cases[i];
    EXPECT_EQ(key.Type("d" + std::to_string(i)), ValueKind::kBinary);
  }
}

TEST_F(RegistryTest, StringsRoundTrip) {
  const std::string_view cases[] = {
    "",
    "plain text",
    "say \"hi\" to C:\\folder\\",
    "[not a key] = @ ;not a comment",
    "  outer blanks  ",
    "\\\"",
#if !defined(_WIN32)
    "caf\xC3\xA9 \xE2\x82\xAC 5",
#endif
  };
  {
    RegistryKey key = Create("Values");
    for (size_t i = 0; i < std::size(cases); ++i) {
      std::string error;
      ASSERT_TRUE(key.WriteString("s" + std::to_string(i), cases[i], &error)) << error;
    }
  }
  RegistryKey key = OpenExisting("Values");
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::string read = "untouched";
    EXPECT_TRUE(key.ReadString("s" + std::to_string(i), &read)) << cases[i];
    EXPECT_EQ(read, cases[i]);
    EXPECT_EQ(key.Type("s" + std::to_string(i)), ValueKind::kString);
  }
}

TEST_F(RegistryTest, StringEndsAtItsFirstNul) {
  RegistryKey key = Create("Values");
  ASSERT_TRUE(key.WriteString("cut", std::string_view("before\0after", 12)));
  std::string read;
  ASSERT_TRUE(key.ReadString("cut", &read));
  EXPECT_EQ(read, "before");
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
  RegistryKey key = Create("Values");
  ASSERT_TRUE(key.WriteString("", "the default"));
  ASSERT_TRUE(key.WriteString("other", "named"));
  std::string read;
  ASSERT_TRUE(OpenExisting("Values").ReadString("", &read));
  EXPECT_EQ(read, "the default");
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreLetterCase) {
  {
    RegistryKey key = Create("MixedCase\\Inner");
    ASSERT_TRUE(key.WriteDword("Speed", 7));
  }
  RegistryKey upper = OpenExisting("MIXEDCASE\\INNER");
  RegistryKey lower;
  ASSERT_TRUE(RegistryKey::Open(kRoot, "software\\KVO-TEST\\mixedcase\\inner", false, &lower, nullptr));
  uint32_t read = 0;
  EXPECT_TRUE(upper.ReadDword("SPEED", &read));
  EXPECT_EQ(read, 7u);
  // A write under another spelling replaces the one value rather than adding a second.
  ASSERT_TRUE(lower.WriteDword("speed", 8));
  EXPECT_TRUE(upper.ReadDword("Speed", &read));
  EXPECT_EQ(read, 8u);
  ASSERT_TRUE(upper.DeleteValue("sPeEd"));
  EXPECT_FALSE(lower.ValueExists("Speed"));
  EXPECT_FALSE(lower.ValueExists("speed"));
}

enum class Kind { kDword, kBinary, kString };

void WriteKind(RegistryKey& key, std::string_view name, Kind kind) {
  const double number = 2.5;
  switch (kind) {
    case Kind::kDword:
      ASSERT_TRUE(key.WriteDword(name, 1234));
      break;
    case Kind::kBinary:
      ASSERT_TRUE(key.WriteBinary(name, &number, sizeof number));
      break;
    case Kind::kString:
      ASSERT_TRUE(key.WriteString(name, "1234"));
      break;
  }
}

bool ReadKind(const RegistryKey& key, std::string_view name, Kind kind) {
  uint32_t dword = 0;
  double number = 0;
  std::string text;
  switch (kind) {
    case Kind::kDword:
      return key.ReadDword(name, &dword);
    case Kind::kBinary:
      return key.ReadBinary(name, &number, sizeof number);
    case Kind::kString:
      return key.ReadString(name, &text);
  }
  return false;
}

TEST_F(RegistryTest, ValueOfAnotherKindDoesNotRead) {
  struct Case {
    Kind written;
    Kind read;
  };
  const Case cases[] = {
      {Kind::kDword, Kind::kBinary},  {Kind::kDword, Kind::kString}, {Kind::kBinary, Kind::kDword},
      {Kind::kBinary, Kind::kString}, {Kind::kString, Kind::kDword}, {Kind::kString, Kind::kBinary},
  };
  RegistryKey key = Create("Kinds");
  for (const Case& c : cases) {
    WriteKind(key, "value", c.written);
    EXPECT_TRUE(ReadKind(key, "value", c.written)) << static_cast<int>(c.written);
    EXPECT_FALSE(ReadKind(key, "value", c.read))
        << static_cast<int>(c.written) << " read as " << static_cast<int>(c.read);
  }
}

TEST_F(RegistryTest, BinaryOfAnotherSizeDoesNotRead) {
  RegistryKey key = Create("Kinds");
  const unsigned char four[4] = {1, 2, 3, 4};
  ASSERT_TRUE(key.WriteBinary("short", four, sizeof four));
  unsigned char eight[8] = {};
  EXPECT_FALSE(key.ReadBinary("short", eight, sizeof eight));
  unsigned char three[3] = {};
  EXPECT_FALSE(key.ReadBinary("short", three, sizeof three));
  unsigned char exact[4] = {};
  ASSERT_TRUE(key.ReadBinary("short", exact, sizeof exact));
  EXPECT_EQ(std::memcmp(exact, four, sizeof four), 0);
}

TEST_F(RegistryTest, MissingValueHasNoKindAndDoesNotRead) {
  RegistryKey key = Create("Kinds");
  EXPECT_FALSE(key.ValueExists("absent"));
  EXPECT_EQ(key.Type("absent"), ValueKind::kNone);
  for (Kind kind : {Kind::kDword, Kind::kBinary, Kind::kString}) {
    EXPECT_FALSE(ReadKind(key, "absent", kind)) << static_cast<int>(kind);
  }
}

TEST_F(RegistryTest, WriteReplacesAValueOfAnotherKind) {
  RegistryKey key = Create("Kinds");
  ASSERT_TRUE(key.WriteString("value", "text"));
  ASSERT_TRUE(key.WriteDword("value", 5));
  EXPECT_EQ(key.Type("value"), ValueKind::kDword);
  uint32_t read = 0;
  EXPECT_TRUE(key.ReadDword("value", &read));
  EXPECT_EQ(read, 5u);
}

TEST_F(RegistryTest, DeletedValueIsGoneAndOthersStay) {
  RegistryKey key = Create("Delete");
  ASSERT_TRUE(key.WriteDword("gone", 1));
  ASSERT_TRUE(key.WriteString("kept", "yes"));
  std::string error;
  ASSERT_TRUE(key.DeleteValue("gone", &error)) << error;
  EXPECT_FALSE(key.ValueExists("gone"));
  EXPECT_TRUE(OpenExisting("Delete").ValueExists("kept"));
  EXPECT_FALSE(key.DeleteValue("gone", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(RegistryTest, OpenWithoutCreateNeedsAnExistingKey) {
  RegistryKey key;
  std::string error;
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Later"), false, &key, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(key.IsOpen());
  ASSERT_TRUE(Create("Later").IsOpen());
  EXPECT_TRUE(RegistryKey::Open(kRoot, Below("Later"), false, &key, &error)) << error;
  EXPECT_TRUE(key.IsOpen());
}

TEST_F(RegistryTest, CreatingAKeyCreatesTheKeysAboveIt) {
  ASSERT_TRUE(Create("One\\Two\\Three").IsOpen());
  EXPECT_TRUE(OpenExisting("One").IsOpen());
  EXPECT_TRUE(OpenExisting("One\\Two").IsOpen());
}

TEST_F(RegistryTest, OuterSeparatorsAreIgnored) {
  ASSERT_TRUE(Create("Outer").WriteDword("v", 3));
  RegistryKey key;
  ASSERT_TRUE(RegistryKey::Open(kRoot, "\\" + Below("Outer") + "\\", false, &key, nullptr));
  uint32_t read = 0;
  EXPECT_TRUE(key.ReadDword("v", &read));
  EXPECT_EQ(read, 3u);
}

TEST_F(RegistryTest, EmptyNameInsideAPathIsRefused) {
  RegistryKey key;
  std::string error;
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Names\\\\Empty"), true, &key, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Names"), false, &key, nullptr));
}

TEST_F(RegistryTest, DeleteKeyRemovesItsWholeTree) {
  ASSERT_TRUE(Create("Tree\\Branch\\Leaf").WriteDword("v", 1));
  ASSERT_TRUE(Create("Tree\\Sibling").WriteDword("v", 2));
  RegistryKey tree = OpenExisting("Tree");
  std::string error;
  ASSERT_TRUE(tree.DeleteKey("branch", &error)) << error;
  RegistryKey gone;
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Tree\\Branch"), false, &gone, nullptr));
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Tree\\Branch\\Leaf"), false, &gone, nullptr));
  uint32_t read = 0;
  EXPECT_TRUE(OpenExisting("Tree\\Sibling").ReadDword("v", &read));
  EXPECT_EQ(read, 2u);
  EXPECT_FALSE(tree.DeleteKey("Branch", &error));
}

TEST_F(RegistryTest, KeyDeletedBehindAHandleTakesNoWrites) {
  RegistryKey doomed = Create("Parent\\Doomed");
  ASSERT_TRUE(OpenExisting("Parent").DeleteKey("Doomed"));
  std::string error;
  EXPECT_FALSE(doomed.WriteDword("v", 1, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(doomed.ValueExists("v"));
}

TEST_F(RegistryTest, NoRootOpensNothing) {
  RegistryKey key;
  std::string error;
  EXPECT_FALSE(RegistryKey::Open(RegistryRoot::kNone, Below(""), true, &key, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(RegistryKey::OpenWithFallback(RegistryRoot::kNone, RegistryRoot::kNone, Below(""), true, &key,
                                             nullptr, &error));
}

TEST_F(RegistryTest, FallbackUsesTheSecondRootWhenTheFirstFails) {
  RegistryKey key;
  RegistryRoot used = RegistryRoot::kNone;
  std::string error;
  ASSERT_TRUE(
      RegistryKey::OpenWithFallback(RegistryRoot::kNone, kRoot, Below("Fallback"), true, &key, &used, &error))
      << error;
  EXPECT_EQ(used, kRoot);
  ASSERT_TRUE(key.WriteDword("v", 9));
  uint32_t read = 0;
  EXPECT_TRUE(OpenExisting("Fallback").ReadDword("v", &read));
  EXPECT_EQ(read, 9u);
}

TEST_F(RegistryTest, ClosedOrMovedFromKeyRefusesEverything) {
  RegistryKey first = Create("Moved");
  ASSERT_TRUE(first.WriteDword("v", 1));
  RegistryKey second = std::move(first);
  uint32_t read = 0;
  EXPECT_TRUE(second.ReadDword("v", &read));
  EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): the moved-from state is what is tested
  EXPECT_FALSE(first.ReadDword("v", &read));
  EXPECT_FALSE(first.WriteDword("v", 2));
  second.Close();
  EXPECT_FALSE(second.ValueExists("v"));
  EXPECT_FALSE(second.DeleteValue("v"));
  EXPECT_TRUE(OpenExisting("Moved").ReadDword("v", &read));
  EXPECT_EQ(read, 1u);
}

TEST_F(RegistryTest, RootNamesAreTheRegistryNames) {
  EXPECT_EQ(RegistryRootName(RegistryRoot::kClassesRoot), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(RegistryRootName(RegistryRoot::kCurrentUser), "HKEY_CURRENT_USER");
  EXPECT_EQ(RegistryRootName(RegistryRoot::kLocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RegistryRootName(RegistryRoot::kUsers), "HKEY_USERS");
  EXPECT_EQ(RegistryRootName(RegistryRoot::kCurrentConfig), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RegistryRootName(RegistryRoot::kNone), "");
}

#if !defined(_WIN32)
// ---- The root files on POSIX ------------------------------------------------------------------------------

TEST_F(RegistryTest, RootFileIsTheEditorsExportText) {
  {
    RegistryKey key = Create("Small");
    const unsigned char raw[8] = {1, 2, 3, 4, 5, 6, 7, 0xAB};
    ASSERT_TRUE(key.WriteString("Name", "say \"hi\" C:\\x"));
    ASSERT_TRUE(key.WriteDword("Count", 31));
    ASSERT_TRUE(key.WriteBinary("Raw", raw, sizeof raw));
    ASSERT_TRUE(key.WriteString("", "default"));
    ASSERT_TRUE(key.WriteString("Quote\"d\\", "x"));
    ASSERT_TRUE(Create("Small\\Empty").IsOpen());
  }
  EXPECT_EQ(ReadRootFile(),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\kvo-test]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\kvo-test\\Small]\r\n"
            "\"Name\"=\"say \\\"hi\\\" C:\\\\x\"\r\n"
            "\"Count\"=dword:0000001f\r\n"
            "\"Raw\"=hex:01,02,03,04,05,06,07,ab\r\n"
            "@=\"default\"\r\n"
            "\"Quote\\\"d\\\\\"=\"x\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\kvo-test\\Small\\Empty]\r\n"
            "\r\n");
}

TEST_F(RegistryTest, KeysAreWrittenAsATreeWalk) {
  ASSERT_TRUE(Create("b").IsOpen());
  ASSERT_TRUE(Create("a b").IsOpen());
  ASSERT_TRUE(Create("A\\z").IsOpen());
  const std::string text = ReadRootFile();
  const size_t a = text.find("[HKEY_CURRENT_USER\\Software\\kvo-test\\A]");
  const size_t az = text.find("[HKEY_CURRENT_USER\\Software\\kvo-test\\A\\z]");
  const size_t ab = text.find("[HKEY_CURRENT_USER\\Software\\kvo-test\\a b]");
  const size_t b = text.find("[HKEY_CURRENT_USER\\Software\\kvo-test\\b]");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(az, std::string::npos);
  ASSERT_NE(ab, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, az);
  EXPECT_LT(az, ab);
  EXPECT_LT(ab, b);
}

TEST_F(RegistryTest, TextThatIsNoPlainStringIsWrittenAsUtf16) {
  struct Case {
    std::string_view written;
    std::string_view line;  // as it appears in the file
    std::string_view read;
  };
  const Case cases[] = {
      {"a\nb", "\"s\"=hex(1):61,00,0a,00,62,00,00,00", "a\nb"},
      {"\r\n", "\"s\"=hex(1):0d,00,0a,00,00,00", "\r\n"},
      {"tab\t", "\"s\"=hex(1):74,00,61,00,62,00,09,00,00,00", "tab\t"},
      {"\x7F", "\"s\"=hex(1):7f,00,00,00", "\x7F"},
      {"\xC3\xA9\x01", "\"s\"=hex(1):e9,00,01,00,00,00", "\xC3\xA9\x01"},
      // Invalid UTF-8 cannot be kept; each bad byte becomes U+FFFD, as a UTF-16 store does.
      {"a\xFF", "\"s\"=hex(1):61,00,fd,ff,00,00", "a\xEF\xBF\xBD"},
  };
  RegistryKey key = Create("Hex");
  for (const Case& c : cases) {
    ASSERT_TRUE(key.WriteString("s", c.written));
    EXPECT_NE(ReadRootFile().find(std::string(c.line) + "\r\n"), std::string::npos)
        << ::testing::PrintToString(c.written) << "\n"
        << ReadRootFile();
    std::string read;
    EXPECT_TRUE(key.ReadString("s", &read));
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(key.Type("s"), ValueKind::kString);
  }
}

TEST_F(RegistryTest, LongHexDataIsWrappedAndReadsBack) {
  std::vector<unsigned char> bytes(200);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<unsigned char>(i * 7);
  RegistryKey key = Create("Long");
  ASSERT_TRUE(key.WriteBinary("blob", bytes.data(), bytes.size()));
  const std::string text = ReadRootFile();
  size_t continued = 0;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string_view line(text.data() + start, end - start);
    EXPECT_LE(line.size(), 80u) << line;
    if (!line.empty() && line.back() == '\\') ++continued;
  }
  EXPECT_GT(continued, 5u);
  std::vector<unsigned char> read(bytes.size());
  ASSERT_TRUE(OpenExisting("Long").ReadBinary("blob", read.data(), read.size()));
  EXPECT_EQ(read, bytes);
}

TEST_F(RegistryTest, HandWrittenFileIsRead) {
  WriteRootFile(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
      "\n"
      "; a comment line\n"
      "[HKEY_LOCAL_MACHINE\\Software\\kvo-test\\Hand]\n"
      "\"OtherRoot\"=dword:00000001\n"
      "\n"
      "  [hkey_current_user\\software\\KVO-TEST\\hand]  \r\n"
      "\"Text\"=\"quoted \\\"x\\\" and \\\\\"\n"
      "   ; indented comment\n"
      "\"Number\"=dword:0000ABCD\n"
      "\"Blob\"=hex:01,02,03,\\\n"
      "  04,05,06,\\\n"
      "\t07,08\n"
      "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\n"
      "\"Short\"=dword:1f\n"
      "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n"
      "@=\"default\"\n"
      "\"Removed\"=\"soon\"\n"
      "\"Removed\"=-\n"
      "[HKEY_CURRENT_USER\\Software\\kvo-test\\Gone\\Below]\n"
      "\"v\"=dword:00000001\n"
      "[-HKEY_CURRENT_USER\\Software\\kvo-test\\Gone]\n");
  RegistryKey key = OpenExisting("Hand");
  std::string text;
  EXPECT_TRUE(key.ReadString("text", &text));
  EXPECT_EQ(text, "quoted \"x\" and \\");
  uint32_t number = 0;
  EXPECT_TRUE(key.ReadDword("NUMBER", &number));
  EXPECT_EQ(number, 0xABCDu);
  EXPECT_TRUE(key.ReadDword("Short", &number));
  EXPECT_EQ(number, 31u);
  unsigned char blob[8] = {};
  const unsigned char expected_blob[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(key.ReadBinary("Blob", blob, sizeof blob));
  EXPECT_EQ(std::memcmp(blob, expected_blob, sizeof blob), 0);
  EXPECT_TRUE(key.ReadString("Lines", &text));
  EXPECT_EQ(text, "a\r\nb");
  EXPECT_EQ(key.Type("Big"), ValueKind::kOther);
  EXPECT_FALSE(key.ReadBinary("Big", blob, sizeof blob));
  EXPECT_TRUE(key.ReadString("", &text));
  EXPECT_EQ(text, "default");
  EXPECT_FALSE(key.ValueExists("Removed"));
  EXPECT_FALSE(key.ValueExists("OtherRoot"));
  RegistryKey gone;
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("Gone"), false, &gone, nullptr));

  // A change keeps what it does not understand, in the editor's spelling.
  ASSERT_TRUE(key.WriteDword("Added", 2));
  const std::string file = ReadRootFile();
  EXPECT_NE(file.find("\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"), std::string::npos) << file;
  EXPECT_EQ(file.find("HKEY_LOCAL_MACHINE"), std::string::npos) << file;
}

TEST_F(RegistryTest, MalformedLinesAreSkippedAndGoodLinesKept) {
  const std::string_view bad_lines[] = {
      "\"Unclosed=dword:00000001",
      "\"X\"=dword:123456789",
      "\"X\"=dword:zz",
      "\"X\"=dword:",
      "\"X\"=hex:1,2,zzz",
      "\"X\"=hex:001",
      "\"X\"=hex(zz):01",
      "\"X\"=hex(1:01",
      "\"X\"=\"no end",
      "\"X\"=\"trailing\" junk",
      "\"X\" dword:00000001",
      "\"X\"=",
      "\"X\"=unknown:1",
      "[HKEY_CURRENT_USER\\Software\\kvo-test\\Broken",
      "[HKEY_CURRENT_USER\\Software\\\\Empty\\Name]",
      "[HKEY_CURRENT_USERS\\Elsewhere]",
      "[]",
      "[",
      "@",
      "=",
      "\"",
      "random text",
      std::string_view("nul\0inside", 10),
      "\"X\"=hex:01,\\",
  };
  const std::string good_key = "[HKEY_CURRENT_USER\\Software\\kvo-test\\Good]\r\n";
  for (std::string_view bad : bad_lines) {
    WriteRootFile("Windows Registry Editor Version 5.00\r\n\r\n" + good_key + "\"A\"=dword:00000001\r\n" +
                  std::string(bad) + "\r\n" + good_key + "\"B\"=\"b\"\r\n");
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Open(kRoot, Below("Good"), false, &key, nullptr)) << bad;
    uint32_t a = 0;
    std::string b;
    EXPECT_TRUE(key.ReadDword("A", &a)) << bad;
    EXPECT_EQ(a, 1u) << bad;
    EXPECT_TRUE(key.ReadString("B", &b)) << bad;
    EXPECT_EQ(b, "b") << bad;
    EXPECT_FALSE(key.ValueExists("X")) << bad;
  }
}

TEST_F(RegistryTest, TruncatedFileKeepsEveryCompleteLine) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\kvo-test\\Cut]\r\n";
  std::vector<size_t> line_ends;  // where each value's line, CR LF included, ends
  for (int i = 0; i < 6; ++i) {
    text += "\"v" + std::to_string(i) + "\"=dword:0000000" + std::to_string(i) + "\r\n";
    line_ends.push_back(text.size());
  }
  for (size_t cut = line_ends.front() - 20; cut <= text.size(); ++cut) {
    WriteRootFile(std::string_view(text).substr(0, cut));
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Open(kRoot, Below("Cut"), false, &key, nullptr)) << cut;
    for (size_t i = 0; i < line_ends.size(); ++i) {
      if (line_ends[i] > cut) break;
      uint32_t read = 99;
      EXPECT_TRUE(key.ReadDword("v" + std::to_string(i), &read)) << "cut at " << cut;
      EXPECT_EQ(read, i);
    }
  }
}

TEST_F(RegistryTest, RandomBytesBeforeAGoodSectionLeaveItReadable) {
  std::mt19937 random(20261208);
  const std::string_view pieces[] = {
      "[",           "]",  "\"",   "=",       "\\",
      "\r",          "\n", "hex:", "hex(1):", "dword:",
      "@",           ",",  ";",    "-",       "HKEY_CURRENT_USER\\Software\\kvo-test\\Good",
      "\xEF\xBB\xBF"};
  for (int round = 0; round < 150; ++round) {
    std::string noise;
    const int length = static_cast<int>(random() % 400);
    for (int i = 0; i < length; ++i) {
      if (random() % 3 == 0) {
        noise += pieces[random() % std::size(pieces)];
      } else {
        noise += static_cast<char>(random() % 256);
      }
    }
    WriteRootFile(noise +
                  "\r\n\r\n[HKEY_CURRENT_USER\\Software\\kvo-test\\Good]\r\n\"A\"=dword:0000002a\r\n");
    RegistryKey key;
    std::string error;
    ASSERT_TRUE(RegistryKey::Open(kRoot, Below("Good"), true, &key, &error)) << error;
    uint32_t read = 0;
    EXPECT_TRUE(key.ReadDword("A", &read)) << "round " << round;
    EXPECT_EQ(read, 42u) << "round " << round;
    // The store still takes changes over whatever the noise held.
    ASSERT_TRUE(key.WriteDword("B", static_cast<uint32_t>(round), &error)) << error;
    EXPECT_TRUE(OpenExisting("Good").ReadDword("B", &read));
    EXPECT_EQ(read, static_cast<uint32_t>(round));
  }
}

TEST_F(RegistryTest, KeyPathsNeverLeaveTheRootFile) {
  const std::string_view names[] = {
      "..",    "..\\..\\..\\escaped", "a/b/../../c", "/leading-slash", ".", std::string_view("nul\0name", 8),
      "x]y[z",
  };
  for (size_t i = 0; i < std::size(names); ++i) {
    RegistryKey key;
    std::string error;
    ASSERT_TRUE(RegistryKey::Open(kRoot, Below("Paths\\" + std::string(names[i])), true, &key, &error))
        << error;
    ASSERT_TRUE(key.WriteDword("index", static_cast<uint32_t>(i)));
  }
  for (size_t i = 0; i < std::size(names); ++i) {
    const std::string name(names[i]);
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Open(kRoot, Below("Paths\\" + name), false, &key, nullptr))
        << ::testing::PrintToString(name);
    uint32_t read = 99;
    EXPECT_TRUE(key.ReadDword("index", &read)) << ::testing::PrintToString(name);
    EXPECT_EQ(read, i) << ::testing::PrintToString(name);
    EXPECT_NE(ReadRootFile().find("\\Paths\\" + std::string(name) + "]\r\n"), std::string::npos);
  }
  std::set<std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch_)) {
    entries.insert(std::filesystem::relative(entry.path(), scratch_).string());
  }
  EXPECT_EQ(entries, (std::set<std::string>{"registry", "registry/HKEY_CURRENT_USER.reg",
                                            "registry/HKEY_CURRENT_USER.lock"}));
}

TEST_F(RegistryTest, NamesWithLineBreaksAreRefused) {
  RegistryKey key;
  std::string error;
  EXPECT_FALSE(RegistryKey::Open(kRoot, Below("two\nlines"), true, &key, &error));
  EXPECT_FALSE(error.empty());
  key = Create("Names");
  EXPECT_FALSE(key.WriteDword("two\r\nlines", 1, &error));
  EXPECT_FALSE(key.ValueExists("two\r\nlines"));
}

// Ways a root's file cannot be written, each set up on a scratch folder for HKEY_LOCAL_MACHINE.
TEST_F(RegistryTest, RootThatCannotBeWrittenIsNotOpenedAndTheSecondServes) {
  struct Case {
    const char* name;
    bool (*prepare)(const std::filesystem::path& folder, const std::filesystem::path& machine_file);
    bool needs_permissions;   // the superuser passes permission checks
    bool second_root_serves;  // HKEY_CURRENT_USER, in the same folder, can still be written
  };
  const Case cases[] = {
      {"root file is a folder",
       [](const std::filesystem::path&, const std::filesystem::path& file) {
         return std::filesystem::create_directories(file);
       },
       false, true},
      {"folder cannot be created",
       [](const std::filesystem::path& folder, const std::filesystem::path&) {
         std::ofstream(folder.parent_path() / "plain-file") << "x";
         return ::setenv("KVO_REGISTRY_DIR", (folder.parent_path() / "plain-file" / "sub").c_str(), 1) == 0;
       },
       false, false},
      {"root file is read-only",
       [](const std::filesystem::path&, const std::filesystem::path& file) {
         std::ofstream(file) << "Windows Registry Editor Version 5.00\r\n\r\n";
         return ::chmod(file.c_str(), 0444) == 0;
       },
       true, true},
      {"folder is read-only",
       [](const std::filesystem::path& folder, const std::filesystem::path&) {
         return ::chmod(folder.c_str(), 0555) == 0;
       },
       true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_permissions && ::geteuid() == 0) continue;
    TearDown();
    SetUp();
    std::filesystem::create_directories(folder_);
    ASSERT_TRUE(c.prepare(folder_, RootFile(RegistryRoot::kLocalMachine)));
    RegistryKey key;
    std::string error;
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::kLocalMachine, Below(""), true, &key, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::kLocalMachine, "", false, &key, &error));
    EXPECT_FALSE(key.IsOpen());
    if (c.second_root_serves) {
      RegistryRoot used = RegistryRoot::kNone;
      ASSERT_TRUE(RegistryKey::OpenWithFallback(RegistryRoot::kLocalMachine, RegistryRoot::kCurrentUser,
                                                Below(""), true, &key, &used, &error))
          << error;
      EXPECT_EQ(used, RegistryRoot::kCurrentUser);
      EXPECT_TRUE(key.WriteDword("served", 1));
    }
  }
}

TEST_F(RegistryTest, RootFilesLiveInTheConfiguredFolders) {
  std::string file;
  std::string error;
  ASSERT_TRUE(RegistryRootFile(RegistryRoot::kLocalMachine, &file, &error)) << error;
  EXPECT_EQ(file, (folder_ / "HKEY_LOCAL_MACHINE.reg").string());

  ::unsetenv("KVO_REGISTRY_DIR");
  const std::filesystem::path config = scratch_ / "config";
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config.c_str(), 1), 0);
  ASSERT_TRUE(RegistryRootFile(RegistryRoot::kCurrentUser, &file, &error)) << error;
  EXPECT_EQ(file, (config / "kvo" / "registry" / "HKEY_CURRENT_USER.reg").string());
  ASSERT_TRUE(RegistryRootFile(RegistryRoot::kLocalMachine, &file, &error)) << error;
  EXPECT_EQ(file, "/var/lib/kvo/registry/HKEY_LOCAL_MACHINE.reg");
  {
    RegistryKey key = Create("Placed");
    ASSERT_TRUE(key.WriteDword("v", 1));
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(config / "kvo" / "registry" / "HKEY_CURRENT_USER.reg"));

  const char* home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  ::unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(::setenv("HOME", scratch_.c_str(), 1), 0);
  ASSERT_TRUE(RegistryRootFile(RegistryRoot::kCurrentUser, &file, &error)) << error;
  EXPECT_EQ(file, (scratch_ / ".config" / "kvo" / "registry" / "HKEY_CURRENT_USER.reg").string());
  ::unsetenv("HOME");
  EXPECT_FALSE(RegistryRootFile(RegistryRoot::kCurrentUser, &file, &error));
  EXPECT_FALSE(error.empty());
  if (home) ::setenv("HOME", saved_home.c_str(), 1);
}

constexpr int kKeysPerWriter = 200;

// Creates kKeysPerWriter keys, each with a value naming its writer; the count of failures.
int WriteManyKeys(int writer) {
  int failures = 0;
  for (int i = 0; i < kKeysPerWriter; ++i) {
    RegistryKey key;
    const std::string path = Below("Writer" + std::to_string(writer) + "\\Key" + std::to_string(i));
    if (!RegistryKey::Open(kRoot, path, true, &key, nullptr) ||
        !key.WriteDword("n", static_cast<uint32_t>(writer * 1000 + i))) {
      ++failures;
    }
  }
  return failures;
}

// Every key with its value in the file's text; a sample also through the store, which reads slower.
void ExpectEveryKey(int writers, const std::string& file_text) {
  for (int writer = 0; writer < writers; ++writer) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
      const std::string name = "Writer" + std::to_string(writer) + "\\Key" + std::to_string(i);
      char value[16];
      std::snprintf(value, sizeof value, "%08x", static_cast<unsigned>(writer * 1000 + i));
      EXPECT_NE(file_text.find("[HKEY_CURRENT_USER\\" + Below(name) + "]\r\n\"n\"=dword:" + value + "\r\n"),
                std::string::npos)
          << name;
      if (i % 25 != 0) continue;
      RegistryKey key;
      ASSERT_TRUE(RegistryKey::Open(kRoot, Below(name), false, &key, nullptr)) << name;
      uint32_t read = 0;
      EXPECT_TRUE(key.ReadDword("n", &read)) << name;
      EXPECT_EQ(read, static_cast<uint32_t>(writer * 1000 + i)) << name;
    }
  }
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNoKeys) {
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = ::fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      ::close(start[1]);
      char go;
      // Both wait here until the parent closes the pipe, so their writes overlap.
      const bool started = ::read(start[0], &go, 1) == 0;
      ::_exit(started ? std::min(WriteManyKeys(writer), 100) : 101);
    }
  }
  ::close(start[0]);
  ::close(start[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in one process";
  }
  ExpectEveryKey(2, ReadRootFile());
}

TEST_F(RegistryTest, TwoThreadsWritingAtOnceLoseNoKeys) {
  int failures[2] = {};
  std::thread first([&] { failures[0] = WriteManyKeys(0); });
  std::thread second([&] { failures[1] = WriteManyKeys(1); });
  first.join();
  second.join();
  EXPECT_EQ(failures[0], 0);
  EXPECT_EQ(failures[1], 0);
  ExpectEveryKey(2, ReadRootFile());
}
#endif

}  // namespace
}  // namespace kvo::platform
