// The --plot picture: for each watched variable of the settings, its input values as a line and the values
// that passed as points, against the row number, one panel per variable, titled with the variable's
// deadband and how many of its values were kept. Only numeric values are drawn.
//
// Thread contract: used by one thread. The recorder keeps every numeric value of the watched variables, so
// its memory grows with the input (only when a plot is asked for).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/cli/block.h"
#include "host/cli/filter_settings.h"

namespace kvo::host {

class PlotRecorder {
 public:
  explicit PlotRecorder(const FilterSettings& settings);

  // Notes the watched values of the block's rows, numbered from `first_row` (1-based).
  void Record(const Block& block, const std::vector<std::string>& columns, bool passed, int64_t first_row);
  // The picture as an SVG document.
  std::string Svg() const;
  std::size_t SeriesCount() const { return series_.size(); }

 private:
  struct Series {
    std::string name;
    std::string key;  // lower case, for matching column names
    int32_t type = 0;
    double band = 0;
    int64_t values = 0;
    int64_t kept_values = 0;
    std::vector<std::pair<int64_t, double>> all;
    std::vector<std::pair<int64_t, double>> kept;
  };
  int32_t SeriesOf(int32_t column, const std::vector<std::string>& columns);

  std::vector<Series> series_;
  std::vector<int32_t> column_series_;  // per column: the series index, -1 none, -2 not looked up yet
};

}  // namespace kvo::host
