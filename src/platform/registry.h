// The registry store: keys below predefined roots, holding DWORD, binary and string values.
//
// On Windows this is the system registry (advapi32). On POSIX each root is one text file in the registry
// editor's export format ("<ROOT NAME>.reg"), so a person can read and edit it. Its folder is the one named
// by KVO_REGISTRY_DIR when that is set; otherwise HKEY_CURRENT_USER and HKEY_CLASSES_ROOT live under
// $XDG_CONFIG_HOME/kvo/registry (default ~/.config/kvo/registry) and the machine-wide roots under
// /var/lib/kvo/registry. The folder is read when a key is opened.
//
// Key paths are "\"-separated names below the root; a leading or trailing "\" is ignored, an empty path
// is the root itself. Key and value names ignore letter case (ASCII letters on POSIX), and keep the case
// they were created with. The empty value name is the key's default value. A string ends at its first
// NUL. 8-bit text is UTF-8 on POSIX and the ANSI code page on Windows; on POSIX a string that is not
// valid UTF-8 is stored as UTF-16, so its invalid bytes read back as U+FFFD, as on Windows.
//
// Every key is opened with full access. On POSIX that means the root's file must be writable: its folder
// can be created and written, and the file, if present, is a writable regular file. Each change (creating
// a key, writing or deleting a value) locks "<ROOT NAME>.lock" beside the file, reads the file afresh,
// changes it and replaces it atomically, so other handles and processes never lose their changes and
// never see a torn file. Reads take a snapshot of the file without locking.
//
// Failures are results (false, with a message where the signature has a place for one); nothing throws
// but std::bad_alloc.
//
// Thread contract: Open from any thread; one RegistryKey is used by one thread at a time; any number of
// keys, in any threads and processes, may use the same root at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::platform {

// The predefined roots, in the order the settings code numbers them; kNone opens nothing.
enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig, kNone };

// The stored type of a value: kOther covers every other registry type (expandable or multiple strings,
// 64-bit numbers, ...), kNone a missing value.
enum class ValueKind { kNone, kDword, kBinary, kString, kOther };

// The root's full name, such as "HKEY_CURRENT_USER"; empty for kNone.
std::string_view RegistryRootName(RegistryRoot root);

// An open key; closed when destroyed. Operations on a closed (or moved-from) key fail.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens the key `path` below `root` with full access, creating it and the keys above it when `create`
  // is set. On failure `*key` is closed and `error` (if given) says why.
  static bool Open(RegistryRoot root, std::string_view path, bool create, RegistryKey* key,
                   std::string* error);
  // Tries `first`, then `second` when `first` cannot be opened with full access; `*used` (if given)
  // receives the root that served.
  static bool OpenWithFallback(RegistryRoot first, RegistryRoot second, std::string_view path, bool create,
                               RegistryKey* key, RegistryRoot* used, std::string* error);

  bool IsOpen() const;
  void Close();

  bool ValueExists(std::string_view name) const;
  ValueKind Type(std::string_view name) const;

  // Reads fail when the value is missing or of another kind; a binary read also when the value does not
  // hold exactly `size` bytes.
  bool ReadDword(std::string_view name, uint32_t* value) const;
  bool ReadBinary(std::string_view name, void* data, size_t size) const;
  bool ReadString(std::string_view name, std::string* value) const;

  // Writes replace a value of any kind.
  bool WriteDword(std::string_view name, uint32_t value, std::string* error = nullptr);
  bool WriteBinary(std::string_view name, const void* data, size_t size, std::string* error = nullptr);
  bool WriteString(std::string_view name, std::string_view value, std::string* error = nullptr);

  // False when the value did not exist or could not be deleted.
  bool DeleteValue(std::string_view name, std::string* error = nullptr);
  // Deletes the key `subpath` below this one with its values and every key below it.
  bool DeleteKey(std::string_view subpath, std::string* error = nullptr);

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;  // HKEY
#else
  RegistryRoot root_ = RegistryRoot::kNone;
  std::string folder_;              // the root file's folder, fixed when the key was opened
  std::vector<std::string> names_;  // the key's path below the root
#endif
};

#if !defined(_WIN32)
// The file that holds `root` under the current environment; false (with `error`) for kNone or when no
// folder can be found (no KVO_REGISTRY_DIR, XDG_CONFIG_HOME or HOME for a per-user root).
bool RegistryRootFile(RegistryRoot root, std::string* file, std::string* error);
#endif

}  // namespace kvo::platform
