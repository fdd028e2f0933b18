// Shared helpers of the deadband filter tests: a hand-driven tick counter, blocks and result checks.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "deadband/deadband_filter.h"
#include "deadband/deadband_settings.h"
#include "params/params_list.h"

namespace kvo::testing {

// Time stands still until a test moves it (or sets a step by which each reading moves it on); every
// reading is counted.
class FakeTickSource final : public TickSource {
 public:
  explicit FakeTickSource(uint32_t start = 1000) : now_(start) {}
  uint32_t Now() override {
    reads_.fetch_add(1, std::memory_order_relaxed);
    return now_.fetch_add(step_.load(std::memory_order_relaxed), std::memory_order_relaxed);
  }
  void Set(uint32_t now) { now_.store(now, std::memory_order_relaxed); }
  void SetStep(uint32_t ms) { step_.store(ms, std::memory_order_relaxed); }
  void Advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }
  int Reads() const { return reads_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint32_t> step_{0};
  std::atomic<int> reads_{0};
};

using Entry = std::pair<std::string, Variant>;

inline void Fill(TParamsList& list, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    if (entry.first == kNewRowMarker) {
      list.NewRow();
    } else {
      list.Add(entry.first, entry.second);
    }
  }
}

inline Entry Marker() {
  return {std::string(kNewRowMarker), Variant::Null()};
}

// Same kind, and the same text for kinds that have one.
inline bool SameValue(const Variant& a, const Variant& b) {
  return a.type() == b.type() && (IsMissing(a) || a.ToText() == b.ToText());
}

// The result holds every element of the block in order, then a marker only when the block lacks one.
inline ::testing::AssertionResult IsWholeCopy(const TParamsList& result, const TParamsList& block) {
  const bool closed = block.Count() > 0 && block.Element(block.Count() - 1)->IsRowMarker();
  const int32_t expected = block.Count() + (closed ? 0 : 1);
  if (result.Count() != expected) {
    return ::testing::AssertionFailure() << "count " << result.Count() << ", expected " << expected;
  }
  for (int32_t i = 0; i < block.Count(); ++i) {
    const TParamsListElement* got = result.Element(i);
    const TParamsListElement* want = block.Element(i);
    if (got == want || got->Name() != want->Name() || !SameValue(got->Value(), want->Value())) {
      return ::testing::AssertionFailure() << "element " << i << " differs (or is shared)";
    }
  }
  if (!closed && !result.Element(expected - 1)->IsRowMarker()) {
    return ::testing::AssertionFailure() << "no closing marker";
  }
  return ::testing::AssertionSuccess();
}

// One filter with its clock and result rows; Feed processes a block and says whether it passed.
struct Harness {
  FakeTickSource ticks;
  DeadbandFilter filter{ticks};
  TRowsParamsList rows;

  void Build(const MemoryDeadbandSettings& settings) { filter.BuildItems(settings); }
  // A single item watching `name`, relationship AND.
  void BuildOne(std::string_view name, TDeadBandType type, double band) {
    MemoryDeadbandSettings settings;
    settings.SetSlot(1, name, static_cast<int32_t>(type), band);
    Build(settings);
  }
  bool Feed(const std::vector<Entry>& entries) {
    TParamsList block;
    Fill(block, entries);
    EXPECT_EQ(filter.ProcessData(&block, &rows), 0);
    if (rows.Count() == 0) return false;
    EXPECT_TRUE(IsWholeCopy(rows, block));
    return true;
  }
  bool Feed(std::string_view name, const Variant& value) { return Feed({{std::string(name), value}}); }
  TDeadBandListItem Item(size_t index) const { return filter.Items().at(index); }
};

}  // namespace kvo::testing
