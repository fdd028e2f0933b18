// The host program as the module sees it: its module handle from the value the host passed, and its
// application icon.
//
// Thread contract: [any-thread].
#pragma once

#include <cstdint>

#include "platform/module.h"

namespace kvo::platform {

// The module a host's "HANDLE" value names: on Windows the value is the module handle itself; on POSIX
// any non-zero value stands for the host program. Null for 0.
ModuleHandle ModuleFromHostValue(intptr_t value);

// Loads the icon resource `name` of `module` (LoadIconA); null where there is none or the platform has
// no icon resources (POSIX).
void* LoadModuleIcon(ModuleHandle module, const char* name);

}  // namespace kvo::platform
