// The registry store on POSIX: one file per root in the registry editor's export format.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "platform/text_codec.h"

namespace kvo::platform {
namespace {

using registry_file::EnsureKey;
using registry_file::EraseTree;
using registry_file::FindKey;
using registry_file::FindValue;
using registry_file::HasLineBreak;
using registry_file::Hive;
using registry_file::Key;
using registry_file::kTypeBinary;
using registry_file::kTypeDword;
using registry_file::kTypeString;
using registry_file::SplitKeyPath;
using registry_file::Value;

void SetError(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

std::string SystemError(std::string_view what, const std::string& path, int code) {
  std::string message(what);
  message += " '" + path + "': ";
  message += std::strerror(code);
  return message;
}

// ---- Files, folders and the lock ----------------------------------------------------------------------

bool IsPerUserRoot(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser || root == RegistryRoot::kClassesRoot;
}

bool RootFolder(RegistryRoot root, std::string* folder, std::string* error) {
  if (RegistryRootName(root).empty()) {
    SetError(error, "no registry root selected");
    return false;
  }
  if (const char* dir = std::getenv("KVO_REGISTRY_DIR"); dir && *dir) {
    *folder = dir;
    return true;
  }
  if (!IsPerUserRoot(root)) {
    *folder = "/var/lib/kvo/registry";
    return true;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    *folder = std::string(config) + "/kvo/registry";
    return true;
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    *folder = std::string(home) + "/.config/kvo/registry";
    return true;
  }
  SetError(error, "no folder for the per-user registry: neither XDG_CONFIG_HOME nor HOME is set");
  return false;
}

std::string RootPath(const std::string& folder, RegistryRoot root, std::string_view extension) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += RegistryRootName(root);
  path += extension;
  return path;
}

bool MakeFolders(const std::string& folder, mode_t mode, std::string* error) {
  for (size_t slash = 1; slash <= folder.size(); ++slash) {
    if (slash != folder.size() && folder[slash] != '/') continue;
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
      SetError(error, SystemError("cannot create the folder", part, errno));
      return false;
    }
  }
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    SetError(error, "'" + folder + "' is not a folder");
    return false;
  }
  return true;
}

// Full access needs the file replaceable: a writable folder, and a writable regular file if one exists.
bool CheckWritable(RegistryRoot root, const std::string& folder, std::string* error) {
  if (!MakeFolders(folder, IsPerUserRoot(root) ? 0700 : 0755, error)) return false;
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    SetError(error, SystemError("cannot write to the folder", folder, errno));
    return false;
  }
  const std::string file = RootPath(folder, root, ".reg");
  struct stat info;
  if (::stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;
    SetError(error, SystemError("cannot examine", file, errno));
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    SetError(error, "'" + file + "' is not a regular file");
    return false;
  }
  if (::access(file.c_str(), W_OK) != 0) {
    SetError(error, SystemError("cannot write to", file, errno));
    return false;
  }
  return true;
}

// An exclusive lock on the root's lock file, held while it lives. flock locks belong to the open file,
// so two handles in one process exclude each other as two processes do.
class RootLock {
 public:
  RootLock() = default;
  ~RootLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  RootLock(const RootLock&) = delete;
  RootLock& operator=(const RootLock&) = delete;

  bool Acquire(const std::string& path, std::string* error) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      SetError(error, SystemError("cannot open the lock file", path, errno));
      return false;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        SetError(error, SystemError("cannot lock", path, errno));
        return false;
      }
    }
    return true;
  }

 private:
  int fd_ = -1;
};

bool LoadHive(const std::string& folder, RegistryRoot root, Hive* hive, std::string* error) {
  hive->clear();
  const std::string file = RootPath(folder, root, ".reg");
  struct stat info;
  if (::stat(file.c_str(), &info) != 0 && errno == ENOENT) return true;  // a root with nothing in it yet
  std::string content;
  if (!ReadWholeFile(file, &content, error)) return false;
  registry_file::ReadHive(content, RegistryRootName(root), hive);
  return true;
}

