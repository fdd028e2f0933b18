// Item definitions: "SET ITEMS" reads the host's item list text, "ITEMS" writes it back, and the
// module's own access to the array.
#include <string>

#include "plugin_test_support.h"

namespace kvo::plugin_test {
namespace {

class ParserItems : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    handle_ = NextHandle();
    instance_ = InstanceOf(handle_);
  }
  int32_t SetItems(const std::string& text) {
    HostList parameters;
    parameters.Text("ITEMS", text);
    return Execute(handle_, "SET ITEMS", parameters);
  }
  // Runs "ITEMS" and returns the text written into "RESULT".
  std::string ItemsText() {
    HostList parameters;
    parameters.Int("RESULT", 0);
    EXPECT_EQ(Execute(handle_, "ITEMS", parameters), 0);
    EXPECT_EQ(parameters.TypeOf("RESULT"), KVO_VT_BSTR);
    return parameters.TextOf("RESULT");
  }
  TParserItem Item(int32_t index) {
    TParserItem item;
    instance_->GetParserItem(index, item);
    return item;
  }

  int32_t handle_ = 0;
  TkvoPlugin* instance_ = nullptr;
};

TEST_F(ParserItems, TwoLinesGiveTwoItemsAndComeBackCanonical) {
  EXPECT_EQ(SetItems("Src1|Temperature|float|degC\r\nSrc1|Pressure"), 0);
  ASSERT_EQ(instance_->ParserItemCount(), 2);
  const TParserItem first = Item(0);
  EXPECT_EQ(first.Tag, "Src1");
  EXPECT_EQ(first.Name, "Temperature");
  EXPECT_EQ(first.DataType, 5);
  EXPECT_EQ(first.Extra, "degC");
  const TParserItem second = Item(1);
  EXPECT_EQ(second.Tag, "Src1");
  EXPECT_EQ(second.Name, "Pressure");
  EXPECT_EQ(second.DataType, 12);
  EXPECT_EQ(second.Extra, "");
  EXPECT_EQ(TheProbe().CountOf("OnSetParserItems"), 1);

  EXPECT_EQ(ItemsText(), "Src1|Temperature|Float|degC\r\nSrc1|Pressure||");
  EXPECT_EQ(TheProbe().CountOf("OnBeforeGetParserItems"), 1);
  EXPECT_EQ(instance_->Items().LastText(), "Src1|Temperature|Float|degC\r\nSrc1|Pressure||");
}

struct ItemsCase {
  const char* name;
  const char* input;
  const char* output;
  // Shown in the test list by its name.
  friend void PrintTo(const ItemsCase& c, std::ostream* os) { *os << c.name; }
};

class ItemsRoundTrip : public ParserItems, public ::testing::WithParamInterface<ItemsCase> {};

