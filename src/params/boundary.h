// Where no exception may pass: the C boundaries (the module's exports, the host SDK's functions) and the
// framework's calls of module events whose failures it swallows or reports as a code. Each runs its body
// through AtBoundary, which turns whatever escapes into the documented failure value (for the exports
// and commands, the KVO_RESULT_* codes of kvo/kvo_plugin.h).
//
// Thread contract: [any-thread]; no state. Inline and without type erasure, so that the data exports
// can afford it on every call.
#pragma once

#include <type_traits>

namespace kvo {

// What `body()` returns, or `failure` when it throws.
template <typename Body>
inline std::invoke_result_t<Body&> AtBoundary(std::invoke_result_t<Body&> failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Runs `body()` for a boundary without a result; what it throws ends it quietly.
template <typename Body>
inline void AtBoundary(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace kvo
