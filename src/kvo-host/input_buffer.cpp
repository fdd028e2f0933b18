#include "kvo-host/input_buffer.h"

#include <cstring>

namespace kvo::host {

InputBuffer::InputBuffer(ReadFn read, std::size_t chunk) : read_(std::move(read)), chunk_(chunk) {
  bytes_.resize(chunk_);
}

void InputBuffer::Consume(std::size_t count) {
  begin_ += count;
  consumed_ += count;
  if (begin_ == end_) begin_ = end_ = 0;
}

bool InputBuffer::Fill() {
  if (ended_) return false;
  if (begin_ > 0) {
    std::memmove(bytes_.data(), bytes_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // Keep at least half a chunk free, so one long record does not cause a read per byte.
  if (bytes_.size() - end_ < chunk_ / 2) bytes_.resize(bytes_.size() * 2);
  const std::ptrdiff_t n = read_(bytes_.data() + end_, bytes_.size() - end_);
  if (n <= 0) {
    ended_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(n);
  return true;
}

}  // namespace kvo::host
