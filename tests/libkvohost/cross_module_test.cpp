// A list made on one side of a module boundary is read, extended and destroyed by the other. The SDK
// library carries its own copy of the list code; this test program carries another, as a module would.
#include <gtest/gtest.h>

#include "kvo/kvo_host.h"
#include "params/params_list.h"

namespace kvo {
namespace {

TParamsList* Ours(::TParamsList* list) {
  return reinterpret_cast<TParamsList*>(list);
}
::TParamsList* Theirs(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

TEST(CrossModule, ListFromTheSdkIsExtendedHereAndFreedThere) {
  ::TParamsList* list = kvo_rows_new();
  ASSERT_NE(list, nullptr);
  kvo_params_add_text(list, "Status", "ok");
  TParamsList* same = Ours(list);
  EXPECT_TRUE(same->IsRowsList());
  EXPECT_EQ(same->ValueByName("STATUS").ToText(), "ok");
  for (int i = 0; i < 50; ++i)
    same->Add("n", Variant::FromText("grown here"));  // our allocations
  same->NewRow();
  EXPECT_EQ(kvo_params_count(list), 52);
  char text[32];
  EXPECT_EQ(kvo_params_text(list, 1, text, sizeof text), 10);
  kvo_params_free(list);  // the SDK frees what this side allocated
}

TEST(CrossModule, ListFromHereIsExtendedAndFreedByTheSdk) {
  auto* list = new TRowsParamsList();
  list->Add("Temp", Variant::FromDouble(1.5));
  EXPECT_EQ(kvo_params_is_rows(Theirs(list)), 1);
  EXPECT_EQ(kvo_params_index_of(Theirs(list), "temp"), 0);
  for (int i = 0; i < 50; ++i)
    kvo_params_add_int(Theirs(list), "n", i);
  kvo_params_append(Theirs(list), Theirs(list));
  EXPECT_EQ(list->Count(), 2 * 51 + 1);
  EXPECT_EQ(list->Element(list->Count() - 1)->Name(), "$NEW_ROW$");
  kvo_params_free(Theirs(list));  // destroyed through the table of virtual operations made here
}

TEST(CrossModule, BrokenSignatureIsReportedNotThrown) {
  TParamsList list;
  list.Add("a", Variant::FromInt(1));
  auto* words = reinterpret_cast<uint32_t*>(&list);
  const size_t signature = (2 * sizeof(void*) + 8) / 4;
  words[signature] = 0;
  EXPECT_EQ(kvo_params_index_of(Theirs(&list), "a"), -2);
  EXPECT_EQ(kvo_params_set_int(Theirs(&list), "a", 2, 1), -1);
  words[signature] = KVO_PARAMS_SIGNATURE;
}

}  // namespace
}  // namespace kvo
