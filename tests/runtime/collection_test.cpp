// Collections create, own and index their items, whose published properties are reachable by name.
#include <gtest/gtest.h>

#include "runtime/properties.h"
#include "runtime/runtime_errors.h"
#include "sample_classes.h"

namespace kvo::testing {
namespace {

TEST(Collection, AddCreatesItemsOfTheItemClass) {
  TCollectionOf<TColumn> columns(nullptr);
  TColumn& first = columns.Add();
  TColumn& second = columns.Add();
  EXPECT_EQ(columns.Count(), 2);
  EXPECT_EQ(&columns.Items(0), &first);
  EXPECT_EQ(second.Index(), 1);
  EXPECT_EQ(second.Collection(), &columns);
  EXPECT_EQ(second.GetOwner(), &columns);
  EXPECT_EQ(first.ClassName(), "TColumn");
}

TEST(Collection, DeleteRenumbersAndRangeErrorsRaise) {
  TCollectionOf<TColumn> columns(nullptr);
  columns.Add().Caption = "a";
  columns.Add().Caption = "b";
  columns.Add().Caption = "c";
  columns.Delete(1);
  EXPECT_EQ(columns.Count(), 2);
  EXPECT_EQ(columns.Items(1).Caption, "c");
  EXPECT_EQ(columns.Items(1).Index(), 1);
  EXPECT_THROW(columns.Items(2), EListError);
  EXPECT_THROW(columns.Delete(-1), EListError);
  columns.Clear();
  EXPECT_EQ(columns.Count(), 0);
}

TEST(Collection, ItemOutsideACollectionHasNoIndex) {
  TColumn loose;
  EXPECT_EQ(loose.Index(), -1);
  EXPECT_EQ(loose.GetOwner(), nullptr);
}

TEST(Collection, ItemsAreVisitedThroughTheOwnersObjectProperty) {
  TDialGauge gauge(nullptr);
  gauge.Columns().Add().Caption = "Name";
  gauge.Columns().Add().Caption = "Value";
  auto* columns = GetObjectProp<TCollection>(gauge, "columns");
  ASSERT_NE(columns, nullptr);
  EXPECT_EQ(columns->GetOwner(), &gauge);
  for (int32_t i = 0; i < columns->Count(); ++i) {
    TCollectionItem& item = columns->Items(i);
    SetStrProp(item, "caption", GetStrProp(item, "Caption") + "!");
    SetPropValue(item, "Width", Variant::FromInt(10 * (i + 1)));
  }
  EXPECT_EQ(gauge.Columns().Items(0).Caption, "Name!");
  EXPECT_EQ(gauge.Columns().Items(1).Caption, "Value!");
  EXPECT_EQ(gauge.Columns().Items(1).Width, 20);
}

TEST(Collection, AssignCopiesEveryItem) {
  TCollectionOf<TColumn> source(nullptr);
  source.Add().Caption = "x";
  source.Add().Width = 7;
  TCollectionOf<TColumn> dest(nullptr);
  dest.Add().Caption = "old";
  dest.Assign(source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Items(0).Caption, "x");
  EXPECT_EQ(dest.Items(1).Width, 7);
  EXPECT_NE(&dest.Items(0), &source.Items(0));
}

}  // namespace
}  // namespace kvo::testing