// One locked read-modify-write of the root's file. `change` returns false to give up; it sets
// `*changed` when there is something to write.
bool ChangeHive(RegistryRoot root, const std::string& folder,
                const std::function<bool(Hive&, bool* changed, std::string* error)>& change,
                std::string* error) {
  RootLock lock;
  if (!lock.Acquire(RootPath(folder, root, ".lock"), error)) return false;
  Hive hive;
  if (!LoadHive(folder, root, &hive, error)) return false;
  bool changed = false;
  if (!change(hive, &changed, error)) return false;
  if (!changed) return true;
  return ReplaceFileAtomically(RootPath(folder, root, ".reg"),
                               registry_file::WriteHive(hive, RegistryRootName(root)), error);
}

bool CheckValueName(std::string_view name, std::string* error) {
  if (!HasLineBreak(name)) return true;
  SetError(error, "a value name cannot hold a line break");
  return false;
}

}  // namespace

bool RegistryRootFile(RegistryRoot root, std::string* file, std::string* error) {
  std::string folder;
  if (!RootFolder(root, &folder, error)) return false;
  *file = RootPath(folder, root, ".reg");
  return true;
}

RegistryKey::~RegistryKey() = default;

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : root_(std::exchange(other.root_, RegistryRoot::kNone)),
      folder_(std::move(other.folder_)),
      names_(std::move(other.names_)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    root_ = std::exchange(other.root_, RegistryRoot::kNone);
    folder_ = std::move(other.folder_);
    names_ = std::move(other.names_);
  }
  return *this;
}

bool RegistryKey::IsOpen() const {
  return root_ != RegistryRoot::kNone;
}

void RegistryKey::Close() {
  root_ = RegistryRoot::kNone;
  folder_.clear();
  names_.clear();
}

bool RegistryKey::Open(RegistryRoot root, std::string_view path, bool create, RegistryKey* key,
                       std::string* error) {
  key->Close();
  std::string folder;
  std::vector<std::string> names;
  if (!RootFolder(root, &folder, error) || !SplitKeyPath(path, &names, error) ||
      !CheckWritable(root, folder, error)) {
    return false;
  }
  if (create) {
    const bool created = ChangeHive(
        root, folder,
        [&](Hive& hive, bool* changed, std::string*) {
          *changed = !names.empty() && FindKey(hive, names) == nullptr;
          if (*changed) EnsureKey(hive, names);
          return true;
        },
        error);
    if (!created) return false;
  } else if (!names.empty()) {
    Hive hive;
    if (!LoadHive(folder, root, &hive, error)) return false;
    if (FindKey(hive, names) == nullptr) {
      SetError(error, "the key '" + std::string(path) + "' does not exist");
      return false;
    }
  }
  key->root_ = root;
  key->folder_ = std::move(folder);
  key->names_ = std::move(names);
  return true;
}

namespace {

// The value as it is now, or none; reads see the file's latest replacement.
bool Snapshot(RegistryRoot root, const std::string& folder, const std::vector<std::string>& names,
              std::string_view name, Value* out) {
  if (root == RegistryRoot::kNone) return false;
  Hive hive;
  if (!LoadHive(folder, root, &hive, nullptr)) return false;
  Key* key = FindKey(hive, names);
  if (key == nullptr) return false;
  const Value* value = FindValue(*key, name);
  if (value == nullptr) return false;
  *out = *value;
  return true;
}

ValueKind KindOf(uint32_t type) {
  switch (type) {
    case kTypeString:
      return ValueKind::kString;
    case kTypeBinary:
      return ValueKind::kBinary;
    case kTypeDword:
      return ValueKind::kDword;
    default:
      return ValueKind::kOther;
  }
}

}  // namespace

bool RegistryKey::ValueExists(std::string_view name) const {
  return Type(name) != ValueKind::kNone;
}

ValueKind RegistryKey::Type(std::string_view name) const {
  Value value;
  return Snapshot(root_, folder_, names_, name, &value) ? KindOf(value.type) : ValueKind::kNone;
}

