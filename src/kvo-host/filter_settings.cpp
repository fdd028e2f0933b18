#include "kvo-host/filter_settings.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/files.h"
#include "runtime/type_kind.h"
#include "settings/big_ini.h"
#include "settings/escape_text.h"
#include "settings/wreg.h"

namespace kvo::host {

namespace {

// The property map: every line names a key only (its path reaches no component), so the values travel
// through the store's GetValue and SetValue hooks, by line number.
constexpr int kVarLines = 0;
constexpr int kTypeLines = kSlotCount;
constexpr int kValLines = 2 * kSlotCount;
constexpr int kRelationshipLine = 3 * kSlotCount;

void FillPropertyMap(TStringList& map) {
  for (int n = 1; n <= kSlotCount; ++n)
    map.Add("var" + std::to_string(n) + ".Text,Var" + std::to_string(n));
  for (int n = 1; n <= kSlotCount; ++n)
    map.Add("type" + std::to_string(n) + ".ItemIndex,Type" + std::to_string(n));
  for (int n = 1; n <= kSlotCount; ++n)
    map.Add("val" + std::to_string(n) + ".Value,Val" + std::to_string(n));
  map.Add("comboRel.ItemIndex,Relationship");
}

TTypeKind KindOfLine(int32_t index) {
  if (index < kTypeLines) return tkString;
  if (index < kValLines) return tkInteger;
  if (index < kRelationshipLine) return tkFloat;
  return tkInteger;
}

void Configure(TWreg& store, const StoreLocation& location) {
  store.SetRegistryRoot(rrHKEY_LOCAL_MACHINE);
  store.SetSecondRegistryRoot(rrHKEY_CURRENT_USER);
  store.SetRegistryPath(location.registry_path.empty() ? std::string(kDefaultRegistryPath)
                                                       : location.registry_path);
  store.SetINIFile(location.ini_file);
  store.SetINIFileSectionPrefix(location.section_prefix);
  FillPropertyMap(store.Components());
  store.BeforeProcessItem = [](TObject&, const std::string&, int32_t index, bool& process, bool& is_virtual,
                               TTypeKind& kind) {
    process = true;
    is_virtual = true;
    kind = KindOfLine(index);
  };
}

}  // namespace

bool FilterSettings::Active(int i) const {
  const SlotSetting& slot = slots[static_cast<std::size_t>(i)];
  return slot.name.find_first_not_of(" \t\r\n") != std::string::npos && slot.type >= 0 && slot.type <= 3;
}

bool LoadFilterSettings(const StoreLocation& location, FilterSettings* settings) {
  TWreg store(nullptr);
  Configure(store, location);
  store.SetValue = [settings](TObject&, const std::string&, int32_t index, const Variant& value) {
    if (index < kTypeLines) {
      settings->slots[static_cast<std::size_t>(index)].name = UnescapeText(value.ToText());
    } else if (index < kValLines) {
      settings->slots[static_cast<std::size_t>(index - kTypeLines)].type = value.ToInt();
    } else if (index < kRelationshipLine) {
      settings->slots[static_cast<std::size_t>(index - kValLines)].band = value.ToDouble();
    } else {
      settings->relationship = value.ToInt();
    }
  };
  return store.LoadFromStore(nullptr);
}

void SaveFilterSettings(const StoreLocation& location, const FilterSettings& settings) {
  TWreg store(nullptr);
  Configure(store, location);
  store.GetValue = [&settings](TObject&, const std::string&, int32_t index, Variant& value) {
    if (index < kTypeLines) {
      value = Variant::FromText(EscapeText(settings.slots[static_cast<std::size_t>(index)].name));
    } else if (index < kValLines) {
      value = Variant::FromInt(settings.slots[static_cast<std::size_t>(index - kTypeLines)].type);
    } else if (index < kRelationshipLine) {
      value = Variant::FromDouble(settings.slots[static_cast<std::size_t>(index - kValLines)].band);
    } else {
      value = Variant::FromInt(settings.relationship);
    }
  };
  if (!store.SaveToStore(nullptr)) throw std::runtime_error("the store cannot be opened");
}

std::vector<std::string> CheckStoredSettings(const StoreLocation& location, const FilterSettings& settings) {
  std::vector<std::string> notes;
  if (location.ini_file.empty() || !platform::FileExists(location.ini_file)) return notes;
  TBigIniFile ini(location.ini_file);
  const std::string section =
      location.section_prefix.empty() ? "Common" : location.section_prefix + ".Common";
  // The store reads these keys as numbers and takes 0 for text that is none.
  auto text = [&](const std::string& key) { return key + "=" + ini.ReadString(section, key, ""); };
  for (int n = 1; n <= kSlotCount; ++n) {
    const SlotSetting& slot = settings.slots[static_cast<std::size_t>(n - 1)];
    if (slot.name.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    const std::string slot_name = "slot " + std::to_string(n) + " (" + slot.name + ")";
    const std::string type_key = "Type" + std::to_string(n);
    const std::string val_key = "Val" + std::to_string(n);
    if (!ini.ValueExists(section, type_key)) {
      notes.push_back("Var" + std::to_string(n) + " has no " + type_key + ": the module ignores " +
                      slot_name);
    } else if (ini.ReadInteger(section, type_key, INT_MIN) == INT_MIN) {
      notes.push_back(text(type_key) + " is not a number 0-3: the module reads it as " +
                      std::to_string(slot.type) + " (" + TypeCaption(slot.type) +
                      "); kvo-host configure writes the number");
    } else if (slot.type < 0 || slot.type > 3) {
      notes.push_back(text(type_key) + " is not 0-3: the module ignores " + slot_name);
    }
    if (ini.ValueExists(section, val_key) &&
        std::isnan(ini.ReadFloat(section, val_key, std::numeric_limits<double>::quiet_NaN()))) {
      char band[32];
      std::snprintf(band, sizeof band, "%.15g", slot.band);
      notes.push_back(text(val_key) + " is not a number: the module reads the band as " + band);
    }
  }
  if (ini.ValueExists(section, "Relationship")) {
    const int32_t read = ini.ReadInteger(section, "Relationship", INT_MIN);
    if (read != 0 && read != 1) {
      notes.push_back(text("Relationship") + " is not 0 (AND) or 1 (OR): the module reads it as AND" +
                      (read == INT_MIN ? "; kvo-host configure writes the number" : ""));
    }
  }
  return notes;
}

std::string DescribeLocation(const StoreLocation& location) {
  if (!location.ini_file.empty()) {
    const std::string section =
        location.section_prefix.empty() ? "Common" : location.section_prefix + ".Common";
    return "INI file " + location.ini_file + ", section [" + section + "]";
  }
  return "registry key " +
         (location.registry_path.empty() ? std::string(kDefaultRegistryPath) : location.registry_path);
}

std::string TypeCaption(int32_t type) {
  switch (type) {
    case 0:
      return "Absolute";
    case 1:
      return "Percent";
    case 2:
      return "Time limit (s)";
    case 3:
      return "Count limit";
    default:
      return "";
  }
}

}  // namespace kvo::host
