// A set of enumeration members held as a bit mask (bit n = ordinal n), the way sets are stored, streamed
// and exchanged with the host. `Bits` picks the storage, e.g. uint8_t for a one-byte set.
//
// Thread contract: a plain value; one object must not be used by two threads at once.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace kvo {

template <typename E, std::unsigned_integral Bits = uint32_t>
requires std::is_enum_v<E>
class TSet {
 public:
  using Element = E;
  using Storage = Bits;

  constexpr TSet() noexcept = default;
  constexpr TSet(std::initializer_list<E> members) noexcept {
    for (E member : members)
      Include(member);
  }
  // Bits beyond the storage are dropped; bits without a member are kept (the mask is the whole truth).
  static constexpr TSet FromMask(uint32_t mask) noexcept {
    TSet set;
    set.bits_ = static_cast<Bits>(mask);
    return set;
  }

  constexpr Bits Mask() const noexcept { return bits_; }
  constexpr bool Empty() const noexcept { return bits_ == 0; }
  constexpr bool Contains(E member) const noexcept { return (bits_ & Bit(member)) != 0; }
  constexpr TSet& Include(E member) noexcept {
    bits_ = static_cast<Bits>(bits_ | Bit(member));
    return *this;
  }
  constexpr TSet& Exclude(E member) noexcept {
    bits_ = static_cast<Bits>(bits_ & ~Bit(member));
    return *this;
  }

  friend constexpr TSet operator+(TSet a, TSet b) noexcept { return FromMask(a.bits_ | b.bits_); }
  friend constexpr TSet operator-(TSet a, TSet b) noexcept { return FromMask(a.bits_ & ~b.bits_); }
  friend constexpr TSet operator*(TSet a, TSet b) noexcept { return FromMask(a.bits_ & b.bits_); }
  friend constexpr bool operator==(TSet a, TSet b) noexcept = default;

 private:
  static constexpr Bits Bit(E member) noexcept {
    return static_cast<Bits>(Bits{1} << static_cast<unsigned>(member));
  }

  Bits bits_ = 0;
};

}  // namespace kvo
