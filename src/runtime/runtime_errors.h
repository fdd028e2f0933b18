// Exceptions of the component runtime. Like all of ours they derive from kvo::Exception, so the exported
// boundary turns them into its failure value.
//
// Thread contract: [any-thread].
#pragma once

#include "params/exceptions.h"

namespace kvo {

// A property that does not exist, is read-only, or has no such form (an object read as a variant).
class EPropertyError : public Exception {
 public:
  using Exception::Exception;
};

// A value that does not fit the property: text that is no number, an unknown identifier, an ordinal out
// of range, an object of the wrong class.
class EPropertyConvertError : public EPropertyError {
 public:
  using EPropertyError::EPropertyError;
};

// A component name that is no identifier or is taken among the owner's components; an index out of range.
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

// A string list index out of range, an insertion into a sorted list, a duplicate refused.
class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

// A collection index out of range.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// Assign between objects that cannot take each other's values.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace kvo
