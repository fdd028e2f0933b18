// The parts of the registry store that are the same on every system.
#include <iterator>

#include "platform/registry.h"

namespace kvo::platform {

std::string_view RegistryRootName(RegistryRoot root) {
  static constexpr std::string_view kNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
  const auto index = static_cast<size_t>(root);
  return index < std::size(kNames) ? kNames[index] : std::string_view();
}

bool RegistryKey::OpenWithFallback(RegistryRoot first, RegistryRoot second, std::string_view path,
                                   bool create, RegistryKey* key, RegistryRoot* used, std::string* error) {
  std::string first_error;
  std::string second_error;
  if (Open(first, path, create, key, &first_error)) {
    if (used) *used = first;
    return true;
  }
  if (Open(second, path, create, key, &second_error)) {
    if (used) *used = second;
    return true;
  }
  if (error) *error = first_error + "; " + second_error;
  return false;
}

}  // namespace kvo::platform