bool RegistryKey::ReadDword(std::string_view name, uint32_t* number) const {
  Value value;
  if (!Snapshot(root_, folder_, names_, name, &value) || value.type != kTypeDword || value.data.size() != 4) {
    return false;
  }
  uint32_t result = 0;
  for (int i = 3; i >= 0; --i)
    result = (result << 8) | static_cast<unsigned char>(value.data[i]);
  *number = result;
  return true;
}

bool RegistryKey::ReadBinary(std::string_view name, void* data, size_t size) const {
  Value value;
  if (!Snapshot(root_, folder_, names_, name, &value) || value.type != kTypeBinary ||
      value.data.size() != size) {
    return false;
  }
  if (size != 0) std::memcpy(data, value.data.data(), size);
  return true;
}

bool RegistryKey::ReadString(std::string_view name, std::string* text) const {
  Value value;
  if (!Snapshot(root_, folder_, names_, name, &value) || value.type != kTypeString) return false;
  *text = std::move(value.data);
  return true;
}

namespace {

bool SetValue(RegistryRoot root, const std::string& folder, const std::vector<std::string>& names,
              std::string_view name, uint32_t type, std::string data, std::string* error) {
  if (root == RegistryRoot::kNone) {
    SetError(error, "the key is not open");
    return false;
  }
  if (!CheckValueName(name, error)) return false;
  return ChangeHive(
      root, folder,
      [&](Hive& hive, bool* changed, std::string* change_error) {
        Key* key = names.empty() ? &EnsureKey(hive, names) : FindKey(hive, names);
        if (key == nullptr) {
          SetError(change_error, "the key has been deleted");
          return false;
        }
        if (Value* value = FindValue(*key, name)) {
          value->type = type;
          value->data = std::move(data);
        } else {
          key->values.push_back(Value{std::string(name), type, std::move(data)});
        }
        *changed = true;
        return true;
      },
      error);
}

}  // namespace

bool RegistryKey::WriteDword(std::string_view name, uint32_t value, std::string* error) {
  std::string bytes;
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return SetValue(root_, folder_, names_, name, kTypeDword, std::move(bytes), error);
}

bool RegistryKey::WriteBinary(std::string_view name, const void* data, size_t size, std::string* error) {
  std::string bytes(size, '\0');
  if (size != 0) std::memcpy(bytes.data(), data, size);
  return SetValue(root_, folder_, names_, name, kTypeBinary, std::move(bytes), error);
}

bool RegistryKey::WriteString(std::string_view name, std::string_view value, std::string* error) {
  return SetValue(root_, folder_, names_, name, kTypeString, std::string(value.substr(0, value.find('\0'))),
                  error);
}

bool RegistryKey::DeleteValue(std::string_view name, std::string* error) {
  if (!IsOpen()) {
    SetError(error, "the key is not open");
    return false;
  }
  return ChangeHive(
      root_, folder_,
      [&](Hive& hive, bool* changed, std::string* change_error) {
        Key* key = FindKey(hive, names_);
        const size_t removed =
            key ? std::erase_if(key->values, [&](const Value& v) { return SameTextLocale(v.name, name); })
                : 0;
        if (removed == 0) {
          SetError(change_error, "the value '" + std::string(name) + "' does not exist");
          return false;
        }
        *changed = true;
        return true;
      },
      error);
}

bool RegistryKey::DeleteKey(std::string_view subpath, std::string* error) {
  if (!IsOpen()) {
    SetError(error, "the key is not open");
    return false;
  }
  std::vector<std::string> sub;
  if (!SplitKeyPath(subpath, &sub, error)) return false;
  if (sub.empty()) {
    SetError(error, "no key to delete was named");
    return false;
  }
  std::vector<std::string> names = names_;
  names.insert(names.end(), sub.begin(), sub.end());
  return ChangeHive(
      root_, folder_,
      [&](Hive& hive, bool* changed, std::string* change_error) {
        *changed = EraseTree(hive, names);
        if (!*changed) SetError(change_error, "the key '" + std::string(subpath) + "' does not exist");
        return *changed;
      },
      error);
}

}  // namespace kvo::platform