TEST_P(ItemsRoundTrip, ComesBackAsTheItemsWereTaken) {
  ASSERT_EQ(SetItems(GetParam().input), 0);
  EXPECT_EQ(ItemsText(), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ItemsRoundTrip,
    ::testing::Values(
        ItemsCase{"SingleColumnAndEmptyLinesSkipped", "alone\r\n\r\nT|N|Integer|e\r\n", "T|N|Integer|e"},
        ItemsCase{"LeadingSpaceInTypeDoesNotMatch", "T|N| Integer", "T|N||"},
        ItemsCase{"EmptyTag", "|X", "|X||"},
        ItemsCase{"TypeNamesIgnoreLetterCase", "a|b|DATETIME\nc|d|smallint\re|f|memo",
                  "a|b|DateTime|\r\nc|d|Smallint|\r\ne|f|Memo|"},
        ItemsCase{
            "EveryTypeName",
            "a|0|String\na|1|Memo\na|2|Bytes\na|3|Blob\na|4|Boolean\na|5|Float\na|6|Smallint\na|7|Word\n"
            "a|8|Integer\na|9|Date\na|10|Time\na|11|DateTime",
            "a|0|String|\r\na|1|Memo|\r\na|2|Bytes|\r\na|3|Blob|\r\na|4|Boolean|\r\na|5|Float|\r\n"
            "a|6|Smallint|\r\na|7|Word|\r\na|8|Integer|\r\na|9|Date|\r\na|10|Time|\r\na|11|DateTime|"},
        ItemsCase{"UnknownTypeAndColumnsBeyondTheFourth", "t|n|Double|x|y|z", "t|n||x"},
        ItemsCase{"FinalBarAddsNoColumn", "t|n|", "t|n||"},
        ItemsCase{"EmptyColumnsBetweenBarsCount", "t|n||extra", "t|n||extra"}, ItemsCase{"OnlyABar", "|", ""},
        ItemsCase{"ColumnsAreNotTrimmed", " t | n |Float| e ", " t | n |Float| e "},
        ItemsCase{"EmptyText", "", ""}),
    CaseName());

TEST_F(ParserItems, EmptyTextLeavesAnEmptyArray) {
  ASSERT_EQ(SetItems("a|b"), 0);
  EXPECT_EQ(SetItems(""), 0);
  EXPECT_EQ(instance_->ParserItemCount(), 0);
  EXPECT_EQ(ItemsText(), "");
}

TEST_F(ParserItems, MissingOrNonTextItemsAreRefusedAndChangeNothing) {
  ASSERT_EQ(SetItems("a|b"), 0);
  TheProbe().Reset();
  EXPECT_EQ(Execute(handle_, "SET ITEMS"), -1);
  HostList number;
  number.Int("ITEMS", 5);
  EXPECT_EQ(Execute(handle_, "SET ITEMS", number), -1);
  HostList empty;
  empty.Empty("ITEMS");
  EXPECT_EQ(Execute(handle_, "SET ITEMS", empty), -1);
  HostList null;
  null.Null("ITEMS");
  EXPECT_EQ(Execute(handle_, "SET ITEMS", null), -1);
  EXPECT_EQ(instance_->ParserItemCount(), 1);
  EXPECT_EQ(Item(0).Name, "b");
  EXPECT_EQ(TheProbe().CountOf("OnSetParserItems"), 0);
}

TEST_F(ParserItems, ItemsWithoutResultIsRefusedWithoutTheEvent) {
  ASSERT_EQ(SetItems("a|b"), 0);
  HostList parameters;
  parameters.Int("OTHER", 1);
  EXPECT_EQ(Execute(handle_, "ITEMS", parameters), -1);
  EXPECT_EQ(TheProbe().CountOf("OnBeforeGetParserItems"), 0);
  EXPECT_EQ(parameters.Count(), 2) << "no RESULT was added";
}

TEST_F(ParserItems, TheModuleMayBringTheListUpToDateBeforeItIsBuilt) {
  instance_->OnBeforeGetParserItems = [](TkvoPlugin& sender) {
    sender.SetParserItem(0, TParserItem{"Late", "S", 8, "x"});
  };
  EXPECT_EQ(ItemsText(), "S|Late|Integer|x");
}

TEST_F(ParserItems, UnloadKeepsTheItems) {
  ASSERT_EQ(Execute(handle_, "LOAD"), 0);
  ASSERT_EQ(SetItems("a|b|Word"), 0);
  ASSERT_EQ(Execute(handle_, "UNLOAD"), 0);
  EXPECT_EQ(ItemsText(), "a|b|Word|");
}

TEST_F(ParserItems, GetPastTheEndExtendsTheArrayWithEmptyItems) {
  ASSERT_EQ(SetItems("a|b|Float|e"), 0);
  const TParserItem item = Item(1);
  EXPECT_EQ(item.Name, "");
  EXPECT_EQ(item.Tag, "");
  EXPECT_EQ(item.Extra, "");
  EXPECT_EQ(item.DataType, 12);
  EXPECT_EQ(instance_->ParserItemCount(), 2);
  EXPECT_EQ(ItemsText(), "a|b|Float|e\r\n|||");
}

TEST_F(ParserItems, SetPastTheEndFillsTheGap) {
  instance_->SetParserItem(2, TParserItem{"N", "T", 9, "E"});
  EXPECT_EQ(instance_->ParserItemCount(), 3);
  EXPECT_EQ(Item(2).DataType, 9);
  EXPECT_EQ(ItemsText(), "|||\r\n|||\r\nT|N|Date|E");
  instance_->ClearParserItems();
  EXPECT_EQ(instance_->ParserItemCount(), 0);
}

TEST_F(ParserItems, TypeNumbersAboveElevenHaveNoName) {
  instance_->SetParserItem(0, TParserItem{"N", "T", 200, ""});
  EXPECT_EQ(ItemsText(), "T|N||");
}

}  // namespace
}  // namespace kvo::plugin_test
