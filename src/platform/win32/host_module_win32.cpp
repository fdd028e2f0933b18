// The host program's module on Windows: HANDLE is its module handle; its icon is a resource.
#include <windows.h>

#include "platform/host_module.h"

namespace kvo::platform {

ModuleHandle ModuleFromHostValue(intptr_t value) {
  return reinterpret_cast<ModuleHandle>(value);
}

void* LoadModuleIcon(ModuleHandle module, const char* name) {
  return module ? static_cast<void*>(LoadIconA(static_cast<HMODULE>(module), name)) : nullptr;
}

}  // namespace kvo::platform
