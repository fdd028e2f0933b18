// Loaded code modules: the path of this library's own file, modules already in the process, procedure
// addresses (GetModuleFileNameA, GetModuleHandleA, LoadLibraryA, GetProcAddress on Windows; dladdr,
// dlopen, dlsym on POSIX).
//
// Thread contract: [any-thread].
#pragma once

#include <string>

namespace kvo::platform {

// Opaque handle of a loaded module; null means none.
using ModuleHandle = void*;

// Full path of the library file that contains this code (the plug-in module or the SDK library, not the
// host program). Empty when the system cannot tell. A path given to OverrideOwnModulePath wins.
std::string OwnModulePath();

// For tests of what a module finds beside its own file: from now on OwnModulePath reports `path` in this
// copy of the code (empty: the system's answer again). Returns the override it replaces.
std::string OverrideOwnModulePath(std::string path);

// The system's answer to OwnModulePath, never overridden.
std::string SystemOwnModulePath();

// Handle of the main program of the process. Never null.
ModuleHandle ProgramModule();

// Full path of the main program's file (the host), empty when the system cannot tell.
std::string ProgramPath();

// Handle of a module that is already loaded in the process under `name` (a file name or path), without
// loading it; null when it is not loaded.
ModuleHandle FindLoadedModule(const char* name);

// Loads a module by path and returns its handle, or null; `error` (when given) receives the reason.
// The caller releases it with UnloadModule.
ModuleHandle LoadModule(const char* path, std::string* error = nullptr);

// Releases a handle from LoadModule. Null is ignored.
void UnloadModule(ModuleHandle module);

// Address of the exported procedure `name` in `module`, or null when there is none.
void* ProcAddress(ModuleHandle module, const char* name);

}  // namespace kvo::platform
