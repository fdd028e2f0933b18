// Ownership lists, name rules and lookup of components.
#include "runtime/component.h"

#include <algorithm>
#include <string>

#include "runtime/publish.h"
#include "runtime/runtime_errors.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

bool IsIdentifierStart(char c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentifier(std::string_view name) noexcept {
  if (name.empty() || !IsIdentifierStart(name.front())) return false;
  return std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return IsIdentifierStart(c) || (c >= '0' && c <= '9'); });
}

}  // namespace

constinit const PropInfo TComponent::kPublished[] = {
    Publish<TComponent>::String<&TComponent::Name, &TComponent::SetName>("Name"),
    Publish<TComponent>::Integer<&TComponent::Tag, &TComponent::SetTag>("Tag"),
};
constinit const TClassInfo TComponent::StaticClass{"TComponent", &TPersistent::StaticClass,
                                                   TComponent::kPublished};

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(*this);
}

TComponent::~TComponent() {
  FDestroying = true;
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveComponent(*this);
}

void TComponent::SetName(std::string_view name) {
  if (name == FName) return;
  if (!name.empty() && !IsIdentifier(name)) {
    throw EComponentError("\"" + std::string(name) + "\" is not a valid component name");
  }
  if (FOwner != nullptr && !name.empty()) {
    const TComponent* other = FOwner->FindComponent(name);
    if (other != nullptr && other != this) {
      throw EComponentError("A component named " + std::string(name) + " already exists");
    }
  }
  FName.assign(name);
}

TComponent* TComponent::Components(int32_t index) const {
  if (index < 0 || index >= ComponentCount()) {
    throw EComponentError("Component index out of bounds (" + std::to_string(index) + ")");
  }
  return FComponents[static_cast<size_t>(index)];
}

int32_t TComponent::ComponentIndex() const noexcept {
  if (FOwner == nullptr) return -1;
  const auto& list = FOwner->FComponents;
  const auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const noexcept {
  if (name.empty()) return nullptr;
  for (TComponent* component : FComponents) {
    if (text::SameText(component->FName, name)) return component;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent& component) {
  if (component.FOwner == this) return;
  if (!component.FName.empty() && FindComponent(component.FName) != nullptr) {
    throw EComponentError("A component named " + component.FName + " already exists");
  }
  if (component.FOwner != nullptr) component.FOwner->RemoveComponent(component);
  FComponents.push_back(&component);
  component.FOwner = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent& component) {
  const auto it = std::find(FComponents.begin(), FComponents.end(), &component);
  if (it == FComponents.end()) return;
  Notification(component, TOperation::opRemove);
  // The handler may have changed the list; look again.
  const auto again = std::find(FComponents.begin(), FComponents.end(), &component);
  if (again != FComponents.end()) FComponents.erase(again);
  component.FOwner = nullptr;
}

void TComponent::DestroyComponents() noexcept {
  while (!FComponents.empty()) {
    TComponent* last = FComponents.back();
    FComponents.pop_back();
    last->FOwner = nullptr;
    delete last;
  }
}

void TComponent::Loaded() {
  FLoading = false;
}

void TComponent::Notification(TComponent& /*component*/, TOperation /*operation*/) {}

}  // namespace kvo
