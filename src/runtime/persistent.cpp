// Assign between persistent objects, with the classic fallback of asking the source.
#include "runtime/persistent.h"

#include <string>

#include "runtime/runtime_errors.h"

namespace kvo {

constinit const TClassInfo TPersistent::StaticClass{"TPersistent", &TObject::StaticClass};

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  std::string message = "Cannot assign a ";
  message += ClassName();
  message += " to a ";
  message += dest.ClassName();
  throw EConvertError(message);
}

}  // namespace kvo
