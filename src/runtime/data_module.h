// Data modules: non-visual component containers whose values, event bindings and child components are
// set when they are constructed, after which their creation event runs.
//
// How a descendant fills in its module: its constructor sets the published property values, assigns
// the events (OnCreate included) and creates the child components with the module as owner. The module
// is made with Create<T>(...) (object.h); once every constructor of the chain has run, AfterConstruction
// calls Loaded() on the module and then on each owned component (creation order), then DoCreate(), which
// raises OnCreate. So the creation event sees the most derived class's values, and a class further down
// that overrides AfterConstruction (calling the base first) runs after the creation event. An exception
// from OnCreate passes on, and Create<T> destroys the half-made module.
//
// Thread contract: a module is used by one thread at a time.
#pragma once

#include "runtime/component.h"
#include "runtime/event.h"

namespace kvo {

class TDataModule : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  // The module is loading (Loading() is true) until AfterConstruction.
  explicit TDataModule(TComponent* owner);

  // Published event "OnCreate"; Sender is the module.
  TNotifyEvent OnCreate;

  void AfterConstruction() override;

 protected:
  // Raises OnCreate the first time only; unassigned, nothing happens. A descendant that is not made
  // through Create<T> calls it at the end of its most derived constructor.
  void DoCreate();

 private:
  static const PropInfo kPublished[];
  bool FCreated = false;
};

}  // namespace kvo
