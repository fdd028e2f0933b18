// The deadband filter's settings as kvo-host reads and writes them: eight slots (variable, deadband type,
// band) and the relationship, under the keys the module loads (Var1..Var8, Type1..Type8, Val1..Val8,
// Relationship), through the same property store and text escaping the module uses: an INI file section
// ("Common", or "<prefix>.Common"), or the registry key of a registry path.
//
// Thread contract: one thread at a time per store location.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kvo::host {

inline constexpr int kSlotCount = 8;

struct SlotSetting {
  std::string name;   // blank: the slot is not used
  int32_t type = -1;  // 0 Absolute, 1 Percent, 2 Time limit (s), 3 Count limit; -1 none
  double band = 0.0;
};

struct FilterSettings {
  std::array<SlotSetting, kSlotCount> slots;
  int32_t relationship = 0;  // 0 AND, 1 OR

  // True when slot `i` (0-based) is one the module filters by: a name that is not blank and a type 0-3.
  bool Active(int i) const;
};

struct StoreLocation {
  std::string ini_file;  // used when set (for reading: when the file exists), else the registry
  std::string section_prefix;
  std::string registry_path;
};

// The registry path kvo-host uses when none is given, for both the module and its own commands.
inline constexpr const char* kDefaultRegistryPath = "Software\\kvo\\kvo-host";

// Reads the stored keys over `settings` (keys that are not stored leave their fields as they are). False
// when no store could be opened (no INI file and no registry key).
bool LoadFilterSettings(const StoreLocation& location, FilterSettings* settings);
// Writes every key. Throws std::runtime_error when the store cannot be written.
void SaveFilterSettings(const StoreLocation& location, const FilterSettings& settings);
// What the module makes of INI text that does not read as it looks (a type or relationship in words, a band
// that is no number, a type outside 0-3, a slot without a type): one line per key, naming the key and the
// module's reading. `settings` is what LoadFilterSettings read there. Registry values are typed: none.
std::vector<std::string> CheckStoredSettings(const StoreLocation& location, const FilterSettings& settings);
// "INI file F, section [S]" or "registry key P".
std::string DescribeLocation(const StoreLocation& location);

// The captions of the deadband types, as the options dialog shows them; "" for other numbers.
std::string TypeCaption(int32_t type);

}  // namespace kvo::host
