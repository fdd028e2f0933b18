// Number properties are read and written without touching the heap. This file replaces the global
// allocation functions to count calls while a check is running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "runtime/properties.h"
#include "sample_classes.h"

namespace {

thread_local bool g_counting = false;
thread_local int g_allocations = 0;

void* Allocate(std::size_t size) {
  if (g_counting) ++g_allocations;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

// Counts the allocations that `work` makes on this thread.
template <typename Work>
int AllocationsOf(Work work) {
  g_allocations = 0;
  g_counting = true;
  work();
  g_counting = false;
  return g_allocations;
}

}  // namespace

// Every form that pairs with free(), so that memory from any of them may be released by any other.
void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

namespace kvo::testing {
namespace {

TEST(PropertyAllocation, CountingSeesAnAllocation) {
  // The counter itself works, so the zero results below mean something.
  const int count = AllocationsOf([] { delete new int(1); });
  EXPECT_EQ(count, 1);
}

TEST(PropertyAllocation, NumberKindsAllocateNothing) {
  TDialGauge gauge(nullptr);
  const PropInfo& width = FindPropInfo(gauge, "Width");
  int32_t read_width = -1;
  double read_ratio = -1;
  int32_t read_shades = -1;
  int32_t read_double = -1;
  bool read_visible = false;
  const int count = AllocationsOf([&] {
    SetPropValue(gauge, "width", Variant::FromInt(8));
    SetPropValue(gauge, "Ratio", Variant::FromDouble(2.5));
    SetPropValue(gauge, "Shade", Variant::FromInt(2));
    SetPropValue(gauge, "Visible", Variant::FromBool(true));
    SetPropValue(gauge, "Shades", Variant::FromInt(3));
    SetPropValue(gauge, "Double", Variant::FromInt(6));
    SetPropValue(gauge, width, Variant::FromInt(9));
    read_width = GetPropValue(gauge, "WIDTH").ToInt();
    read_ratio = GetPropValue(gauge, "ratio").ToDouble();
    read_shades = GetPropValue(gauge, "Shades").ToInt();
    read_double = GetOrdProp(gauge, "Double");
    read_visible = GetPropValue(gauge, "Visible").ToBool();
  });
  EXPECT_EQ(count, 0);
  EXPECT_EQ(read_width, 9);
  EXPECT_EQ(read_ratio, 2.5);
  EXPECT_EQ(read_shades, 3);
  EXPECT_EQ(read_double, 6);
  EXPECT_TRUE(read_visible);
}

}  // namespace
}  // namespace kvo::testing
