// Files: the few questions the module asks of the file system outside its stores.
//
// Thread contract: [any-thread].
#pragma once

#include <string>
#include <string_view>

namespace kvo::platform {

// True when `path` names an existing regular file (8-bit path: UTF-8 on POSIX, ANSI on Windows).
bool FileExists(const std::string& path);

// Writes `content` to `path` as it stands: a new or emptied file, or with `append` added to the end of
// an existing one (created when missing). False when the file cannot be opened or written whole.
bool WriteFileBytes(const std::string& path, std::string_view content, bool append);

}  // namespace kvo::platform
