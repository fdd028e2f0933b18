// Feeding readers from memory, in pieces of a chosen size, to exercise records that straddle reads.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "kvo-host/input_buffer.h"

namespace kvo::host::testing {

inline InputBuffer::ReadFn ReadFrom(std::string text, std::size_t piece) {
  auto state = std::make_shared<std::pair<std::string, std::size_t>>(std::move(text), 0);
  return [state, piece](char* buffer, std::size_t size) -> std::ptrdiff_t {
    const std::size_t left = state->first.size() - state->second;
    const std::size_t n = std::min({left, size, piece});
    std::memcpy(buffer, state->first.data() + state->second, n);
    state->second += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

}  // namespace kvo::host::testing
