// Behaviour of parameter lists: lookup folding, ranges, blank names, markers, signature.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "params/exceptions.h"
#include "params/params_list.h"

namespace kvo {
namespace {

// Appends the given names, each with its index as value.
void Fill(TParamsList& list, const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i)
    list.Add(names[i], Variant::FromInt(static_cast<int32_t>(i)));
}

std::vector<std::string> Names(const TParamsList& list) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < list.Count(); ++i)
    names.emplace_back(list.Element(i)->Name());
  return names;
}

TEST(ParamsList, NewListIsEmptyWithLiveSignatureAndGuid) {
  TParamsList a;
  TParamsList b;
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Signature(), 0x0FDE2E4Bu);
  ASSERT_EQ(a.ListID().size(), 38u);
  EXPECT_EQ(a.ListID().front(), '{');
  EXPECT_EQ(a.ListID().back(), '}');
  EXPECT_NE(a.ListID(), b.ListID());
}

TEST(ParamsList, LookupFoldsOnlyAToZAndFirstMatchWins) {
  TParamsList list;
  list.Add("temp", Variant::FromInt(1));
  list.Add("TEMP", Variant::FromInt(2));
  for (const char* key : {"temp", "TEMP", "TeMp"}) {
    EXPECT_EQ(list.IndexOfName(key), 0) << key;
    EXPECT_EQ(list.ValueByName(key).ToInt(), 1) << key;
  }
}

TEST(ParamsList, NamesOutsideAsciiLettersCompareExactly) {
  TParamsList list;
#ifdef _WIN32
  // The ANSI lower-casing folds the stored name's capital A umlaut; the key folds A-Z only, so only a key
  // with that letter already in lower case finds it.
  list.Add("\xC4nderung", Variant::FromInt(1));
  EXPECT_EQ(list.Element(0)->LowerName(), "\xE4nderung");
  EXPECT_EQ(list.IndexOfName("\xC4NDERUNG"), -1);
  EXPECT_EQ(list.IndexOfName("\xE4NDERUNG"), 0);
#else
  // UTF-8 names keep their bytes: only A-Z fold.
  list.Add("\xC3\x84nderung", Variant::FromInt(1));
  EXPECT_EQ(list.Element(0)->LowerName(), "\xC3\x84nderung");
  EXPECT_EQ(list.IndexOfName("\xC3\x84NDERUNG"), 0);
  EXPECT_EQ(list.IndexOfName("\xC3\xA4nderung"), -1);
#endif
  list.Add("a_1-B", Variant::FromInt(2));
  EXPECT_EQ(list.IndexOfName("A_1-b"), 1);
  EXPECT_EQ(list.IndexOfName("a_1-"), -1);
  EXPECT_EQ(list.IndexOfName(""), -1);
}

// Lookups compare several bytes at a time: at every length, only A-Z may fold, never the bytes next to
// them or their high-bit twins, through both the sized and the zero-terminated lookup.
TEST(ParamsList, LookupFoldsOnlyAToZAtEveryNameLength) {
  auto changed = [](std::string text, char from, char to) {
    const size_t at = text.rfind(from);
    if (at != std::string::npos) text[at] = to;
    return text;
  };
  for (size_t length = 1; length <= 20; ++length) {
    std::string stored;
    for (size_t k = 0; k < length; ++k)
      stored += "a`z{"[k % 4];
    std::string upper = stored;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    TParamsList list;
    list.Add("other", Variant::FromInt(0));
    list.Add(stored, Variant::FromInt(1));
    const struct {
      std::string query;
      int32_t index;
    } cases[] = {
        {stored, 1},
        {upper, 1},
        {changed(stored, '`', '@'), -1},
        {changed(stored, '{', '['), -1},
        {changed(stored, 'a', '\xC1'), -1},
        {changed(stored, 'z', '\xDA'), -1},
        {stored + "a", -1},
        {stored.substr(0, length - 1), -1},
    };
    for (const auto& c : cases) {
      if (c.query == stored && c.index == -1) continue;  // a substitution that found nothing to change
      EXPECT_EQ(list.IndexOfName(c.query), c.index) << length << " " << c.query;
      const TParamsListElement* found = list.FindByName(c.query.c_str());
      EXPECT_EQ(found, c.index < 0 ? nullptr : list.Element(c.index)) << length << " " << c.query;
    }
  }
}

