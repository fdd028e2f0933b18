#include "kvo-host/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

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

// "2024-05-19", optionally followed by "T" or a blank and "08:30", ":00", ".5" and "Z": seconds since
// 1970-01-01 (UTC).
bool ParseDateTime(std::string_view text, double* seconds) {
  auto digits = [&](std::size_t at, std::size_t count, int* out) {
    if (at + count > text.size()) return false;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      value = value * 10 + (text[i] - '0');
    }
    *out = value;
    return true;
  };
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (!digits(0, 4, &y) || text.size() < 10 || text[4] != '-' || !digits(5, 2, &m) || text[7] != '-' ||
      !digits(8, 2, &d) || m < 1 || m > 12 || d < 1 || d > 31) {
    return false;
  }
  std::size_t at = 10;
  double fraction = 0;
  if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
    if (!digits(at + 1, 2, &hh) || at + 3 >= text.size() || text[at + 3] != ':' || !digits(at + 4, 2, &mm))
      return false;
    at += 6;
    if (at < text.size() && text[at] == ':') {
      if (!digits(at + 1, 2, &ss)) return false;
      at += 3;
      if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
          fraction += (text[at] - '0') * scale;
      }
    }
  }
  if (at < text.size() && text[at] == 'Z') ++at;
  if (at != text.size()) return false;
  // Days from the civil date (proleptic Gregorian calendar).
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const double days = static_cast<double>(era) * 146097 + doe - 719468;
  *seconds = days * 86400 + hh * 3600 + mm * 60 + ss + fraction;
  return true;
}

std::string DateText(double seconds) {
  const int64_t whole = static_cast<int64_t>(std::floor(seconds));
  int64_t z = (whole >= 0 ? whole : whole - 86399) / 86400;
  const int64_t in_day = whole - z * 86400;
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  char text[128];
  if (in_day == 0) {
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d));
  } else {
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(in_day / 3600),
                  static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60));
  }
  return text;
}

constexpr const char* kTimeNames[] = {"time", "timestamp", "datetime", "date", "t",
                                      "ts",   "epoch",     "seconds",  "year"};

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

bool PlotRecorder::XOf(const FieldValue& value, double* x) const {
  if (x_dates_) return value.kind == ValueKind::kText && ParseDateTime(value.text, x);
  return value.AsDouble(x) && std::isfinite(*x);
}

bool PlotRecorder::ChooseX(const std::vector<std::string>& columns, const host::Record& first,
                           const std::string& wanted) {
  auto value_of = [&](std::size_t column, FieldValue* value) {
    for (const Field& field : first.fields) {
      if (static_cast<std::size_t>(field.column) != column) continue;
      *value = field.value;
      return true;
    }
    return false;
  };
  auto use = [&](std::size_t column, bool dates) {
    x_column_ = static_cast<int32_t>(column);
    x_name_ = columns[column];
    x_dates_ = dates;
  };
  FieldValue value;
  double x = 0;
  if (!wanted.empty()) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (LowerAscii(columns[c]) != LowerAscii(wanted)) continue;
      use(c, value_of(c, &value) && value.kind == ValueKind::kText && ParseDateTime(value.text, &x));
      return true;
    }
    return false;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::string name = LowerAscii(Trim(columns[c]));
    if (std::find(std::begin(kTimeNames), std::end(kTimeNames), name) == std::end(kTimeNames)) continue;
    if (!value_of(c, &value)) continue;
    if (value.AsDouble(&x)) return use(c, false), true;
    if (value.kind == ValueKind::kText && ParseDateTime(value.text, &x)) return use(c, true), true;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (value_of(c, &value) && value.kind == ValueKind::kText && ParseDateTime(value.text, &x))
      return use(c, true), true;
  }
  return true;
}

void PlotRecorder::Record(const Block& block, const std::vector<std::string>& columns, bool passed,
                          int64_t first_row) {
  if (series_.empty()) return;
  const auto& fields = block.Fields();
  for (int32_t row = 0; row < block.RowCount(); ++row) {
    double x = static_cast<double>(first_row + row);
    bool has_x = x_column_ < 0;
    for (std::size_t i = block.RowBegin(row); i < block.RowEnd(row) && !has_x; ++i) {
      if (fields[i].column == x_column_) has_x = XOf(block.Value(fields[i]), &x);
    }
    for (std::size_t i = block.RowBegin(row); i < block.RowEnd(row); ++i) {
      if (fields[i].kind == ValueKind::kNull) continue;
      const int32_t s = SeriesOf(fields[i].column, columns);
      if (s < 0) continue;
      Series& series = series_[static_cast<std::size_t>(s)];
      ++series.values;
      if (passed) ++series.kept_values;
      double value = 0;
      if (!has_x || !block.Value(fields[i]).AsDouble(&value) || !std::isfinite(value)) continue;
      series.all.emplace_back(x, value);
      if (passed) series.kept.emplace_back(x, value);
    }
  }
}

std::string PlotRecorder::XLabel(double x) const {
  if (x_column_ < 0) {
    char text[32];
    std::snprintf(text, sizeof text, "row %.0f", x);
    return text;
  }
  if (x_dates_) return DateText(x);
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", x);
  return x_name_ + " " + text;
}

std::string PlotRecorder::Svg(const std::vector<PlotRecorder*>& recorders, const std::string& empty) {
  std::size_t count = 0;
  for (const PlotRecorder* recorder : recorders)
    count += recorder->series_.size();
  const std::size_t panels = std::max<std::size_t>(count, 1);
  const double height = kPanelHeight * static_cast<double>(panels);
  std::string svg;
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) + "\" height=\"" +
         Number(height) + "\" viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  if (count == 0) {
    svg += "<text x=\"20\" y=\"40\">" + Escape(empty) + "</text>\n</svg>\n";
    return svg;
  }
  std::size_t p = 0;
  for (PlotRecorder* recorder : recorders) {
    for (Series& s : recorder->series_)
      recorder->DrawPanel(s, kPanelHeight * static_cast<double>(p++), &svg);
  }
  svg += "</svg>\n";
  return svg;
}

