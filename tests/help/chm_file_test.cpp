// The built help file, read back with chmlib: its context map leads the dialog's context to the
// dialog's topic, it names topics without paths, every topic it names is inside it, and it carries no
// path of the build machine.
#include <chm_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ChmCloser {
  void operator()(chmFile* file) const { chm_close(file); }
};
using ChmHandle = std::unique_ptr<chmFile, ChmCloser>;

class ChmFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.reset(chm_open(KVO_HELP_FILE));
    ASSERT_NE(file_, nullptr) << KVO_HELP_FILE;
  }

  bool Has(const std::string& path) {
    chmUnitInfo unit{};
    return chm_resolve_object(file_.get(), path.c_str(), &unit) == CHM_RESOLVE_SUCCESS;
  }

  std::string Read(const std::string& path) {
    chmUnitInfo unit{};
    if (chm_resolve_object(file_.get(), path.c_str(), &unit) != CHM_RESOLVE_SUCCESS) return {};
    std::string data(static_cast<size_t>(unit.length), '\0');
    const LONGINT64 got = chm_retrieve_object(file_.get(), &unit,
                                              reinterpret_cast<unsigned char*>(data.data()), 0, unit.length);
    data.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return data;
  }

  static uint32_t Dword(const std::string& data, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<size_t>(i)]);
    return v;
  }

  // Context number -> topic name, from #IVB (size, then pairs of number and #STRINGS offset).
  std::map<uint32_t, std::string> ContextMap() {
    const std::string ivb = Read("/#IVB");
    const std::string strings = Read("/#STRINGS");
    std::map<uint32_t, std::string> map;
    if (ivb.size() < 4) return map;
    const size_t size = Dword(ivb, 0);
    EXPECT_EQ(size + 4, ivb.size());
    for (size_t at = 4; at + 8 <= ivb.size(); at += 8) {
      const size_t offset = Dword(ivb, at + 4);
      EXPECT_LT(offset, strings.size());
      if (offset < strings.size()) map[Dword(ivb, at)] = std::string(strings.c_str() + offset);
    }
    return map;
  }

  ChmHandle file_;
};

TEST_F(ChmFileTest, TheDialogsContextLeadsToTheOptionsTopic) {
  const std::map<uint32_t, std::string> map = ContextMap();
  ASSERT_EQ(map.count(80), 1u);
  EXPECT_EQ(map.at(80), "options.html");
  const std::string page = Read("/options.html");
  EXPECT_NE(page.find("<title>The options dialog</title>"), std::string::npos);
}

TEST_F(ChmFileTest, EveryMappedTopicIsAPlainNameInsideTheFile) {
  const std::map<uint32_t, std::string> map = ContextMap();
  ASSERT_GE(map.size(), 2u);
  for (const auto& [context, topic] : map) {
    EXPECT_EQ(topic.find_first_of("/\\:"), std::string::npos) << context << " " << topic;
    EXPECT_TRUE(Has("/" + topic)) << context << " " << topic;
  }
}

TEST_F(ChmFileTest, EveryContentsAndIndexEntryIsInsideTheFile) {
  for (const char* sitemap : {"/toc.hhc", "/index.hhk"}) {
    const std::string text = Read(sitemap);
    ASSERT_FALSE(text.empty()) << sitemap;
    const std::string marker = "name=\"Local\" value=\"";
    int entries = 0;
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
      const size_t start = at + marker.size();
      const std::string local = text.substr(start, text.find('"', start) - start);
      EXPECT_TRUE(Has("/" + local)) << sitemap << " " << local;
      ++entries;
    }
    EXPECT_GE(entries, 7) << sitemap;
  }
}

int CollectName(chmFile* /*file*/, chmUnitInfo* unit, void* context) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(unit->path);
  return CHM_ENUMERATOR_CONTINUE;
}

TEST_F(ChmFileTest, NoPathOfTheBuildMachineIsInside) {
  std::vector<std::string> names;
  ASSERT_NE(chm_enumerate(file_.get(), CHM_ENUMERATE_ALL, &CollectName, &names), 0);
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    const std::string data = Read(name);
    EXPECT_EQ(data.find(KVO_SOURCE_DIR), std::string::npos) << name;
    EXPECT_EQ(data.find(KVO_BINARY_DIR), std::string::npos) << name;
  }
}

}  // namespace
