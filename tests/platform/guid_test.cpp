// Tests of GUID text.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "platform/guid.h"

namespace kvo::platform {
namespace {

TEST(Guid, TextIsUpperCaseVersion4InBraces) {
  static const std::regex kForm("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  for (int i = 0; i < 50; ++i) {
    const std::string text = NewGuidText();
    EXPECT_EQ(text.size(), 38u);
    EXPECT_TRUE(std::regex_match(text, kForm)) << text;
  }
}

TEST(Guid, EachCallGivesANewValue) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    seen.insert(NewGuidText());
  }
  EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace kvo::platform
