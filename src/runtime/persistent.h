// Objects whose published state can be copied from another object (Assign) and stored by name: string
// lists, collections, their items and every component.
//
// Thread contract: an object is used by one thread at a time.
#pragma once

#include "runtime/object.h"

namespace kvo {

class TPersistent : public TObject {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  // Copies `source`'s state into this object. The base asks `source.AssignTo(*this)`, whose base raises
  // EConvertError ("Cannot assign a TX to a TY"); classes override either side.
  virtual void Assign(const TPersistent& source);

  // The object this one belongs to (a collection for its items, an owner for a component), or null.
  virtual TPersistent* GetOwner() const noexcept { return nullptr; }

 protected:
  virtual void AssignTo(TPersistent& dest) const;
};

}  // namespace kvo
