// The stored settings through the module's property store: every map line names a key only (its path
// reaches no component), so the values travel through the store's GetValue and SetValue hooks.
#include "deadband/settings_store.h"

#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/files.h"
#include "runtime/type_kind.h"
#include "settings/big_ini.h"
#include "settings/escape_text.h"
#include "settings/wreg.h"

namespace kvo {

namespace {

TTypeKind TypeKindOf(StoredKind kind) {
  switch (kind) {
    case StoredKind::kText:
      return tkString;
    case StoredKind::kInteger:
      return tkInteger;
    case StoredKind::kFloat:
      return tkFloat;
  }
  return tkString;
}

const SettingLine& LineAt(int32_t index) {
  return SettingLines().at(static_cast<std::size_t>(index));
}

// The slot of a slot's line: StoredSlot, const or not as `settings` is.
template <typename Settings>
auto& SlotOf(Settings& settings, const SettingLine& line) {
  return settings.slots.at(static_cast<std::size_t>(line.slot - 1));
}

void Configure(TWreg& store, const SettingsLocation& location) {
  store.SetRegistryRoot(rrHKEY_LOCAL_MACHINE);
  store.SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  store.SetRegistryPath(location.registry_path);
  store.SetINIFile(location.ini_file);
  store.SetINIFileSectionPrefix(location.section_prefix);
  for (const SettingLine& line : SettingLines())
    store.Components().Add(PropertyMapLine(line));
  store.BeforeProcessItem = [](TObject&, const std::string&, int32_t index, bool& process, bool& is_virtual,
                               TTypeKind& kind) {
    process = true;
    is_virtual = true;
    kind = TypeKindOf(RowOf(LineAt(index).setting).kind);
  };
}

}  // namespace

bool StoredDeadbandSettings::Active(int i) const {
  const StoredSlot& slot = slots[static_cast<std::size_t>(i)];
  return slot.name.find_first_not_of(" \t\r\n") != std::string::npos &&
         !DeadbandTypeCaption(slot.type).empty();
}

bool LoadStoredSettings(const SettingsLocation& location, StoredDeadbandSettings* settings) {
  TWreg store(nullptr);
  Configure(store, location);
  store.SetValue = [settings](TObject&, const std::string&, int32_t index, const Variant& value) {
    const SettingLine& line = LineAt(index);
    switch (line.setting) {
      case DeadbandSetting::kVar:
        SlotOf(*settings, line).name = UnescapeText(value.ToText());
        break;
      case DeadbandSetting::kType:
        SlotOf(*settings, line).type = value.ToInt();
        break;
      case DeadbandSetting::kVal:
        SlotOf(*settings, line).band = value.ToDouble();
        break;
      case DeadbandSetting::kRelationship:
        settings->relationship = value.ToInt();
        break;
    }
  };
  return store.LoadFromStore(nullptr);
}

void SaveStoredSettings(const SettingsLocation& location, const StoredDeadbandSettings& settings) {
  TWreg store(nullptr);
  Configure(store, location);
  store.GetValue = [&settings](TObject&, const std::string&, int32_t index, Variant& value) {
    const SettingLine& line = LineAt(index);
    switch (line.setting) {
      case DeadbandSetting::kVar:
        value = Variant::FromText(EscapeText(SlotOf(settings, line).name));
        break;
      case DeadbandSetting::kType:
        value = Variant::FromInt(SlotOf(settings, line).type);
        break;
      case DeadbandSetting::kVal:
        value = Variant::FromDouble(SlotOf(settings, line).band);
        break;
      case DeadbandSetting::kRelationship:
        value = Variant::FromInt(settings.relationship);
        break;
    }
  };
  if (!store.SaveToStore(nullptr)) throw std::runtime_error("the store cannot be opened");
}

std::string IniSectionName(const std::string& section_prefix) {
  return section_prefix.empty() ? "Common" : section_prefix + ".Common";
}

std::optional<std::map<std::string, IniText>> ReadIniTexts(const SettingsLocation& location) {
  if (location.ini_file.empty() || !platform::FileExists(location.ini_file)) return std::nullopt;
  std::map<std::string, IniText> texts;
  TBigIniFile ini(location.ini_file);
  const std::string section = IniSectionName(location.section_prefix);
  for (const SettingLine& line : SettingLines()) {
    const std::string key = SettingKey(line.setting, line.slot);
    if (!ini.ValueExists(section, key)) continue;
    IniText& entry = texts[key];
    entry.text = ini.ReadString(section, key, "");
    // The store reads a text that is no number as 0; the smallest integer stands for "none" here.
    const int32_t integer = ini.ReadInteger(section, key, INT_MIN);
    if (integer != INT_MIN) entry.integer = integer;
    const double number = ini.ReadFloat(section, key, std::numeric_limits<double>::quiet_NaN());
    if (!std::isnan(number)) entry.number = number;
  }
  return texts;
}

}  // namespace kvo
