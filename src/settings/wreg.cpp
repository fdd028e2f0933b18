#include "settings/wreg.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/lock.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "runtime/application.h"
#include "runtime/enum_info.h"
#include "runtime/properties.h"
#include "runtime/publish.h"
#include "settings/big_ini.h"
#include "settings/escape_text.h"
#include "settings/float_text.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

constexpr std::string_view kRegistryRootNames[] = {
    "rrHKEY_CLASSES_ROOT", "rrHKEY_CURRENT_USER",   "rrHKEY_LOCAL_MACHINE",
    "rrHKEY_USERS",        "rrHKEY_CURRENT_CONFIG", "rrNone",
};
constexpr TEnumInfo kRegistryRootInfo{"TRegistryRoot", kRegistryRootNames};

constexpr size_t kMaxKeyNames = 255;
constexpr std::string_view kNullReference = "[[Null]]";

// A value that could not be read or written in the store's own form.
class EStoreValueError : public Exception {
 public:
  using Exception::Exception;
};

struct TCustomEntry {
  std::string Name;  // lower case
  TTypeKind Kind;
  std::unique_ptr<TWregCustomProp> Handler;
};

struct TCustomList {
  platform::Lock Lock;
  std::vector<TCustomEntry> Entries;  // guarded by Lock
};

