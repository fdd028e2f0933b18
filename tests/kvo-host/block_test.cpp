// Blocks: where they end, and the parameter list that carries them, reused from block to block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvo-host/block.h"
#include "kvo-host/csv_reader.h"
#include "kvo-host/params_block.h"
#include "kvo-host/reader_test_support.h"

namespace kvo::host {
namespace {

// Splits the rows of `csv` into blocks as kvo-host does; each block is its rows' first fields, joined.
std::vector<std::string> BlocksOf(const std::string& csv, int32_t rows, const std::string& by) {
  CsvReader reader("in.csv", testing::ReadFrom(csv, 4096));
  Blocker blocker(rows, by);
  Block block;
  std::vector<std::string> blocks;
  auto flush = [&] {
    if (block.Empty()) return;
    std::string text;
    for (int32_t r = 0; r < block.RowCount(); ++r)
      text += std::string(block.Value(block.Fields()[block.RowBegin(r)]).text);
    blocks.push_back(text);
    block.Clear();
  };
  Record record;
  while (reader.Next(record)) {
    if (blocker.StartsNewBlock(block, record, reader.Columns())) flush();
    if (block.Empty()) blocker.Remember(record, reader.Columns());
    block.Add(record);
    if (blocker.IsComplete(block)) flush();
  }
  flush();
  return blocks;
}

struct BlockCase {
  const char* name;
  int32_t rows;
  const char* by;
  std::vector<std::string> blocks;
};

class Blocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(Blocks, EndWhereTheRuleSays) {
  const BlockCase& c = GetParam();
  const std::string csv = "id,t,v\na,1,x\nb,1,y\nc,2,z\nd,2,\ne,1,w\nf,,v\ng,,v\n";
  EXPECT_EQ(BlocksOf(csv, c.rows, c.by), c.blocks) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Blocks,
    ::testing::Values(BlockCase{"one row each", 1, "", {"a", "b", "c", "d", "e", "f", "g"}},
                      BlockCase{"three rows", 3, "", {"abc", "def", "g"}},
                      BlockCase{"by t", 1, "t", {"ab", "cd", "e", "fg"}},
                      BlockCase{"by v (null is its own value)", 1, "v", {"a", "b", "c", "d", "e", "fg"}},
                      BlockCase{"by a missing column", 1, "nope", {"abcdefg"}}));

TEST(ParamsBlock, HoldsEachRowClosedByTheMarker) {
  CsvReader reader("in.csv", testing::ReadFrom("t,s\n1.5,ok\n,x\n", 4096));
  Block block;
  Record record;
  while (reader.Next(record))
    block.Add(record);
  ParamsBlock params;
  params.Fill(block, reader.Columns());
  TParamsList* list = params.List();
  ASSERT_EQ(kvo_params_count(list), 6);
  const std::vector<std::string> names = {"t", "s", "$NEW_ROW$", "t", "s", "$NEW_ROW$"};
  const std::vector<uint16_t> types = {KVO_VT_R8,   KVO_VT_BSTR, KVO_VT_NULL,
                                       KVO_VT_NULL, KVO_VT_BSTR, KVO_VT_NULL};
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(kvo_params_name(list, i), names[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(kvo_params_type(list, i), types[static_cast<std::size_t>(i)]) << i;
  }
}

TEST(ParamsBlock, ReusesElementsWhileTheLayoutHolds) {
  ParamsBlock params;
  CsvReader reader("in.csv", testing::ReadFrom("t,s\n1,a\n2,b\n3,c\n", 4096));
  Record record;
  Block block;
  ASSERT_TRUE(reader.Next(record));
  block.Add(record);
  params.Fill(block, reader.Columns());
  const char* first_name = kvo_params_name(params.List(), 0);
  block.Clear();
  ASSERT_TRUE(reader.Next(record));
  block.Add(record);
  params.Fill(block, reader.Columns());
  EXPECT_EQ(kvo_params_name(params.List(), 0), first_name);  // the same element, a new value
  int32_t value = 0;
  ASSERT_EQ(kvo_params_int(params.List(), 0, &value), 1);
  EXPECT_EQ(value, 2);
  // A longer block extends the list; a shorter one after it is rebuilt to its exact length.
  ASSERT_TRUE(reader.Next(record));
  block.Add(record);
  params.Fill(block, reader.Columns());
  EXPECT_EQ(kvo_params_count(params.List()), 6);
  block.Clear();
  block.Add(record);
  params.Fill(block, reader.Columns());
  EXPECT_EQ(kvo_params_count(params.List()), 3);
  ASSERT_EQ(kvo_params_int(params.List(), 0, &value), 1);
  EXPECT_EQ(value, 3);
}

}  // namespace
}  // namespace kvo::host
