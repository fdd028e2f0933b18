// The filter's stored settings as a program outside the module reads and writes them: the values of the
// settings table kept in an INI file section ("Common", or "<prefix>.Common") or under a registry key, in
// the same form and through the same store the module uses. With settings_table.h this is all a host
// program may use of the filter's settings; the store itself stays inside this library.
//
// Thread contract: one thread at a time per store location.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "deadband/settings_table.h"

namespace kvo {

struct StoredSlot {
  std::string name;   // blank: the slot is not used
  int32_t type = -1;  // an index of kDeadbandTypeCaptions; -1 none
  double band = 0.0;
};

struct StoredDeadbandSettings {
  std::array<StoredSlot, kDeadbandSlotCount> slots;
  int32_t relationship = 0;  // an index of kRelationshipCaptions

  // True when slot `i` (0-based) is one the module filters by: a name that is not blank and a known type.
  bool Active(int i) const;
};

struct SettingsLocation {
  std::string ini_file;  // used when set (for reading: when the file exists), else the registry
  std::string section_prefix;
  std::string registry_path;
};

// Reads the stored keys over `settings` (keys that are not stored leave their fields as they are). False
// when no store could be opened (no INI file and no registry key). Throws on an unreadable INI file.
bool LoadStoredSettings(const SettingsLocation& location, StoredDeadbandSettings* settings);
// Writes every key. Throws std::runtime_error when the store cannot be written.
void SaveStoredSettings(const SettingsLocation& location, const StoredDeadbandSettings& settings);

// The INI section the settings are kept in for a section prefix.
std::string IniSectionName(const std::string& section_prefix);

// A key's text in an INI file, and what the store makes of it as a number.
struct IniText {
  std::string text;
  std::optional<int32_t> integer;  // none when the text is no integer
  std::optional<double> number;    // none when the text is no number
};
// The table's keys the location's INI file holds, by key; none when the location names no INI file or
// the file does not exist.
std::optional<std::map<std::string, IniText>> ReadIniTexts(const SettingsLocation& location);

}  // namespace kvo
