// The --stats summary and the terminal's progress line, with a clock the test moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvo-host/log_reader.h"
#include "kvo-host/run_stats.h"

namespace kvo::host {
namespace {

TEST(RunStats, SummaryCountsReductionAndSpeed) {
  RunCounts counts;
  counts.blocks_read = 10;
  counts.rows_read = 40;
  counts.blocks_passed = 3;
  counts.rows_passed = 10;
  EXPECT_EQ(SummaryText(counts, 2.0),
            "blocks: 10 read, 3 passed, 7 dropped\n"
            "rows:   40 read, 10 passed, 30 dropped\n"
            "reduction: 75.0%\n"
            "speed: 20 rows/s (2.000 s)\n");
}

class Progress : public ::testing::Test {
 protected:
  void Rows(ProgressLine& line, int count, uint64_t bytes, int64_t total) {
    for (int i = 0; i < count; ++i)
      line.Update(bytes, total, rows_ += 1);
  }
  double now_ = 100.0;
  int64_t rows_ = 0;
  std::vector<std::string> drawn_;
};

TEST_F(Progress, DrawsAtMostOncePerIntervalAndClearsAtTheEnd) {
  ProgressLine line([this] { return now_; }, [this](std::string_view text) { drawn_.emplace_back(text); },
                    0.25);
  Rows(line, ProgressLine::kCheckEvery, 1000000, 4000000);
  EXPECT_TRUE(drawn_.empty());  // no time has passed
  now_ += 1.0;
  Rows(line, ProgressLine::kCheckEvery, 2000000, 4000000);
  ASSERT_EQ(drawn_.size(), 1u);
  EXPECT_EQ(drawn_[0], "\r2.0 of 4.0 MB (50%), 8192 rows/s");
  now_ += 0.1;  // within the interval: nothing new
  Rows(line, ProgressLine::kCheckEvery, 3000000, 4000000);
  EXPECT_EQ(drawn_.size(), 1u);
  line.Clear();
  ASSERT_EQ(drawn_.size(), 2u);
  EXPECT_EQ(drawn_[1], "\r" + std::string(drawn_[0].size() - 1, ' ') + "\r");
  line.Clear();  // nothing left to clear
  EXPECT_EQ(drawn_.size(), 2u);
}

TEST_F(Progress, UnknownTotalShowsBytesOnly) {
  ProgressLine line([this] { return now_; }, [this](std::string_view text) { drawn_.emplace_back(text); },
                    0.25);
  now_ += 2.0;
  Rows(line, ProgressLine::kCheckEvery, 500000, -1);
  ASSERT_EQ(drawn_.size(), 1u);
  EXPECT_EQ(drawn_[0], "\r0.5 MB, 2048 rows/s");
}

TEST(LogLines, SplitAtLineEndsWithoutEmptyLines) {
  std::vector<std::string> lines;
  LogReader::ForEachLine("Deadband. a {2 time(s)}||1\r\n\r\nDeadband. b||2",
                         [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (std::vector<std::string>{"Deadband. a {2 time(s)}||1", "Deadband. b||2"}));
}

}  // namespace
}  // namespace kvo::host
