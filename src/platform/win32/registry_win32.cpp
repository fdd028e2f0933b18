// The registry store on Windows: the system registry through advapi32.
#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/registry.h"

namespace kvo::platform {
namespace {

void SetError(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

std::string SystemMessage(std::string_view what, LONG code) {
  std::string message(what);
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  message += ": ";
  if (length > 0) {
    message.append(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
      message.pop_back();
    }
  } else {
    message += "error " + std::to_string(code);
  }
  return message;
}

HKEY RootHandle(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      return HKEY_USERS;
    case RegistryRoot::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case RegistryRoot::kNone:
      break;
  }
  return nullptr;
}

// The system takes NUL-terminated names, so a NUL inside would silently cut the name short.
bool ToCName(std::string_view name, std::string* out, std::string* error) {
  if (name.find('\0') != std::string_view::npos) {
    SetError(error, "a registry name cannot hold a NUL character");
    return false;
  }
  out->assign(name);
  return true;
}

// Outer separators are ignored, as on POSIX; the system refuses a leading one.
bool ToKeyPath(std::string_view path, std::string* out, std::string* error) {
  while (!path.empty() && path.front() == '\\')
    path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  if (path.find("\\\\") != std::string_view::npos) {
    SetError(error, "empty key name in '" + std::string(path) + "'");
    return false;
  }
  return ToCName(path, out, error);
}

bool Query(void* handle, std::string_view name, DWORD* type, std::string* data) {
  std::string c_name;
  if (handle == nullptr || !ToCName(name, &c_name, nullptr)) return false;
  const HKEY key = static_cast<HKEY>(handle);
  DWORD size = 0;
  if (RegQueryValueExA(key, c_name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (data == nullptr) return true;
  // The value may grow between the two calls.
  while (true) {
    data->assign(size, '\0');
    DWORD got = size;
    const LONG result =
        RegQueryValueExA(key, c_name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(data->data()), &got);
    if (result == ERROR_SUCCESS) {
      data->resize(got);
      return true;
    }
    if (result != ERROR_MORE_DATA) return false;
    size = got;
  }
}

bool Set(void* handle, std::string_view name, DWORD type, const void* data, size_t size, std::string* error) {
  if (handle == nullptr) {
    SetError(error, "the key is not open");
    return false;
  }
  std::string c_name;
  if (!ToCName(name, &c_name, error)) return false;
  const LONG result = RegSetValueExA(static_cast<HKEY>(handle), c_name.c_str(), 0, type,
                                     static_cast<const BYTE*>(data), static_cast<DWORD>(size));
  if (result != ERROR_SUCCESS) {
    SetError(error, SystemMessage("cannot write the value '" + c_name + "'", result));
    return false;
  }
  return true;
}

}  // namespace

RegistryKey::~RegistryKey() {
  Close();
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool RegistryKey::IsOpen() const {
  return handle_ != nullptr;
}

void RegistryKey::Close() {
  if (handle_ != nullptr) RegCloseKey(static_cast<HKEY>(handle_));
  handle_ = nullptr;
}

bool RegistryKey::Open(RegistryRoot root, std::string_view path, bool create, RegistryKey* key,
                       std::string* error) {
  key->Close();
  const HKEY root_handle = RootHandle(root);
  if (root_handle == nullptr) {
    SetError(error, "no registry root selected");
    return false;
  }
  std::string c_path;
  if (!ToKeyPath(path, &c_path, error)) return false;
  HKEY handle = nullptr;
  const LONG result = create
                          ? RegCreateKeyExA(root_handle, c_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &handle, nullptr)
                          : RegOpenKeyExA(root_handle, c_path.c_str(), 0, KEY_ALL_ACCESS, &handle);
  if (result != ERROR_SUCCESS) {
    SetError(error, SystemMessage("cannot open the key '" + c_path + "'", result));
    return false;
  }
  key->handle_ = handle;
  return true;
}

bool RegistryKey::ValueExists(std::string_view name) const {
  return Type(name) != ValueKind::kNone;
}

ValueKind RegistryKey::Type(std::string_view name) const {
  DWORD type = REG_NONE;
  if (!Query(handle_, name, &type, nullptr)) return ValueKind::kNone;
  switch (type) {
    case REG_DWORD:
      return ValueKind::kDword;
    case REG_BINARY:
      return ValueKind::kBinary;
    case REG_SZ:
      return ValueKind::kString;
    default:
      return ValueKind::kOther;
  }
}

bool RegistryKey::ReadDword(std::string_view name, uint32_t* value) const {
  DWORD type = REG_NONE;
  std::string data;
  if (!Query(handle_, name, &type, &data) || type != REG_DWORD || data.size() != sizeof(uint32_t))
    return false;
  std::memcpy(value, data.data(), sizeof(uint32_t));
  return true;
}

bool RegistryKey::ReadBinary(std::string_view name, void* data, size_t size) const {
  DWORD type = REG_NONE;
  std::string bytes;
  if (!Query(handle_, name, &type, &bytes) || type != REG_BINARY || bytes.size() != size) return false;
  if (size != 0) std::memcpy(data, bytes.data(), size);
  return true;
}

bool RegistryKey::ReadString(std::string_view name, std::string* value) const {
  DWORD type = REG_NONE;
  std::string data;
  if (!Query(handle_, name, &type, &data) || type != REG_SZ) return false;
  data.resize(std::strlen(data.c_str()));  // stored with its terminating NUL, or without when written so
  *value = std::move(data);
  return true;
}

bool RegistryKey::WriteDword(std::string_view name, uint32_t value, std::string* error) {
  const DWORD data = value;
  return Set(handle_, name, REG_DWORD, &data, sizeof data, error);
}

bool RegistryKey::WriteBinary(std::string_view name, const void* data, size_t size, std::string* error) {
  return Set(handle_, name, REG_BINARY, data, size, error);
}

bool RegistryKey::WriteString(std::string_view name, std::string_view value, std::string* error) {
  const std::string text(value.substr(0, value.find('\0')));
  return Set(handle_, name, REG_SZ, text.c_str(), text.size() + 1, error);
}

bool RegistryKey::DeleteValue(std::string_view name, std::string* error) {
  if (handle_ == nullptr) {
    SetError(error, "the key is not open");
    return false;
  }
  std::string c_name;
  if (!ToCName(name, &c_name, error)) return false;
  const LONG result = RegDeleteValueA(static_cast<HKEY>(handle_), c_name.c_str());
  if (result != ERROR_SUCCESS) {
    SetError(error, SystemMessage("cannot delete the value '" + c_name + "'", result));
    return false;
  }
  return true;
}

bool RegistryKey::DeleteKey(std::string_view subpath, std::string* error) {
  if (handle_ == nullptr) {
    SetError(error, "the key is not open");
    return false;
  }
  std::string c_path;
  if (!ToKeyPath(subpath, &c_path, error)) return false;
  if (c_path.empty()) {
    SetError(error, "no key to delete was named");
    return false;
  }
  const LONG result = RegDeleteTreeA(static_cast<HKEY>(handle_), c_path.c_str());
  if (result != ERROR_SUCCESS) {
    SetError(error, SystemMessage("cannot delete the key '" + c_path + "'", result));
    return false;
  }
  return true;
}

}  // namespace kvo::platform
