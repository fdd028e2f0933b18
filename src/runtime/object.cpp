// The root class's type information.
#include "runtime/object.h"

namespace kvo {

constinit const TClassInfo TObject::StaticClass{"TObject", nullptr};

TObject::~TObject() = default;

}  // namespace kvo
