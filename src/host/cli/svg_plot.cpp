#include "host/cli/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kvo::host {

namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string Fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

constexpr double kWidth = 960;
constexpr double kPanelHeight = 240;
constexpr double kLeft = 70;
constexpr double kRight = 20;
constexpr double kTop = 34;
constexpr double kBottom = 30;

}  // namespace

PlotRecorder::PlotRecorder(const FilterSettings& settings) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (!settings.Active(i)) continue;
    const SlotSetting& slot = settings.slots[static_cast<std::size_t>(i)];
    Series series;
    series.name = Trim(slot.name);
    series.key = LowerAscii(series.name);
    series.type = slot.type;
    series.band = slot.band;
    series_.push_back(std::move(series));
  }
}

int32_t PlotRecorder::SeriesOf(int32_t column, const std::vector<std::string>& columns) {
  if (column_series_.size() < columns.size()) column_series_.resize(columns.size(), -2);
  int32_t& cached = column_series_[static_cast<std::size_t>(column)];
  if (cached == -2) {
    cached = -1;
    const std::string key = LowerAscii(columns[static_cast<std::size_t>(column)]);
    for (std::size_t i = 0; i < series_.size(); ++i) {
      if (series_[i].key == key) {
        cached = static_cast<int32_t>(i);
        break;
      }
    }
  }
  return cached;
}

void PlotRecorder::Record(const Block& block, const std::vector<std::string>& columns, bool passed,
                          int64_t first_row) {
  if (series_.empty()) return;
  const auto& fields = block.Fields();
  for (int32_t row = 0; row < block.RowCount(); ++row) {
    for (std::size_t i = block.RowBegin(row); i < block.RowEnd(row); ++i) {
      const int32_t s = SeriesOf(fields[i].column, columns);
      if (s < 0) continue;
      Series& series = series_[static_cast<std::size_t>(s)];
      ++series.values;
      if (passed) ++series.kept_values;
      double value = 0;
      if (!block.Value(fields[i]).AsDouble(&value) || !std::isfinite(value)) continue;
      series.all.emplace_back(first_row + row, value);
      if (passed) series.kept.emplace_back(first_row + row, value);
    }
  }
}

std::string PlotRecorder::Svg() const {
  const std::size_t panels = std::max<std::size_t>(series_.size(), 1);
  const double height = kPanelHeight * static_cast<double>(panels);
  std::string svg;
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) + "\" height=\"" +
         Number(height) + "\" viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  if (series_.empty()) {
    svg += "<text x=\"20\" y=\"40\">No watched variables in the settings.</text>\n</svg>\n";
    return svg;
  }
  for (std::size_t p = 0; p < series_.size(); ++p) {
    const Series& s = series_[p];
    const double top = kPanelHeight * static_cast<double>(p);
    const double x0 = kLeft, x1 = kWidth - kRight;
    const double y0 = top + kTop, y1 = top + kPanelHeight - kBottom;
    const double reduction =
        s.values > 0 ? 100.0 * static_cast<double>(s.values - s.kept_values) / static_cast<double>(s.values)
                     : 0.0;
    std::string unit = s.type == 1 ? " %" : s.type == 2 ? " s" : "";
    const std::string title = s.name + ": " + TypeCaption(s.type) + " " + Number(s.band) + unit + ", " +
                              std::to_string(s.kept_values) + " of " + std::to_string(s.values) +
                              " values kept (" + Fixed(reduction) + "% fewer)";
    svg += "<text x=\"" + Number(x0) + "\" y=\"" + Number(top + 20) + "\" font-weight=\"bold\">" +
           Escape(title) + "</text>\n";
    svg += "<rect x=\"" + Number(x0) + "\" y=\"" + Number(y0) + "\" width=\"" + Number(x1 - x0) +
           "\" height=\"" + Number(y1 - y0) + "\" fill=\"none\" stroke=\"#999\"/>\n";
    if (s.all.empty()) {
      svg += "<text x=\"" + Number(x0 + 10) + "\" y=\"" + Number(y0 + 20) + "\">no numeric values</text>\n";
      continue;
    }
    double lo = s.all.front().second, hi = lo;
    for (const auto& point : s.all) {
      lo = std::min(lo, point.second);
      hi = std::max(hi, point.second);
    }
    if (hi == lo) {
      hi += 1;
      lo -= 1;
    }
    const double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
    const double first = static_cast<double>(s.all.front().first);
    const double last = std::max(static_cast<double>(s.all.back().first), first + 1);
    auto X = [&](double row) { return x0 + (row - first) / (last - first) * (x1 - x0); };
    auto Y = [&](double v) { return y1 - (v - lo) / (hi - lo) * (y1 - y0); };

    // The input as a line; long inputs keep each pixel column's lowest and highest value.
    std::string line;
    const std::size_t columns = static_cast<std::size_t>(x1 - x0);
    if (s.all.size() <= 2 * columns) {
      for (const auto& point : s.all)
        line += Number(X(static_cast<double>(point.first))) + "," + Number(Y(point.second)) + " ";
    } else {
      std::size_t i = 0;
      for (std::size_t c = 0; c < columns && i < s.all.size(); ++c) {
        const double limit =
            first + (last - first) * static_cast<double>(c + 1) / static_cast<double>(columns);
        double min = s.all[i].second, max = min;
        const double at = X(static_cast<double>(s.all[i].first));
        while (i < s.all.size() && static_cast<double>(s.all[i].first) <= limit) {
          min = std::min(min, s.all[i].second);
          max = std::max(max, s.all[i].second);
          ++i;
        }
        line += Number(at) + "," + Number(Y(min)) + " " + Number(at) + "," + Number(Y(max)) + " ";
      }
    }
    svg += "<polyline fill=\"none\" stroke=\"#8aa8c8\" stroke-width=\"1\" points=\"" + line + "\"/>\n";
    svg += "<g fill=\"#d04020\">\n";
    for (const auto& point : s.kept) {
      svg += "<circle cx=\"" + Number(X(static_cast<double>(point.first))) + "\" cy=\"" +
             Number(Y(point.second)) + "\" r=\"2.5\"/>\n";
    }
    svg += "</g>\n";
    // Axis labels: value range and row range.
    svg += "<text x=\"" + Number(x0 - 6) + "\" y=\"" + Number(y0 + 10) + "\" text-anchor=\"end\">" +
           Number(hi - pad) + "</text>\n";
    svg += "<text x=\"" + Number(x0 - 6) + "\" y=\"" + Number(y1) + "\" text-anchor=\"end\">" +
           Number(lo + pad) + "</text>\n";
    svg += "<text x=\"" + Number(x0) + "\" y=\"" + Number(y1 + 16) + "\">row " + Number(first) + "</text>\n";
    svg += "<text x=\"" + Number(x1) + "\" y=\"" + Number(y1 + 16) + "\" text-anchor=\"end\">row " +
           Number(last) + "</text>\n";
    svg += "<text x=\"" + Number((x0 + x1) / 2) + "\" y=\"" + Number(y1 + 16) +
           "\" text-anchor=\"middle\" fill=\"#666\">line: input values, points: values that passed</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace kvo::host