TEST(ParamsList, LookupRanges) {
  struct Case {
    int32_t from, to, expected;
  };
  // "x" stands at 2 and 7 of ten elements.
  TParamsList list;
  Fill(list, {"a", "b", "x", "c", "d", "e", "f", "x", "g", "h"});
  for (Case c : std::vector<Case>{{0, -1, 2},
                                  {3, -1, 7},
                                  {5, 2, -1},
                                  {-3, 1000, 2},
                                  {8, 1000, -1},
                                  {3, 6, -1},
                                  {7, 7, 7},
                                  {0, 1, -1},
                                  {20, -1, -1}}) {
    EXPECT_EQ(list.IndexOfName("X", c.from, c.to), c.expected) << c.from << ".." << c.to;
  }
}

TEST(ParamsList, BlankNameIsNotAdded) {
  TParamsList list;
  for (std::string name : {std::string(), std::string("   "), std::string("\t\r\n "), std::string(1, '\0')}) {
    EXPECT_EQ(list.Add(name, Variant::FromInt(1)), nullptr);
  }
  EXPECT_EQ(list.Count(), 0);
}

TEST(ParamsList, NameKeepsItsBlanksSoTheBareNameIsNotFound) {
  TParamsList list;
  TParamsListElement* element = list.Add("  A ", Variant::FromInt(1));
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->Name(), "  A ");
  EXPECT_EQ(element->LowerName(), "  a ");
  EXPECT_EQ(list.IndexOfName("A"), -1);
  EXPECT_EQ(list.IndexOfName("  a "), 0);
}

TEST(ParamsList, AddCopiesTheNamePrivately) {
  std::string name = "Value";
  TParamsList list;
  list.Add(name, Variant::FromInt(1));
  name[0] = 'X';
  EXPECT_EQ(list.Element(0)->Name(), "Value");
  EXPECT_NE(list.Element(0)->Name().data(), name.data());
}

TEST(ParamsList, EveryAddedElementHasStateTwo) {
  TParamsList list;
  list.Add("empty", Variant());
  list.Add("null", Variant::Null());
  list.Add("int", Variant::FromInt(3));
  list.NewRow();
  for (int32_t i = 0; i < list.Count(); ++i)
    EXPECT_EQ(list.Element(i)->State(), 2) << i;
  // A detached element keeps its construction state.
  TParamsListElement loose("x", Variant::Null());
  EXPECT_EQ(loose.State(), 0);
  TParamsListElement loose2("x", Variant::FromDouble(1));
  EXPECT_EQ(loose2.State(), 2);
}

TEST(ParamsList, RuntimeStringKindIsStoredAsWideString) {
  TParamsList list;
  list.Add("a", Variant::FromAnsiString("hello"));
  list.Add("b", Variant::FromInt(0));
  list.SetValueByName("b", Variant::FromAnsiString("world"), false);
  for (const char* name : {"a", "b"}) {
    const Variant& value = list.FindByName(name)->Value();
    EXPECT_EQ(value.type(), platform::kVtBstr) << name;
  }
  EXPECT_EQ(list.ValueByName("a").ToText(), "hello");
  EXPECT_EQ(list.ValueByName("b").ToText(), "world");
}

TEST(ParamsList, SetValueByNameOverwritesOrAppends) {
  TParamsList list;
  list.Add("COMMAND", Variant::FromText("LOAD"));
  EXPECT_EQ(list.SetValueByName("RESULT", Variant::FromInt(5), false), nullptr);
  EXPECT_EQ(list.Count(), 1);

  TParamsListElement* added = list.SetValueByName("RESULT", Variant::FromInt(5), true);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(added->Value().ToInt(), 5);

  TParamsListElement* again = list.SetValueByName("result", Variant::FromText("x"), true);
  EXPECT_EQ(again, added);
  EXPECT_EQ(added->Name(), "RESULT");  // the name stays as first added
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.SetValueByName("  ", Variant::FromInt(1), true), nullptr);
  EXPECT_EQ(list.Count(), 2);
}