// Lives until the process ends, so handlers registered at start-up serve every later operation.
TCustomList& CustomList() {
  static TCustomList list;
  return list;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Replaces `parts` with the pieces of `text`; a caller that splits many lines keeps one vector.
void SplitInto(std::string_view text, char delimiter, std::vector<std::string_view>& parts) {
  parts.clear();
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(delimiter, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::vector<std::string_view> Split(std::string_view text, char delimiter) {
  std::vector<std::string_view> parts;
  SplitInto(text, delimiter, parts);
  return parts;
}

// A value stored as text: a real number is written as people write it in a file they edit, in either
// store; everything else as its own text.
std::string StoredText(const Variant& value) {
  if (value.type() == platform::kVtR8 || value.type() == platform::kVtR4) return FloatText(value.ToDouble());
  return value.ToText();
}

bool IsNumberKind(TTypeKind kind) {
  return kind == tkInteger || kind == tkFloat || kind == tkVariant;
}
bool IsTextKind(TTypeKind kind) {
  return kind == tkChar || kind == tkString || kind == tkWChar || kind == tkLString || kind == tkWString;
}
bool IsIgnoredKind(TTypeKind kind) {
  return kind == tkUnknown || kind == tkSet || kind == tkMethod || kind > tkVariant;
}

void ShowAccessError(TWregOperation op, const std::string& value_name, const char* message) {
  const int size = std::snprintf(nullptr, 0, "Error while accessing: %d,%s [%s]", static_cast<int>(op),
                                 value_name.c_str(), message);
  std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
  std::snprintf(text.data(), text.size(), "Error while accessing: %d,%s [%s]", static_cast<int>(op),
                value_name.c_str(), message);
  text.resize(static_cast<size_t>(std::max(size, 0)));
  const std::string caption = Application().Title();
  platform::ShowMessageBox(text.c_str(), caption.c_str(), platform::MessageIcon::kError);
}

TComponent* WalkComponents(TComponent* from, const std::vector<std::string_view>& names, size_t first) {
  for (size_t i = first; i < names.size() && from != nullptr; ++i)
    from = from->FindComponent(names[i]);
  return from;
}

}  // namespace

TWregCustomProp::~TWregCustomProp() = default;
bool TWregCustomProp::GetValue(TObject&, const std::string&, bool, Variant&) {
  return false;
}
void TWregCustomProp::SetValue(TObject&, const std::string&, const Variant&) {}

TWregCustomProp* RegisterCustomProp(std::string_view name, TTypeKind kind,
                                    std::unique_ptr<TWregCustomProp> handler) {
  if (handler == nullptr) throw std::invalid_argument("RegisterCustomProp: no handler");
  TCustomList& list = CustomList();
  TWregCustomProp* const result = handler.get();
  std::lock_guard guard(list.Lock);
  list.Entries.push_back(TCustomEntry{LowerAscii(name), kind, std::move(handler)});
  return result;
}

bool UnregisterCustomProp(const TWregCustomProp* handler) {
  TCustomList& list = CustomList();
  std::unique_ptr<TWregCustomProp> removed;
  {
    std::lock_guard guard(list.Lock);
    auto it = std::find_if(list.Entries.begin(), list.Entries.end(),
                           [&](const TCustomEntry& e) { return e.Handler.get() == handler; });
    if (it == list.Entries.end()) return false;
    removed = std::move(it->Handler);
    list.Entries.erase(it);
  }
  return true;  // the handler is destroyed outside the lock
}

std::string GetComponentPath(const TComponent& component) {
  const TComponent* owner = component.Owner();
  const TApplication& application = Application();
  if (owner == &application) return "Application." + component.Name();
  if (owner != nullptr) return GetComponentPath(*owner) + "." + component.Name();
  if (&component == &application) return "Application";
  return component.Name();
}

TComponent* FindComponentByPath(std::string_view path, TComponent* start) {
  const std::vector<std::string_view> names = Split(path, '.');
  TComponent* application = &Application();
  if (names.size() > 1 && text::SameText(names[0], "APPLICATION")) {
    return WalkComponents(application, names, 1);
  }
  TComponent* found = start != nullptr ? WalkComponents(start, names, 0) : nullptr;
  if (found == nullptr) found = WalkComponents(application, names, 0);
  return found;
}

// --- Stores ---------------------------------------------------------------------------------------------

// One operation's view of the store: Locate selects a line's key or section, the rest act on it.
class TWreg::TStore {
 public:
  virtual ~TStore() = default;
  // False when the line's location cannot be used; the line is then skipped.
  virtual bool Locate(const std::vector<std::string_view>& key_parts, const std::string& value_name,
                      bool create) = 0;
  virtual bool Exists(const std::string& name) = 0;
  virtual int32_t ReadInteger(const std::string& name) = 0;
  virtual double ReadFloat(const std::string& name) = 0;
  virtual std::string ReadText(const std::string& name) = 0;
  virtual void WriteInteger(const std::string& name, int32_t value) = 0;
  virtual void WriteFloat(const std::string& name, double value) = 0;
  virtual void WriteText(const std::string& name, std::string_view value) = 0;
  virtual void Delete(const std::string& name) = 0;
  // After a value failed to load or save: the registry drops it so that the next load does not meet it.
  virtual void DropBadValue(const std::string& name) = 0;
  // Writes what is pending; errors propagate.
  virtual void Release() {}
};

class TWreg::TRegistryStore final : public TStore {
 public:
  TRegistryStore(platform::RegistryRoot root, std::string base) : root_(root), base_(std::move(base)) {}

  bool Locate(const std::vector<std::string_view>& key_parts, const std::string&, bool create) override {
    std::string path = base_;
    for (std::string_view part : key_parts) {
      if (!path.empty()) path += '\\';
      path += part;
    }
    return platform::RegistryKey::Open(root_, path, create, &key_, nullptr);
  }
  bool Exists(const std::string& name) override { return key_.ValueExists(name); }
  int32_t ReadInteger(const std::string& name) override {
    uint32_t value = 0;
    if (!key_.ReadDword(name, &value)) throw EStoreValueError("not a DWORD value: " + name);
    return static_cast<int32_t>(value);
  }
  double ReadFloat(const std::string& name) override {
    double value = 0;
    if (!key_.ReadBinary(name, &value, sizeof value)) throw EStoreValueError("not an 8-byte value: " + name);
    return value;
  }
  std::string ReadText(const std::string& name) override {
    std::string value;
    if (!key_.ReadString(name, &value)) throw EStoreValueError("not a string value: " + name);
    return value;
  }
  void WriteInteger(const std::string& name, int32_t value) override {
    std::string error;
    if (!key_.WriteDword(name, static_cast<uint32_t>(value), &error)) throw EStoreValueError(error);
  }
  void WriteFloat(const std::string& name, double value) override {
    std::string error;
    if (!key_.WriteBinary(name, &value, sizeof value, &error)) throw EStoreValueError(error);
  }
  void WriteText(const std::string& name, std::string_view value) override {
    std::string error;
    if (!key_.WriteString(name, value, &error)) throw EStoreValueError(error);
  }
  void Delete(const std::string& name) override { key_.DeleteValue(name); }
  void DropBadValue(const std::string& name) override { key_.DeleteValue(name); }

 private:
  platform::RegistryRoot root_;
  std::string base_;
  platform::RegistryKey key_;
};

class TWreg::TIniStore final : public TStore {
 public:
  TIniStore(const std::string& file, std::string prefix) : ini_(file), prefix_(std::move(prefix)) {}

  bool Locate(const std::vector<std::string_view>& key_parts, const std::string& value_name, bool) override {
    // A key-less line would address the whole section, and writing it would erase the section.
    if (value_name.empty()) return false;
    std::string section;
    for (std::string_view part : key_parts) {
      if (!section.empty()) section += '\\';
      section += part;
    }
    if (section.empty()) section = "Common";
    if (!prefix_.empty()) section = prefix_ + "." + section;
    std::replace(section.begin(), section.end(), '\\', '.');
    section_ = std::move(section);
    return true;
  }
  bool Exists(const std::string& name) override { return ini_.ValueExists(section_, name); }
  int32_t ReadInteger(const std::string& name) override { return ini_.ReadInteger(section_, name, 0); }
  double ReadFloat(const std::string& name) override { return ini_.ReadFloat(section_, name, 0); }
  std::string ReadText(const std::string& name) override { return ini_.ReadString(section_, name, ""); }
  void WriteInteger(const std::string& name, int32_t value) override {
    ini_.WriteInteger(section_, name, value);
  }
  void WriteFloat(const std::string& name, double value) override { ini_.WriteFloat(section_, name, value); }
  void WriteText(const std::string& name, std::string_view value) override {
    ini_.WriteString(section_, name, value);
  }
  void Delete(const std::string& name) override { ini_.DeleteKey(section_, name); }
  void DropBadValue(const std::string&) override {}
  void Release() override { ini_.UpdateFile(); }

 private:
  TBigIniFile ini_;
  std::string prefix_;
  std::string section_;
};

// --- TWreg ----------------------------------------------------------------------------------------------

struct TWreg::TResolved {
  TObject* Object = nullptr;
  std::string Name;
  TTypeKind Kind = tkUnknown;
  TComponent* Owner = nullptr;
  const PropInfo* Prop = nullptr;
};

constinit const PropInfo TWreg::kPublished[] = {
    Publish<TWreg>::Enumeration<&TWreg::RegistryRoot, &TWreg::SetRegistryRoot>("RegistryRoot",
                                                                               kRegistryRootInfo),
    Publish<TWreg>::Enumeration<&TWreg::SecondRegistryRoot, &TWreg::SetSecondRegistryRoot>(
        "SecondRegistryRoot", kRegistryRootInfo),
    Publish<TWreg>::String<&TWreg::FRegistryPath, &TWreg::SetRegistryPath>("RegistryPath"),
    Publish<TWreg>::String<&TWreg::FINIFile, &TWreg::SetINIFile>("INIFile"),
    Publish<TWreg>::String<&TWreg::FINIFileSectionPrefix, &TWreg::SetINIFileSectionPrefix>(
        "INIFileSectionPrefix"),
    Publish<TWreg>::Object<&TWreg::FComponents, &TWreg::SetComponents>("Components"),
    Publish<TWreg>::Method<&TWreg::SetValue>("SetValue"),
    Publish<TWreg>::Method<&TWreg::GetValue>("GetValue"),
    Publish<TWreg>::Method<&TWreg::BeforeProcessItem>("BeforeProcessItem"),
};
constinit const TClassInfo TWreg::StaticClass{"TWreg", &TComponent::StaticClass, TWreg::kPublished};

TWreg::TWreg(TComponent* owner) : TComponent(owner) {}
TWreg::~TWreg() = default;

void TWreg::SetComponents(const TStrings* lines) {
  if (lines == nullptr) {
    FComponents.Clear();
  } else if (lines != &FComponents) {
    FComponents.Assign(*lines);
  }
}

bool TWreg::LoadFromStore(TComponent* root) {
  return Run(root, TWregOperation::Load);
}
bool TWreg::SaveToStore(TComponent* root) {
  return Run(root, TWregOperation::Save);
}

bool TWreg::Run(TComponent* root, TWregOperation op) {
  struct RootScope {
    TComponent*& root;
    ~RootScope() { root = nullptr; }
  } scope{FRoot};
  FRoot = root;
  FLastError.clear();
  const bool save = op == TWregOperation::Save;

  if (!FINIFile.empty() && (save || platform::FileExists(FINIFile))) {
    TIniStore store(FINIFile, FINIFileSectionPrefix);
    ProcessLines(store, op);
    store.Release();
    return true;
  }

  std::string base = FRegistryPath;
  while (!base.empty() && base.back() == '\\')
    base.pop_back();
  platform::RegistryRoot used = platform::RegistryRoot::kNone;
  std::string why;
  for (TRegistryRoot candidate : {FRegistryRoot, FSecondRegistryRoot}) {
    if (candidate >= rrNone) break;
    const auto root_id = static_cast<platform::RegistryRoot>(candidate);
    platform::RegistryKey probe;
    std::string error;
    if (platform::RegistryKey::Open(root_id, base, save, &probe, &error)) {
      used = root_id;
      break;
    }
    if (!error.empty()) why += (why.empty() ? "" : "; ") + error;
  }
  if (used == platform::RegistryRoot::kNone) {
    FLastError = "The settings key \"" + base + "\" cannot be opened" + (why.empty() ? "" : ": " + why);
    return false;
  }
  TRegistryStore store(used, std::move(base));
  ProcessLines(store, op);
  return true;
}

TWreg::TResolved TWreg::Resolve(std::string_view path) const {
  const auto Unresolved = [](TComponent* owner) {
    TResolved unresolved;
    unresolved.Owner = owner;
    return unresolved;
  };
  const std::vector<std::string_view> names = Split(path, '.');
  TResolved result;
  size_t next = 0;
  TComponent* start = nullptr;
  if (names.size() >= 3) {
    start = Application().FindComponent(names[0]);
    if (start != nullptr) next = 1;
  }
  // No main form exists in this runtime, so without a root only application-owned paths resolve.
  if (start == nullptr) start = FRoot;
  if (start == nullptr) return result;
  result.Owner = start;

  TObject* current = start;
  if (names.size() - next >= 2) {
    TComponent* child = start->FindComponent(names[next]);
    if (child == nullptr) return Unresolved(start);
    current = child;
    ++next;
  }
  for (;;) {
    const std::string_view name = names[next++];
    result.Name = std::string(name);
    const PropInfo* prop = GetPropInfo(*current, name);
    if (prop == nullptr) {
      result.Kind = tkUnknown;
      break;
    }
    result.Kind = prop->Kind;
    result.Prop = prop;
    if (next < names.size() && prop->Kind == tkClass) {
      TObject* inner = GetObjectProp(*current, *prop);
      if (inner == nullptr) return Unresolved(start);
      current = inner;
      continue;
    }
    break;
  }
  result.Object = current;
  return result;
}

void TWreg::ProcessLines(TStore& store, TWregOperation op) {
  const bool save = op == TWregOperation::Save;
  // Reused from line to line: a map has dozens of lines.
  std::vector<std::string_view> fields;
  std::vector<std::string_view> key_path_parts;
  std::vector<std::string_view> key_names;
  for (int32_t index = 0; index < FComponents.Count(); ++index) {
    const std::string_view line = text::Trim(FComponents[index]);
    if (line.empty() || line.front() == ';') continue;
    SplitInto(line, ',', fields);
    const std::string_view property_path = text::Trim(fields[0]);
    if (property_path.empty()) continue;
    const std::string_view key_path = fields.size() > 1 ? text::Trim(fields[1]) : std::string_view{};

    key_names.clear();
    SplitInto(key_path, '\\', key_path_parts);
    for (std::string_view name : key_path_parts) {
      if (name.empty() || key_names.size() == kMaxKeyNames) break;
      key_names.push_back(name);
    }
    std::string value_name;
    if (!key_names.empty()) {
      value_name = std::string(key_names.back());
      key_names.pop_back();
    }
    if (!store.Locate(key_names, value_name, save)) continue;

    const TResolved item = Resolve(property_path);
    bool is_require_processing = item.Object != nullptr;
    bool is_virtual = item.Object == nullptr;
    TTypeKind item_type = item.Kind;
    BeforeProcessItem(*this, item.Name, index, is_require_processing, is_virtual, item_type);
    if (!is_require_processing) continue;

    if (item_type != tkUnknown) {
      if (save) {
        SaveItem(store, item, value_name, index, is_virtual, item_type);
      } else {
        LoadItem(store, item, value_name, index, is_virtual, item_type);
      }
    } else if (item.Object != nullptr && !item.Name.empty() && item.Name.front() == '*') {
      ProcessCustom(store, item, value_name, op);
    }
  }
}

void TWreg::LoadItem(TStore& store, const TResolved& item, const std::string& value_name, int32_t index,
                     bool is_virtual, TTypeKind kind) {
  if (IsIgnoredKind(kind) || !store.Exists(value_name)) return;
  Variant value;
  std::string text_value;
  try {
    if (kind == tkInteger) {
      value = Variant::FromInt(store.ReadInteger(value_name));
    } else if (kind == tkFloat) {
      value = Variant::FromDouble(store.ReadFloat(value_name));
    } else {
      text_value = store.ReadText(value_name);
      value =
          kind == tkClass && text_value == kNullReference ? Variant::Null() : Variant::FromText(text_value);
    }
    if (!is_virtual) {
      if (item.Object == nullptr || item.Prop == nullptr) throw EStoreValueError("no property");
      TObject& object = *item.Object;
      const PropInfo& prop = *item.Prop;
      if (IsNumberKind(kind)) {
        SetPropValue(object, prop, value);
      } else if (IsTextKind(kind)) {
        SetPropValue(object, prop, Variant::FromText(UnescapeText(text_value)));
      } else if (kind == tkEnumeration) {
        if (!text_value.empty()) SetEnumProp(object, prop, text_value);
      } else if (kind == tkClass) {
        TObject* current = GetObjectProp(object, prop);
        if (auto* lines = dynamic_cast<TStrings*>(current)) {
          lines->SetText(UnescapeText(text_value));
        } else if (IsMissing(value)) {
          if (item.Name.find("Dock") == std::string::npos) SetObjectProp(object, prop, nullptr);
        } else {
          TComponent* found = FindComponentByPath(text_value, item.Owner);
          if (found != nullptr || text_value.empty()) SetObjectProp(object, prop, found);
        }
      }
      return;
    }
  } catch (const std::exception&) {
    store.DropBadValue(value_name);
    return;
  }
  try {
    SetValue(*this, item.Name, index, value);
  } catch (const std::exception& e) {
    ShowAccessError(TWregOperation::Load, value_name, e.what());
  }
}

void TWreg::SaveItem(TStore& store, const TResolved& item, const std::string& value_name, int32_t index,
                     bool is_virtual, TTypeKind kind) {
  Variant value;
  try {
    if (is_virtual) {
      GetValue(*this, item.Name, index, value);
    } else {
      value = Variant::Null();
      if (item.Object == nullptr || item.Prop == nullptr) throw EStoreValueError("no property");
      const TObject& object = *item.Object;
      const PropInfo& prop = *item.Prop;
      if (IsNumberKind(kind)) {
        value = GetPropValue(object, prop);
      } else if (IsTextKind(kind)) {
        value = Variant::FromText(EscapeText(GetPropValue(object, prop).ToText()));
      } else if (kind == tkEnumeration) {
        value = Variant::FromText(GetEnumProp(object, prop));
      } else if (kind == tkClass) {
        TObject* current = GetObjectProp(object, prop);
        if (const auto* lines = dynamic_cast<const TStrings*>(current)) {
          value = Variant::FromText(EscapeText(lines->Text()));
        } else if (const auto* component = dynamic_cast<const TComponent*>(current)) {
          value = Variant::FromText(GetComponentPath(*component));
        }
      }
    }
  } catch (const std::exception& e) {
    ShowAccessError(TWregOperation::Save, value_name, e.what());
    return;
  }
  try {
    if (IsMissing(value)) {
      store.Delete(value_name);
    } else if (kind == tkInteger) {
      store.WriteInteger(value_name, value.ToInt());
    } else if (kind == tkFloat) {
      store.WriteFloat(value_name, value.ToDouble());
    } else if (!IsIgnoredKind(kind)) {
      store.WriteText(value_name, StoredText(value));
    }
  } catch (const std::exception&) {
    store.DropBadValue(value_name);
  }
}

void TWreg::ProcessCustom(TStore& store, const TResolved& item, const std::string& value_name,
                          TWregOperation op) {
  const std::string name = LowerAscii(std::string_view(item.Name).substr(1));
  std::string failure;
  {
    TCustomList& list = CustomList();
    std::lock_guard guard(list.Lock);
    try {
      for (TCustomEntry& entry : list.Entries) {
        if (entry.Name != name) continue;
        if (op == TWregOperation::Load) {
          const std::string stored = store.Exists(value_name) ? store.ReadText(value_name) : std::string();
          entry.Handler->SetValue(*item.Object, name, Variant::FromText(stored));
        } else {
          Variant value;
          if (entry.Handler->GetValue(*item.Object, name, true, value) && !IsMissing(value)) {
            store.WriteText(value_name, StoredText(value));
          }
        }
      }
    } catch (const std::exception& e) {
      failure = e.what();
      if (failure.empty()) failure = "error";
    }
  }
  // The message box blocks, so it waits until the handler lock is free.
  if (!failure.empty()) ShowAccessError(op, value_name, failure.c_str());
}

}  // namespace kvo
