// The host program's module on POSIX: HANDLE is a token for the program itself; there are no icons.
#include "platform/host_module.h"

namespace kvo::platform {

ModuleHandle ModuleFromHostValue(intptr_t value) {
  return value != 0 ? ProgramModule() : nullptr;
}

void* LoadModuleIcon(ModuleHandle, const char*) {
  return nullptr;
}

}  // namespace kvo::platform
