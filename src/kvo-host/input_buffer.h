// A growing window over an input's bytes: readers look at what has arrived, consume whole records and ask
// for more only when a record is not complete yet, so a live stream's record is handed on as soon as its
// line end has arrived.
//
// Thread contract: used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace kvo::host {

class InputBuffer {
 public:
  // Reads up to `size` bytes into `buffer`, waiting for at least one; 0 at the end. Throws on errors.
  using ReadFn = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

  explicit InputBuffer(ReadFn read, std::size_t chunk = 1 << 16);

  // The bytes that have arrived and are not consumed yet.
  std::string_view Data() const { return {bytes_.data() + begin_, end_ - begin_}; }
  void Consume(std::size_t count);
  // Reads more bytes behind Data() (moving or growing the window; earlier views become invalid). False
  // when the input has ended.
  bool Fill();
  bool Ended() const { return ended_; }
  uint64_t Consumed() const { return consumed_; }

 private:
  ReadFn read_;
  std::size_t chunk_;
  std::vector<char> bytes_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;
  uint64_t consumed_ = 0;
};

}  // namespace kvo::host
