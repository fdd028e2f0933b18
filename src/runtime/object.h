// The root of the component model: every object knows its class's type information (name, base class,
// published properties) and may run a step after the whole constructor chain has finished.
//
// A class that publishes properties (or wants its own class name) declares
//   static const TClassInfo StaticClass;
//   const TClassInfo& ClassType() const noexcept override { return StaticClass; }
// and defines StaticClass in its source file (see publish.h). A class that does not inherits its base's.
//
// Objects are created with Create<T>(...) when they rely on AfterConstruction (data modules do); plain
// `new`/`delete` and automatic storage are fine otherwise.
//
// Thread contract: an object is used by one thread at a time unless its class documents more.
#pragma once

#include <memory>
#include <string_view>
#include <utility>

#include "runtime/class_info.h"

namespace kvo {

class TObject {
 public:
  static const TClassInfo StaticClass;

  TObject() noexcept = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();

  virtual const TClassInfo& ClassType() const noexcept { return StaticClass; }
  std::string_view ClassName() const noexcept { return ClassType().Name(); }
  bool InheritsFrom(const TClassInfo& base) const noexcept { return ClassType().InheritsFrom(base); }

  // Runs once the most derived constructor has finished, through Create<T>; the object's final class is
  // in effect, so overrides of virtual functions are reached. Overrides call the base version first.
  virtual void AfterConstruction() {}
};

// Constructs a T, then runs its AfterConstruction. If AfterConstruction throws, the object is deleted
// and the exception passes on. The caller (or the owner given to the constructor) owns the object.
template <typename T, typename... Args>
T* Create(Args&&... args) {
  std::unique_ptr<T> object(new T(std::forward<Args>(args)...));
  object->AfterConstruction();
  return object.release();
}

}  // namespace kvo
