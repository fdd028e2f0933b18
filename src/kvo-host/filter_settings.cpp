#include "kvo-host/filter_settings.h"

#include <cstdio>

namespace kvo::host {

namespace {

StoreLocation WithDefaultPath(StoreLocation location) {
  if (location.registry_path.empty()) location.registry_path = kDefaultRegistryPath;
  return location;
}

}  // namespace

bool LoadFilterSettings(const StoreLocation& location, FilterSettings* settings) {
  return LoadStoredSettings(WithDefaultPath(location), settings);
}

void SaveFilterSettings(const StoreLocation& location, const FilterSettings& settings) {
  SaveStoredSettings(WithDefaultPath(location), settings);
}

std::vector<std::string> CheckStoredSettings(const StoreLocation& location, const FilterSettings& settings) {
  std::vector<std::string> notes;
  const auto texts = ReadIniTexts(location);
  if (!texts) return notes;
  auto stored = [&](const std::string& key) -> const IniText* {
    const auto found = texts->find(key);
    return found == texts->end() ? nullptr : &found->second;
  };
  // The store reads these keys as numbers and takes 0 for text that is none.
  auto text = [](const std::string& key, const IniText& value) { return key + "=" + value.text; };
  for (int n = 1; n <= kSlotCount; ++n) {
    const SlotSetting& slot = settings.slots[static_cast<std::size_t>(n - 1)];
    if (slot.name.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    const std::string slot_name = "slot " + std::to_string(n) + " (" + slot.name + ")";
    const std::string type_key = SettingKey(DeadbandSetting::kType, n);
    const std::string val_key = SettingKey(DeadbandSetting::kVal, n);
    const IniText* type = stored(type_key);
    if (type == nullptr) {
      notes.push_back(SettingKey(DeadbandSetting::kVar, n) + " has no " + type_key + ": the module ignores " +
                      slot_name);
    } else if (!type->integer) {
      notes.push_back(text(type_key, *type) + " is not a number 0-3: the module reads it as " +
                      std::to_string(slot.type) + " (" + TypeCaption(slot.type) +
                      "); kvo-host configure writes the number");
    } else if (DeadbandTypeCaption(slot.type).empty()) {
      notes.push_back(text(type_key, *type) + " is not 0-3: the module ignores " + slot_name);
    }
    const IniText* val = stored(val_key);
    if (val != nullptr && !val->number) {
      char band[32];
      std::snprintf(band, sizeof band, "%.15g", slot.band);
      notes.push_back(text(val_key, *val) + " is not a number: the module reads the band as " + band);
    }
  }
  const std::string relationship_key = SettingKey(DeadbandSetting::kRelationship, 0);
  if (const IniText* relationship = stored(relationship_key)) {
    if (relationship->integer != 0 && relationship->integer != 1) {
      notes.push_back(text(relationship_key, *relationship) + " is not 0 (" +
                      std::string(kRelationshipCaptions[0]) + ") or 1 (" +
                      std::string(kRelationshipCaptions[1]) + "): the module reads it as " +
                      std::string(kRelationshipCaptions[0]) +
                      (relationship->integer ? "" : "; kvo-host configure writes the number"));
    }
  }
  return notes;
}

std::string DescribeLocation(const StoreLocation& location) {
  if (!location.ini_file.empty()) {
    return "INI file " + location.ini_file + ", section [" + IniSectionName(location.section_prefix) + "]";
  }
  return "registry key " + WithDefaultPath(location).registry_path;
}

std::string TypeCaption(int32_t type) {
  return std::string(DeadbandTypeCaption(type));
}

}  // namespace kvo::host
