// Globally unique identifiers in registry text form.
//
// Thread contract: [any-thread].
#pragma once

#include <string>

namespace kvo::platform {

// A new random (version 4) GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters, upper-case
// hexadecimal digits. CoCreateGuid on Windows, the system's random source on POSIX.
std::string NewGuidText();

}  // namespace kvo::platform
