// The memory layout a host compiled elsewhere relies on, read back through raw offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "params/params_list.h"

namespace kvo {
namespace {

constexpr size_t P = sizeof(void*);

template <typename T>
T ReadAt(const void* base, ptrdiff_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
  return value;
}

// A reference-counted 8-bit string field: text, length 4 bytes before it, count 8 bytes before it.
void ExpectAnsiString(const char* chars, std::string_view text, int32_t refs) {
  ASSERT_NE(chars, nullptr);
  EXPECT_EQ(std::string_view(chars, text.size()), text);
  EXPECT_EQ(chars[text.size()], '\0');
  EXPECT_EQ(ReadAt<uint32_t>(chars, -4), text.size());
  EXPECT_EQ(ReadAt<int32_t>(chars, -8), refs);
}

TEST(Layout, SizesMatchTheSharedTable) {
  const size_t expected[3] = {P == 4 ? 24u : 40u, P == 4 ? 28u : 48u, P == 4 ? 40u : 48u};
  EXPECT_EQ(sizeof(TParamsList), expected[0]);
  EXPECT_EQ(sizeof(TRowsParamsList), expected[1]);
  EXPECT_EQ(sizeof(TParamsListElement), expected[2]);
}

TEST(Layout, ListFieldsStandWhereTheHostReadsThem) {
  TRowsParamsList list;
  list.Add("Temp", Variant::FromDouble(21.5));
  list.NewRow();
  auto** items = ReadAt<TParamsListElement**>(&list, P);
  EXPECT_EQ(items[0], list.Element(0));
  EXPECT_EQ(ReadAt<int32_t>(&list, 2 * P), 2);
  EXPECT_EQ(ReadAt<int32_t>(&list, 2 * P + 4), list.Capacity());
  EXPECT_EQ(ReadAt<uint32_t>(&list, 2 * P + 8), 0x0FDE2E4Bu);
  const char* id = ReadAt<const char*>(&list, P == 4 ? 20 : 32);
  ExpectAnsiString(id, list.ListID(), 1);
  EXPECT_EQ(ReadAt<int32_t>(&list, P == 4 ? 24 : 40), 0);  // the row list's own field
}

TEST(Layout, ElementFieldsStandWhereTheHostReadsThem) {
  TParamsList list;
  TParamsListElement* element = list.Add("Temp", Variant::FromText("hot"));
  ExpectAnsiString(ReadAt<const char*>(element, P), "Temp", 1);
  ExpectAnsiString(ReadAt<const char*>(element, 2 * P), "temp", 1);
  EXPECT_EQ(ReadAt<int32_t>(element, 3 * P), 0);
  EXPECT_EQ(ReadAt<uint8_t>(element, 3 * P + 4), 2);
  const size_t value = P == 4 ? 24 : 32;
  EXPECT_EQ(ReadAt<uint16_t>(element, value), 8);  // an OLE wide string
  auto* bstr = ReadAt<const char16_t*>(element, value + 8);
  EXPECT_EQ(ReadAt<uint32_t>(bstr, -4), 6u);  // byte length, before the characters
  EXPECT_EQ(std::u16string_view(bstr, 4), std::u16string_view(u"hot\0", 4));
}

TEST(Layout, EmptyNameStringIsNull) {
  TParamsListElement element("", Variant());
  EXPECT_EQ(ReadAt<const char*>(&element, P), nullptr);
  EXPECT_EQ(ReadAt<const char*>(&element, 2 * P), nullptr);
}

TEST(Layout, DestroyedListHasSignatureZero) {
  alignas(TParamsList) unsigned char storage[sizeof(TParamsList)];
  auto* list = ::new (storage) TParamsList();
  list->Add("a", Variant::FromInt(1));
  list->~TParamsList();
  EXPECT_EQ(ReadAt<uint32_t>(storage, 2 * P + 8), 0u);
}

}  // namespace
}  // namespace kvo
