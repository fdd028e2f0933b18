// Module instances by key, with the real deadband module: each key filters on its own, and the key past
// the limit is refused by name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "kvo-host/block.h"
#include "kvo-host/keyed_instances.h"
#include "kvo-host/params_block.h"

namespace kvo::host {
namespace {

class KeyedInstancesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = std::filesystem::temp_directory_path() / ("kvo-keyed-" + std::to_string(getpid()) + ".ini");
    std::ofstream(ini_) << "[Common]\r\nVar1=v\r\nType1=0\r\nVal1=0.5\r\n";
    load_.ini_file = ini_.string();
  }
  void TearDown() override { std::filesystem::remove(ini_); }

  // Whether the one-row block v=`value` passes through `key`'s instance.
  bool Passes(KeyedInstances& instances, const std::string& key, double value) {
    Record record;
    record.fields.push_back(Field{0, FieldValue{ValueKind::kDouble, 0, value, {}}});
    Block block;
    block.Add(record);
    params_.Fill(block, columns_);
    TParamsList* rows = nullptr;
    EXPECT_GE(instances.Session(instances.Find(key)).Process(params_.List(), &rows), 0);
    return rows != nullptr && kvo_params_count(rows) > 0;
  }

  PluginModule module_{KVO_DEADBAND_MODULE_PATH};
  std::filesystem::path ini_;
  LoadOptions load_;
  ParamsBlock params_;
  std::vector<std::string> columns_{"v"};
};

TEST_F(KeyedInstancesTest, EachKeyIsFilteredByItsOwnLoadedInstance) {
  KeyedInstances instances(module_, load_, 10);
  instances.SetItems("1|v|Float|");
  EXPECT_TRUE(Passes(instances, "a", 20.0));
  // A new key starts from its own first value; one band of the loaded settings is 0.5.
  EXPECT_TRUE(Passes(instances, "b", 20.2));
  EXPECT_FALSE(Passes(instances, "a", 20.2));
  EXPECT_FALSE(Passes(instances, "b", 20.6));
  EXPECT_TRUE(Passes(instances, "a", 20.6));
  EXPECT_EQ(instances.Count(), 2);
  EXPECT_EQ(instances.Find("b"), 1);
  EXPECT_EQ(instances.KeyOf(0), "a");
}

TEST_F(KeyedInstancesTest, EveryKeyIsFoundAgainAsTheIndexGrows) {
  KeyedInstances instances(module_, load_, 1000);
  instances.SetItems("1|v|Float|");
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(instances.Find("k" + std::to_string(i)), i);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(instances.Find("k" + std::to_string(i)), i);
  EXPECT_EQ(instances.Count(), 100);
}

TEST_F(KeyedInstancesTest, TheKeyPastTheLimitIsRefusedNamingTheLimit) {
  KeyedInstances instances(module_, load_, 2);
  instances.SetItems("1|v|Float|");
  instances.Find("a");
  instances.Find("b");
  try {
    instances.Find("c");
    ADD_FAILURE() << "a third key was made";
  } catch (const KeyLimitError& e) {
    EXPECT_STREQ(e.what(), "key \"c\" is one more than --max-keys 2 allows");
  }
  EXPECT_EQ(instances.Count(), 2);
  EXPECT_TRUE(Passes(instances, "b", 1.0));
}

}  // namespace
}  // namespace kvo::host
