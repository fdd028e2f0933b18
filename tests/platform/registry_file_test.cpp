// The registry file format on its own: what a text reads as, and what a hive writes as.
#include "platform/registry_file.h"

#include <gtest/gtest.h>

namespace kvo::platform::registry_file {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

std::string Rewritten(std::string_view text) {
  Hive hive;
  ReadHive(text, kRoot, &hive);
  return WriteHive(hive, kRoot);
}

struct ReadCase {
  const char* what;
  std::string_view text;
  std::string_view written;  // after the version line and its blank line
};

// Each hand-written input, read and written back, is the canonical text of what it holds.
TEST(RegistryFile, HandWrittenTextReadsAsTheEditorWouldImportIt) {
  const ReadCase cases[] = {
      {"LF line ends, a byte order mark, blanks and another root's key",
       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n  [HKEY_CURRENT_USER\\A]  \n\"x\" = "
       "dword:0000001f\n"
       "[HKEY_LOCAL_MACHINE\\B]\n\"y\"=\"no\"\n",
       "[HKEY_CURRENT_USER\\A]\r\n\"x\"=dword:0000001f\r\n\r\n"},
      {"keys differing in letter case are one key, spelled as first seen; a later value replaces; parents "
       "are "
       "written",
       "[HKEY_CURRENT_USER\\Soft\\Kvo]\n\"v\"=\"1\"\n[hkey_current_user\\SOFT\\KVO]\n\"V\"=\"2\"\n",
       "[HKEY_CURRENT_USER\\Soft]\r\n\r\n[HKEY_CURRENT_USER\\Soft\\Kvo]\r\n\"v\"=\"2\"\r\n\r\n"},
      {"removals: a key with its tree, and one value",
       "[HKEY_CURRENT_USER\\A\\B]\n\"b\"=\"1\"\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"1\"\n\"c\"=\"2\"\n"
       "[-HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A]\n\"c\"=-\n",
       "[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"1\"\r\n\r\n"},
      {"bad lines are skipped, good ones kept",
       "[HKEY_CURRENT_USER\\A]\n\"d\"=dword:xyz\n\"h\"=hex:zz\n\"open=\"1\"\nstray\n\"ok\"=\"1\"\n"
       "[HKEY_CURRENT_USER\\A\\\\B]\n\"lost\"=\"1\"\n",
       "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=\"1\"\r\n\r\n"},
      {"continued hex lines are one value; quotes and backslashes escaped",
       "[HKEY_CURRENT_USER\\A]\n\"b\"=hex:01,02,\\\n  03\n@=\"say \\\"hi\\\" C:\\\\x\"\n",
       "[HKEY_CURRENT_USER\\A]\r\n\"b\"=hex:01,02,03\r\n@=\"say \\\"hi\\\" C:\\\\x\"\r\n\r\n"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(Rewritten(c.text), "Windows Registry Editor Version 5.00\r\n\r\n" + std::string(c.written))
        << c.what;
  }
}

// Every kind of value the store writes reads back as it was, and a second rewrite changes nothing.
TEST(RegistryFile, EveryValueKindRoundTrips) {
  Hive hive;
  Key& key = EnsureKey(hive, {"Software", "Kvo"});
  key.values = {{"text", kTypeString, "plain ä"},
                {"tab", kTypeString, "a\tb"},  // not a plain string: written as UTF-16 hex
                {"", kTypeString, "default"},
                {"n", kTypeDword, std::string("\x78\x56\x34\x12", 4)},
                {"bin", kTypeBinary, std::string(100, '\x5a')},  // wraps over several lines
                {"multi", 7, std::string("a\0b\0\0", 5)}};
  const std::string text = WriteHive(hive, kRoot);
  Hive back;
  ReadHive(text, kRoot, &back);
  const Key* read = FindKey(back, {"software", "KVO"});
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->values.size(), key.values.size());
  for (size_t i = 0; i < key.values.size(); ++i) {
    EXPECT_EQ(read->values[i].name, key.values[i].name);
    EXPECT_EQ(read->values[i].type, key.values[i].type) << key.values[i].name;
    EXPECT_EQ(read->values[i].data, key.values[i].data) << key.values[i].name;
  }
  EXPECT_NE(text.find("\"n\"=dword:12345678"), std::string::npos);
  EXPECT_NE(text.find("\"tab\"=hex(1):61,00,09,00,62,00,00,00"), std::string::npos);
  EXPECT_EQ(WriteHive(back, kRoot), text);
}

}  // namespace
}  // namespace kvo::platform::registry_file
