// The --plot picture: for each watched variable of the settings, its input values as a line and the values
// that passed as points, one panel per variable, titled with the variable's deadband and how many of its
// values with a measure were kept. Only numeric values are drawn, against the time column when there is
// one (named so, chosen, or holding dates) and else the row number; long inputs are thinned to each pixel
// column's lowest and highest value, points as well as the line. With one filter per key, each key has
// its own recorder, and their panels are drawn one below the other, titled with the key.
//
// Thread contract: used by one thread. The recorder keeps every numeric value of the watched variables, so
// its memory grows with the input (only when a plot is asked for).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kvo-host/block.h"
#include "kvo-host/filter_settings.h"

namespace kvo::host {

class PlotRecorder {
 public:
  explicit PlotRecorder(const FilterSettings& settings);

  // Picks the x axis from the columns and a first row: `wanted` (a column name, letter case ignored), or a
  // column named as a time ("time", "timestamp", "date", ...) with a number or date there, or the first
  // column holding a date ("2024-05-19", "2024-05-19T08:30:00Z"); else the row number. False when
  // `wanted` names no column.
  bool ChooseX(const std::vector<std::string>& columns, const host::Record& first, const std::string& wanted);
  // Notes the watched values of the block's rows, numbered from `first_row` (1-based).
  void Record(const Block& block, const std::vector<std::string>& columns, bool passed, int64_t first_row);
  // The picture as an SVG document (sorts the values by x first).
  std::string Svg() { return Svg({this}, "No watched variables in the settings."); }
  // The panels of several recorders in one picture; `empty` is its text when there is no panel.
  static std::string Svg(const std::vector<PlotRecorder*>& recorders, const std::string& empty);
  // Put before each panel's title, e.g. the panel's key.
  void SetTitlePrefix(std::string prefix) { title_prefix_ = std::move(prefix); }
  std::size_t SeriesCount() const { return series_.size(); }

 private:
  struct Series {
    std::string name;
    std::string key;  // lower case, for matching column names
    int32_t type = 0;
    double band = 0;
    int64_t values = 0;
    int64_t kept_values = 0;
    std::vector<std::pair<double, double>> all;  // (x, value)
    std::vector<std::pair<double, double>> kept;
  };
  int32_t SeriesOf(int32_t column, const std::vector<std::string>& columns);
  bool XOf(const FieldValue& value, double* x) const;
  std::string XLabel(double x) const;
  void DrawPanel(Series& s, double top, std::string* svg) const;

  int32_t x_column_ = -1;  // -1: the row number
  std::string x_name_;
  bool x_dates_ = false;  // the x column holds dates, shown as such

  std::string title_prefix_;
  std::vector<Series> series_;
  std::vector<int32_t> column_series_;  // per column: the series index, -1 none, -2 not looked up yet
};

}  // namespace kvo::host