TEST(ParamsList, NewRowAddsNullMarker) {
  TParamsList list;
  list.NewRow();
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Element(0)->Name(), "$NEW_ROW$");
  EXPECT_EQ(list.Element(0)->Value().type(), platform::kVtNull);
  EXPECT_EQ(list.Element(0)->State(), 2);
  EXPECT_TRUE(list.Element(0)->IsRowMarker());
}

TEST(ParamsList, AppendListClosesTheRowOnlyWhenNeeded) {
  struct Case {
    std::vector<std::string> source;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{"a", "b"}, {"a", "b", "$NEW_ROW$"}},
      {{"a", "$NEW_ROW$"}, {"a", "$NEW_ROW$"}},
      {{"a", "$new_row$"}, {"a", "$new_row$", "$NEW_ROW$"}},  // the marker test is case-sensitive
      {{"$NEW_ROW$", "a"}, {"$NEW_ROW$", "a", "$NEW_ROW$"}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    TParamsList source;
    Fill(source, c.source);
    TParamsList target;
    target.AppendList(&source);
    EXPECT_EQ(Names(target), c.expected);
    EXPECT_EQ(Names(source), c.source);  // the source is unchanged
  }
  TParamsList target;
  target.AppendList(nullptr);
  EXPECT_EQ(target.Count(), 0);
}

TEST(ParamsList, AppendListCopiesValuesDeeply) {
  TParamsList source;
  source.Add("t", Variant::FromText("abc"));
  TParamsList target;
  target.AppendList(&source);
  source.Clear();
  EXPECT_EQ(target.ValueByName("t").ToText(), "abc");
}

TEST(ParamsList, AppendListOfItselfDoublesTheRows) {
  TParamsList list;
  Fill(list, {"a", "b", "c", "d", "e"});  // five elements: the array must grow on the way
  list.NewRow();
  list.AppendList(&list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "b", "c", "d", "e", "$NEW_ROW$", "a", "b", "c", "d",
                                                   "e", "$NEW_ROW$"}));
}

TEST(ParamsList, ClearEmptiesCountAndCapacity) {
  TParamsList list;
  Fill(list, {"a", "b", "c"});
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  list.Add("d", Variant::FromInt(1));
  EXPECT_EQ(list.IndexOfName("d"), 0);
}

TEST(ParamsList, CapacityGrowsInSteps) {
  TParamsList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 100; ++i) {
    list.Add("n", Variant::FromInt(i));
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

// A list whose signature is broken, as a destroyed or foreign object would look.
class BrokenSignature : public ::testing::Test {
 protected:
  void Break(TParamsList& list) { reinterpret_cast<uint32_t*>(&list)[SignatureWord()] = 0; }
  void Restore(TParamsList& list) { reinterpret_cast<uint32_t*>(&list)[SignatureWord()] = 0x0FDE2E4Bu; }
  static size_t SignatureWord() { return (2 * sizeof(void*) + 8) / 4; }
};

TEST_F(BrokenSignature, LookupRaisesTheAssertionEvenOnAnEmptyList) {
  for (int elements : {0, 2}) {
    TParamsList list;
    for (int i = 0; i < elements; ++i)
      list.Add("a", Variant::FromInt(i));
    Break(list);
    try {
      list.IndexOfName("a");
      ADD_FAILURE() << "no assertion with " << elements << " elements";
    } catch (const EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), "Assertion failure (kvoShared/Public/Common/kvoParamLst, line 153)");
    }
    Restore(list);
  }
}

TEST_F(BrokenSignature, EmptyListAnswersFindAndValueWithoutTheCheck) {
  TParamsList list;
  Break(list);
  EXPECT_EQ(list.FindByName("a"), nullptr);
  EXPECT_EQ(list.ValueByName("a").type(), platform::kVtEmpty);
  EXPECT_EQ(list.SetValueByName("a", Variant::FromInt(1), false), nullptr);
  Restore(list);
}

