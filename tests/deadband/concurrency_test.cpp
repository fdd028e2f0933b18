// Several host threads filtering through one filter at once: the item lock serialises whole blocks.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband_test_support.h"

namespace kvo {
namespace {

using testing::FakeTickSource;
using testing::IsWholeCopy;

constexpr int kThreads = 4;
constexpr int kBlocksPerThread = 600;
constexpr int kCountBand = 3;

// A block of its own per thread: the watched variable, a few values and a closing marker.
std::unique_ptr<TParamsList> ThreadBlock(int thread) {
  auto block = std::make_unique<TParamsList>();
  block->Add("Counter", Variant::FromInt(thread));
  for (int i = 0; i < 6; ++i)
    block->Add("v" + std::to_string(i), Variant::FromText(std::to_string(thread * 10 + i)));
  block->NewRow();
  return block;
}

DeadbandFilter& CountingFilter(FakeTickSource& ticks, std::unique_ptr<DeadbandFilter>& holder) {
  holder = std::make_unique<DeadbandFilter>(ticks);
  MemoryDeadbandSettings settings;
  settings.SetSlot(1, "counter", 3, kCountBand);
  holder->BuildItems(settings);
  return *holder;
}

TEST(DeadbandConcurrency, EveryCountLimitPassIsSeenOnceAndWhole) {
  FakeTickSource ticks;
  std::unique_ptr<DeadbandFilter> holder;
  DeadbandFilter& filter = CountingFilter(ticks, holder);
  std::atomic<int> passes{0};
  std::atomic<int> broken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::unique_ptr<TParamsList> block = ThreadBlock(t);
      TRowsParamsList rows;
      for (int i = 0; i < kBlocksPerThread; ++i) {
        filter.ProcessData(block.get(), &rows);
        if (rows.Count() == 0) continue;
        passes.fetch_add(1);
        if (!IsWholeCopy(rows, *block)) broken.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  // Serialised, the occurrences are counted one after another whatever the interleaving.
  EXPECT_EQ(passes.load(), kThreads * kBlocksPerThread / kCountBand);
  EXPECT_EQ(broken.load(), 0);
}

TEST(DeadbandConcurrency, SharedResultRowsEndAsOneWholeBlock) {
  FakeTickSource ticks;
  std::unique_ptr<DeadbandFilter> holder;
  DeadbandFilter& filter = CountingFilter(ticks, holder);
  TRowsParamsList shared_rows;
  std::vector<std::unique_ptr<TParamsList>> blocks;
  for (int t = 0; t < kThreads; ++t)
    blocks.push_back(ThreadBlock(t));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kBlocksPerThread; ++i)
        filter.ProcessData(blocks[t].get(), &shared_rows);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  // 2400 occurrences with a band of 3: the very last block passed, so the rows hold one whole block.
  ASSERT_GT(shared_rows.Count(), 0);
  const int32_t owner = shared_rows.Element(0)->Value().ToInt();
  ASSERT_TRUE(owner >= 0 && owner < kThreads) << owner;
  EXPECT_TRUE(IsWholeCopy(shared_rows, *blocks[owner]));
}

TEST(DeadbandConcurrency, RebuildingWhileFilteringKeepsItemsWhole) {
  FakeTickSource ticks;
  DeadbandFilter filter(ticks);
  MemoryDeadbandSettings settings;
  settings.SetRelationshipIndex(1);
  settings.SetSlot(1, "counter", 3, 1);
  filter.BuildItems(settings);  // items exist from the start, but for the moments inside a rebuild
  std::atomic<bool> stop{false};
  std::atomic<int> passes{0};
  std::atomic<int> broken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      const std::unique_ptr<TParamsList> block = ThreadBlock(t);
      TRowsParamsList rows;
      for (int i = 0; !stop.load() || i < 200; ++i) {
        filter.ProcessData(block.get(), &rows);
        if (rows.Count() == 0) continue;
        passes.fetch_add(1);
        if (!IsWholeCopy(rows, *block)) broken.fetch_add(1);
      }
    });
  }
  for (int i = 0; i < 300; ++i)
    filter.BuildItems(settings);
  stop.store(true);
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_GT(passes.load(), 0);
  EXPECT_EQ(broken.load(), 0);
  EXPECT_EQ(filter.ItemCount(), 1u);
}

}  // namespace
}  // namespace kvo
