// Overwriting an element's value by index, as a host that reuses its block's elements does.
#include <gtest/gtest.h>

#include <string>

#include "kvo/kvo_host.h"

namespace {

class SetAt : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = kvo_rows_new();
    kvo_params_add_null(list_, "value");
    kvo_params_new_row(list_);
  }
  void TearDown() override { kvo_params_free(list_); }
  std::string Text(int32_t index) const {
    char text[64];
    return kvo_params_text(list_, index, text, sizeof text) >= 0 ? text : "<no text>";
  }
  TParamsList* list_ = nullptr;
};

TEST_F(SetAt, EachSetterStoresItsTypeAndKeepsTheName) {
  struct Case {
    int (*set)(TParamsList*);
    uint16_t type;
    const char* text;
  };
  const Case cases[] = {
      {[](TParamsList* l) { return kvo_params_set_int_at(l, 0, -7); }, KVO_VT_I4, "-7"},
      {[](TParamsList* l) { return kvo_params_set_int64_at(l, 0, 5000000000LL); }, KVO_VT_I8, "5000000000"},
      {[](TParamsList* l) { return kvo_params_set_double_at(l, 0, 20.5); }, KVO_VT_R8, "20.5"},
      {[](TParamsList* l) { return kvo_params_set_bool_at(l, 0, 1); }, KVO_VT_BOOL, "True"},
      {[](TParamsList* l) { return kvo_params_set_text_at(l, 0, "okay", 2); }, KVO_VT_BSTR, "ok"},
      {[](TParamsList* l) { return kvo_params_set_text_at(l, 0, "whole", -1); }, KVO_VT_BSTR, "whole"},
      {[](TParamsList* l) { return kvo_params_set_null_at(l, 0); }, KVO_VT_NULL, "<no text>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.set(list_), 1) << c.text;
    EXPECT_EQ(kvo_params_type(list_, 0), c.type) << c.text;
    EXPECT_EQ(Text(0), c.text);
    EXPECT_STREQ(kvo_params_name(list_, 0), "value");
    EXPECT_EQ(kvo_params_count(list_), 2);
  }
}

TEST_F(SetAt, RefusesIndexesOutsideTheList) {
  EXPECT_EQ(kvo_params_set_int_at(list_, 2, 1), -1);
  EXPECT_EQ(kvo_params_set_double_at(list_, -1, 1), -1);
  EXPECT_EQ(kvo_params_set_text_at(list_, 0, nullptr, 0), -1);
  EXPECT_EQ(kvo_params_set_null_at(nullptr, 0), -1);
  EXPECT_EQ(kvo_params_type(list_, 0), KVO_VT_NULL);  // unchanged
}

}  // namespace