TEST_F(BrokenSignature, NonEmptyListRefusesFindValueAndSet) {
  TParamsList list;
  Fill(list, {"a"});
  Break(list);
  EXPECT_THROW(list.FindByName("a"), EAssertionFailed);
  EXPECT_THROW(list.ValueByName("a"), EAssertionFailed);
  EXPECT_THROW(list.SetValueByName("a", Variant::FromInt(1), true), EAssertionFailed);
  Restore(list);
}

// The module's result rows refill themselves from the elements the last fill left: every fill must still
// be a whole, private copy of its block, whatever names, kinds and lengths the blocks before it had.
TEST(ResultRowsList, EveryRefillIsAWholeCopyOfItsBlock) {
  auto block = [](std::vector<std::pair<std::string, Variant>> entries) {
    auto list = std::make_unique<TParamsList>();
    for (auto& [name, value] : entries)
      list->Add(name, value);
    return list;
  };
  const Variant marker = Variant::Null();
  std::vector<std::unique_ptr<TParamsList>> blocks;
  blocks.push_back(
      block({{"x", Variant::FromDouble(1.5)}, {"s", Variant::FromText("text")}, {"$NEW_ROW$", marker}}));
  blocks.push_back(
      block({{"x", Variant::FromDouble(2.5)}, {"s", Variant::FromText("more")}, {"$NEW_ROW$", marker}}));
  blocks.push_back(block({{"y", Variant::FromInt(2)}, {"x", Variant::FromText("other")}}));  // no marker
  blocks.push_back(block({{"y", Variant::FromInt(3)},
                          {"x", Variant::FromInt(4)},
                          {"t", Variant::FromBool(true)},
                          {"$NEW_ROW$", marker},
                          {"u", Variant::FromDate(2)},
                          {"$NEW_ROW$", marker}}));
  blocks.push_back(
      block({{"x", Variant::FromDouble(1.5)}, {"s", Variant::FromText("text")}, {"$NEW_ROW$", marker}}));
  TResultRowsList rows;
  for (size_t b = 0; b < blocks.size(); ++b) {
    const TParamsList& source = *blocks[b];
    rows.Clear();
    EXPECT_EQ(rows.Count(), 0);
    rows.AppendList(&source);
    const bool closed = source.Element(source.Count() - 1)->IsRowMarker();
    ASSERT_EQ(rows.Count(), source.Count() + (closed ? 0 : 1)) << b;
    for (int32_t i = 0; i < source.Count(); ++i) {
      const TParamsListElement* got = rows.Element(i);
      const TParamsListElement* want = source.Element(i);
      EXPECT_NE(got, want);
      EXPECT_EQ(got->Name(), want->Name()) << b << " " << i;
      EXPECT_EQ(got->LowerName(), want->LowerName()) << b << " " << i;
      EXPECT_EQ(got->State(), 2);
      EXPECT_EQ(got->Value().type(), want->Value().type()) << b << " " << i;
      if (!IsMissing(want->Value())) {
        EXPECT_EQ(got->Value().ToText(), want->Value().ToText()) << b << " " << i;
      }
    }
    EXPECT_TRUE(rows.Element(rows.Count() - 1)->IsRowMarker()) << b;
    EXPECT_TRUE(IsMissing(rows.Element(rows.Count() - 1)->Value())) << b;
  }
}

TEST(RowsParamsList, IsARowListWithReservedFieldZero) {
  TRowsParamsList rows;
  TParamsList plain;
  EXPECT_TRUE(rows.IsRowsList());
  EXPECT_FALSE(plain.IsRowsList());
  EXPECT_EQ(rows.Reserved(), 0);
  TParamsList* base = &rows;
  base->Add("a", Variant::FromInt(1));
  EXPECT_EQ(base->IndexOfName("A"), 0);
}

}  // namespace
}  // namespace kvo
