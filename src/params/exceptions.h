// Exceptions raised inside the module and the SDK. They never cross an exported function: the boundary
// turns them into its documented failure value.
#pragma once

#include <stdexcept>
#include <string>

namespace kvo {

// Base of every exception of our own.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A broken invariant detected at run time, such as a parameter list whose signature is not the live one.
// The message is "Assertion failure (<source>, line <n>)".
class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};

// A value that cannot be converted to the kind asked for.
class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace kvo
