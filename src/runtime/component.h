// Components: named objects with an owner that destroys them, found by name among their owner's
// components, and the hook that runs after a component's values have been set.
//
// Ownership: a component constructed with an owner is added to the end of the owner's list. When the
// owner is destroyed it destroys its components, the last created first (as the forms' component model
// does). A component destroyed by anyone else first leaves its owner's list, so it is never destroyed
// twice. The owner's list is emptied from TComponent's destructor, that is after the derived class's
// members are gone; a descendant whose components use its members calls DestroyComponents() in its own
// destructor.
//
// Names are empty or identifiers (letters, digits, "_", not starting with a digit), unique among an
// owner's components ignoring the case of A-Z.
//
// Thread contract: a component, its owner and its owned components are used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/persistent.h"

namespace kvo {

enum class TOperation : uint8_t { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  // Published "Name" and "Tag".
  const std::string& Name() const noexcept { return FName; }
  // Raises EComponentError for a name that is no identifier or that another component of the owner has.
  void SetName(std::string_view name);
  int32_t Tag() const noexcept { return FTag; }
  void SetTag(int32_t tag) noexcept { FTag = tag; }

  TComponent* Owner() const noexcept { return FOwner; }
  TPersistent* GetOwner() const noexcept override { return FOwner; }

  int32_t ComponentCount() const noexcept { return static_cast<int32_t>(FComponents.size()); }
  // Raises EComponentError for an index out of range.
  TComponent* Components(int32_t index) const;
  // Position in the owner's list, or -1 without an owner.
  int32_t ComponentIndex() const noexcept;
  // The owned component named `name` ignoring the case of A-Z, or null (always null for "").
  TComponent* FindComponent(std::string_view name) const noexcept;

  // Takes `component` from its current owner (if any) into this one's list; RemoveComponent lets it go
  // without destroying it. Both tell this component through Notification.
  void InsertComponent(TComponent& component);
  void RemoveComponent(TComponent& component);
  // Destroys every owned component now, the last created first.
  void DestroyComponents() noexcept;

  // True from the start of a component's destruction.
  bool Destroying() const noexcept { return FDestroying; }
  // True between the construction of a loaded component (data modules, forms) and its Loaded().
  bool Loading() const noexcept { return FLoading; }

  // Runs when the component's property values are complete (after its construction); the base ends the
  // loading state. Overrides call the base version.
  virtual void Loaded();

 protected:
  // An owned component was inserted or is being removed.
  virtual void Notification(TComponent& component, TOperation operation);
  void SetLoading(bool loading) noexcept { FLoading = loading; }

 private:
  static const PropInfo kPublished[];

  std::string FName;
  int32_t FTag = 0;
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  bool FDestroying = false;
  bool FLoading = false;
};

}  // namespace kvo
