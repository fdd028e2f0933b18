// The deadband filter's settings as kvo-host reads and writes them: the filter's own stored settings
// (deadband/settings_store.h), at a location that defaults to kvo-host's registry key, and what kvo-host
// tells the user about stored text the module reads otherwise than it looks.
//
// Thread contract: one thread at a time per store location.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "deadband/settings_store.h"

namespace kvo::host {

inline constexpr int kSlotCount = kDeadbandSlotCount;

using SlotSetting = StoredSlot;
using FilterSettings = StoredDeadbandSettings;
using StoreLocation = SettingsLocation;

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