void PlotRecorder::DrawPanel(Series& s, double top, std::string* out) const {
  std::string& svg = *out;
  // A time column need not be in order; the line follows x.
  auto by_x = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (!std::is_sorted(s.all.begin(), s.all.end(), by_x)) {
    std::stable_sort(s.all.begin(), s.all.end(), by_x);
    std::stable_sort(s.kept.begin(), s.kept.end(), by_x);
  }
  const double x0 = kLeft, x1 = kWidth - kRight;
  const double y0 = top + kTop, y1 = top + kPanelHeight - kBottom;
  const double reduction =
      s.values > 0 ? 100.0 * static_cast<double>(s.values - s.kept_values) / static_cast<double>(s.values)
                   : 0.0;
  std::string unit = s.type == 1 ? " %" : s.type == 2 ? " s" : "";
  const std::string title = title_prefix_ + s.name + ": " + TypeCaption(s.type) + " " + Number(s.band) +
                            unit + ", " + std::to_string(s.kept_values) + " of " + std::to_string(s.values) +
                            " values kept (" + Fixed(reduction) + "% fewer)";
  svg += "<text x=\"" + Number(x0) + "\" y=\"" + Number(top + 20) + "\" font-weight=\"bold\">" +
         Escape(title) + "</text>\n";
  svg += "<rect x=\"" + Number(x0) + "\" y=\"" + Number(y0) + "\" width=\"" + Number(x1 - x0) +
         "\" height=\"" + Number(y1 - y0) + "\" fill=\"none\" stroke=\"#999\"/>\n";
  if (s.all.empty()) {
    svg += "<text x=\"" + Number(x0 + 10) + "\" y=\"" + Number(y0 + 20) + "\">no numeric values</text>\n";
    return;
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
  const double first = s.all.front().first;
  const double last = s.all.back().first > first ? s.all.back().first : first + 1;
  auto X = [&](double row) { return x0 + (row - first) / (last - first) * (x1 - x0); };
  auto Y = [&](double v) { return y1 - (v - lo) / (hi - lo) * (y1 - y0); };

  // The input as a line; long inputs keep each pixel column's lowest and highest value.
  std::string line;
  const std::size_t columns = static_cast<std::size_t>(x1 - x0);
  if (s.all.size() <= 2 * columns) {
    for (const auto& point : s.all)
      line += Number(X(point.first)) + "," + Number(Y(point.second)) + " ";
  } else {
    std::size_t i = 0;
    for (std::size_t c = 0; c < columns && i < s.all.size(); ++c) {
      const double limit = first + (last - first) * static_cast<double>(c + 1) / static_cast<double>(columns);
      double min = s.all[i].second, max = min;
      const double at = X(s.all[i].first);
      while (i < s.all.size() && s.all[i].first <= limit) {
        min = std::min(min, s.all[i].second);
        max = std::max(max, s.all[i].second);
        ++i;
      }
      line += Number(at) + "," + Number(Y(min)) + " " + Number(at) + "," + Number(Y(max)) + " ";
    }
  }
  svg += "<polyline fill=\"none\" stroke=\"#8aa8c8\" stroke-width=\"1\" points=\"" + line + "\"/>\n";
  // The points thinned as the line is: each pixel column's lowest and highest kept value.
  std::vector<std::pair<double, double>> points;
  if (s.kept.size() <= 2 * columns) {
    points = s.kept;
  } else {
    std::size_t i = 0;
    for (std::size_t c = 0; c < columns && i < s.kept.size(); ++c) {
      const double limit = first + (last - first) * static_cast<double>(c + 1) / static_cast<double>(columns);
      if (s.kept[i].first > limit) continue;
      auto low = s.kept[i], high = s.kept[i];
      for (; i < s.kept.size() && s.kept[i].first <= limit; ++i) {
        if (s.kept[i].second < low.second) low = s.kept[i];
        if (s.kept[i].second > high.second) high = s.kept[i];
      }
      points.push_back(low);
      if (high != low) points.push_back(high);
    }
    for (; i < s.kept.size(); ++i)
      points.push_back(s.kept[i]);
  }
  svg += "<g fill=\"#d04020\">\n";
  for (const auto& point : points) {
    svg +=
        "<circle cx=\"" + Number(X(point.first)) + "\" cy=\"" + Number(Y(point.second)) + "\" r=\"2.5\"/>\n";
  }
  svg += "</g>\n";
  // Axis labels: value range and x range.
  svg += "<text x=\"" + Number(x0 - 6) + "\" y=\"" + Number(y0 + 10) + "\" text-anchor=\"end\">" +
         Number(hi - pad) + "</text>\n";
  svg += "<text x=\"" + Number(x0 - 6) + "\" y=\"" + Number(y1) + "\" text-anchor=\"end\">" +
         Number(lo + pad) + "</text>\n";
  svg +=
      "<text x=\"" + Number(x0) + "\" y=\"" + Number(y1 + 16) + "\">" + Escape(XLabel(first)) + "</text>\n";
  svg += "<text x=\"" + Number(x1) + "\" y=\"" + Number(y1 + 16) + "\" text-anchor=\"end\">" +
         Escape(XLabel(s.all.back().first)) + "</text>\n";
  svg += "<text x=\"" + Number((x0 + x1) / 2) + "\" y=\"" + Number(y1 + 16) +
         "\" text-anchor=\"middle\" fill=\"#666\">line: input values, points: values that passed</text>\n";
}

}  // namespace kvo::host
