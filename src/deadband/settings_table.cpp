// Names and map lines made from the settings table.
#include "deadband/settings_table.h"

namespace kvo {

namespace {

std::string WithSlot(std::string_view stem, const DeadbandSettingRow& row, int n) {
  std::string name(stem);
  if (!row.per_slot) return name;
  // Every form looks its slot controls up by name many times: the common case spares the conversion.
  if (n >= 1 && n <= 9) {
    name += static_cast<char>('0' + n);
  } else {
    name += std::to_string(n);
  }
  return name;
}

}  // namespace

std::string SettingControl(DeadbandSetting setting, int n) {
  const DeadbandSettingRow& row = RowOf(setting);
  return WithSlot(row.control, row, n);
}

std::string SettingKey(DeadbandSetting setting, int n) {
  const DeadbandSettingRow& row = RowOf(setting);
  return WithSlot(row.key, row, n);
}

const std::vector<SettingLine>& SettingLines() {
  static const std::vector<SettingLine> lines = [] {
    std::vector<SettingLine> all;
    for (const DeadbandSettingRow& row : kDeadbandSettingRows) {
      if (!row.per_slot) {
        all.push_back({row.setting, 0});
        continue;
      }
      for (int n = 1; n <= kDeadbandSlotCount; ++n)
        all.push_back({row.setting, n});
    }
    return all;
  }();
  return lines;
}

std::string PropertyMapLine(const SettingLine& line) {
  return SettingControl(line.setting, line.slot) + "." + std::string(RowOf(line.setting).property) + "," +
         SettingKey(line.setting, line.slot);
}

std::string_view DeadbandTypeCaption(int32_t type) noexcept {
  if (type < 0 || static_cast<std::size_t>(type) >= kDeadbandTypeCaptions.size()) return {};
  return kDeadbandTypeCaptions[static_cast<std::size_t>(type)];
}

}  // namespace kvo
