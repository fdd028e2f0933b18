// Files: the few questions the module asks of the file system outside its stores.
//
// Thread contract: [any-thread].
#pragma once

#include <string>

namespace kvo::platform {

// True when `path` names an existing regular file (8-bit path: UTF-8 on POSIX, ANSI on Windows).
bool FileExists(const std::string& path);

}  // namespace kvo::platform
