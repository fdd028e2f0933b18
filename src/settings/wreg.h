// TWreg: copies named published properties of a form's components to a settings store (a registry key or
// an INI file) and back. A property map line "path.to.Property,Key\Parts\ValueName" names each value; a
// path that reaches no component is a virtual value, which the owner receives and supplies through the
// SetValue and GetValue events. Text is kept escaped (escape_text.h); numbers keep their own form.
//
// Custom property handlers (final path name "*Name") serve values that are no published property; their
// list is process-wide.
//
// Thread contract: a TWreg, and the components it moves values of, are used by one thread at a time. The
// custom-handler list is shared: registration, removal and look-up take its lock, which is also held while
// the handlers of one map line run (so a handler must not register or unregister handlers).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "params/variant.h"
#include "runtime/component.h"
#include "runtime/string_list.h"
#include "runtime/type_kind.h"
#include "settings/wreg_types.h"

namespace kvo {

// A custom property handler: serves the values of map lines whose final name is "*" + its name.
class TWregCustomProp {
 public:
  TWregCustomProp() = default;
  TWregCustomProp(const TWregCustomProp&) = delete;
  TWregCustomProp& operator=(const TWregCustomProp&) = delete;
  virtual ~TWregCustomProp();

  // Save: true with `value` set when the handler serves `component`; the base serves nothing.
  virtual bool GetValue(TObject& component, const std::string& name, bool flag, Variant& value);
  // Load: `value` is the stored text ("" when missing); the base ignores it.
  virtual void SetValue(TObject& component, const std::string& name, const Variant& value);
};

// Adds a handler for the property `name` (letter case ignored), after those already registered; the list
// owns it until it is unregistered or the process ends. Returns the handler, the key for unregistering.
TWregCustomProp* RegisterCustomProp(std::string_view name, TTypeKind kind,
                                    std::unique_ptr<TWregCustomProp> handler);
// Removes and destroys a registered handler; false when it is not registered.
bool UnregisterCustomProp(const TWregCustomProp* handler);

// "Application.Form1.Edit1" for a component owned by Form1, which the application owns; a component
// without owner gives its own name ("Application" for the application object).
std::string GetComponentPath(const TComponent& component);
// The component a GetComponentPath text names, searched from `start` (which may be null) and then from
// the application object; null when there is none.
TComponent* FindComponentByPath(std::string_view path, TComponent* start);

enum class TWregOperation : int32_t { Load = 0, Save = 1 };

class TWreg : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TWreg(TComponent* owner);
  ~TWreg() override;

  // Store to properties. `root` is where property paths start (none: paths reach only components the
  // application owns). False when the registry store could not be opened. Errors of path resolution and
  // of BeforeProcessItem, and I/O errors of the INI file, propagate; the store is released anyway.
  bool LoadFromStore(TComponent* root);
  // Properties to store; as LoadFromStore.
  bool SaveToStore(TComponent* root);

  // Published properties, in this order.
  TRegistryRoot RegistryRoot() const noexcept { return FRegistryRoot; }
  void SetRegistryRoot(TRegistryRoot root) noexcept { FRegistryRoot = root; }
  TRegistryRoot SecondRegistryRoot() const noexcept { return FSecondRegistryRoot; }
  void SetSecondRegistryRoot(TRegistryRoot root) noexcept { FSecondRegistryRoot = root; }
  const std::string& RegistryPath() const noexcept { return FRegistryPath; }
  void SetRegistryPath(std::string_view path) { FRegistryPath = path; }
  const std::string& INIFile() const noexcept { return FINIFile; }
  void SetINIFile(std::string_view file) { FINIFile = file; }
  const std::string& INIFileSectionPrefix() const noexcept { return FINIFileSectionPrefix; }
  void SetINIFileSectionPrefix(std::string_view prefix) { FINIFileSectionPrefix = prefix; }
  // The owned components stay reachable beside the property map of the same name.
  using TComponent::Components;
  // The property map; assigning copies the lines.
  TStringList& Components() noexcept { return FComponents; }
  const TStringList& Components() const noexcept { return FComponents; }
  void SetComponents(const TStrings* lines);
  TSetValueProc SetValue;
  TGetValueProc GetValue;
  TBeforeProcessItemProc BeforeProcessItem;

  // Why the last operation returned false ("" after one that did not).
  const std::string& LastError() const noexcept { return FLastError; }

  // The root of the running operation; null between operations.
  TComponent* Root() const noexcept { return FRoot; }

 private:
  static const PropInfo kPublished[];
  class TStore;
  class TRegistryStore;
  class TIniStore;
  struct TResolved;

  bool Run(TComponent* root, TWregOperation op);
  void ProcessLines(TStore& store, TWregOperation op);
  TResolved Resolve(std::string_view path) const;
  void LoadItem(TStore& store, const TResolved& item, const std::string& value_name, int32_t index,
                bool is_virtual, TTypeKind kind);
  void SaveItem(TStore& store, const TResolved& item, const std::string& value_name, int32_t index,
                bool is_virtual, TTypeKind kind);
  void ProcessCustom(TStore& store, const TResolved& item, const std::string& value_name, TWregOperation op);

  TRegistryRoot FRegistryRoot = rrHKEY_LOCAL_MACHINE;
  TRegistryRoot FSecondRegistryRoot = rrHKEY_CURRENT_USER;
  std::string FRegistryPath = "\\Software\\Company name\\App name";
  std::string FINIFile;
  std::string FINIFileSectionPrefix;
  TStringList FComponents;
  TComponent* FRoot = nullptr;
  std::string FLastError;
};

}  // namespace kvo
