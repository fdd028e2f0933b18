// Component names, lookup, ownership and the order in which owners destroy what they own.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/component.h"
#include "runtime/runtime_errors.h"

namespace kvo {
namespace {

using Log = std::vector<std::string>;

// Records its destruction, and whether its owner was going at the time.
class TTracked : public TComponent {
 public:
  TTracked(TComponent* owner, std::string_view name, Log& log) : TComponent(owner), owner_(owner), log_(log) {
    SetName(name);
  }
  ~TTracked() override {
    const bool owner_going = owner_ != nullptr && Owner() == nullptr && owner_->Destroying();
    log_.push_back(Name() + (owner_going ? " by owner" : ""));
  }

 private:
  TComponent* owner_;
  Log& log_;
};

// Records what its Notification hook is told.
class TWatcher : public TComponent {
 public:
  explicit TWatcher(Log& log) : TComponent(nullptr), log_(log) {}

 protected:
  void Notification(TComponent& component, TOperation operation) override {
    log_.push_back((operation == TOperation::opInsert ? "insert " : "remove ") + component.Name());
  }

 private:
  Log& log_;
};

struct FindCase {
  std::string_view asked;
  int expected;  // index among the owner's components, -1 = none
};

class FindComponentByName : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindComponentByName, IgnoresLetterCaseOfAsciiLetters) {
  Log log;
  TComponent form(nullptr);
  new TTracked(&form, "var1", log);
  new TTracked(&form, "comboRel", log);
  new TTracked(&form, "_frame", log);
  auto* inner = new TTracked(form.Components(2), "btnOK", log);
  (void)inner;
  const FindCase& c = GetParam();
  TComponent* found = form.FindComponent(c.asked);
  if (c.expected < 0) {
    EXPECT_EQ(found, nullptr);
  } else {
    EXPECT_EQ(found, form.Components(c.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Names, FindComponentByName,
                         ::testing::Values(FindCase{"var1", 0}, FindCase{"VAR1", 0}, FindCase{"comborel", 1},
                                           FindCase{"COMBOREL", 1}, FindCase{"_Frame", 2},
                                           FindCase{"btnOK", -1},  // owned by _frame, not by the form
                                           FindCase{"var", -1}, FindCase{"var1 ", -1}, FindCase{"", -1}));

TEST(ComponentOwnership, OwnerListsComponentsInCreationOrder) {
  Log log;
  TComponent owner(nullptr);
  auto* a = new TTracked(&owner, "a", log);
  auto* b = new TTracked(&owner, "b", log);
  auto* c = new TTracked(&owner, "c", log);
  ASSERT_EQ(owner.ComponentCount(), 3);
  EXPECT_EQ(owner.Components(0), a);
  EXPECT_EQ(owner.Components(2), c);
  EXPECT_EQ(b->Owner(), &owner);
  EXPECT_EQ(b->GetOwner(), &owner);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(owner.ComponentIndex(), -1);
  EXPECT_EQ(owner.Owner(), nullptr);
  EXPECT_THROW(owner.Components(3), EComponentError);
  EXPECT_THROW(owner.Components(-1), EComponentError);
}

TEST(ComponentOwnership, OwnerDestroysItsComponentsLastCreatedFirst) {
  Log log;
  {
    TComponent owner(nullptr);
    new TTracked(&owner, "a", log);
    auto* b = new TTracked(&owner, "b", log);
    new TTracked(b, "b1", log);
    new TTracked(b, "b2", log);
    new TTracked(&owner, "c", log);
  }
  // A component's own destructor body runs before TComponent's, which frees what it owns.
  EXPECT_EQ(log, (Log{"c by owner", "b by owner", "b2 by owner", "b1 by owner", "a by owner"}));
}

TEST(ComponentOwnership, ComponentFreedEarlyLeavesItsOwnersList) {
  Log log;
  {
    TComponent owner(nullptr);
    auto* a = new TTracked(&owner, "a", log);
    auto* b = new TTracked(&owner, "b", log);
    auto* c = new TTracked(&owner, "c", log);
    delete b;
    ASSERT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.Components(0), a);
    EXPECT_EQ(owner.Components(1), c);
    EXPECT_EQ(c->ComponentIndex(), 1);
    EXPECT_EQ(owner.FindComponent("b"), nullptr);
  }
  EXPECT_EQ(log, (Log{"b", "c by owner", "a by owner"}));
}

TEST(ComponentOwnership, DestroyComponentsFreesNowAndKeepsTheOwner) {
  Log log;
  TComponent owner(nullptr);
  new TTracked(&owner, "a", log);
  new TTracked(&owner, "b", log);
  owner.DestroyComponents();
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(log, (Log{"b", "a"}));
}

TEST(ComponentOwnership, InsertMovesAComponentBetweenOwners) {
  Log log;
  TWatcher first(log);
  TWatcher second(log);
  auto* moved = new TTracked(&first, "moved", log);
  second.InsertComponent(*moved);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(second.ComponentCount(), 1);
  EXPECT_EQ(moved->Owner(), &second);
  second.RemoveComponent(*moved);
  EXPECT_EQ(moved->Owner(), nullptr);
  EXPECT_EQ(second.ComponentCount(), 0);
  // The constructor's insert happens before the name is set, hence the empty name.
  EXPECT_EQ(log, (Log{"insert ", "remove moved", "insert moved", "remove moved"}));
  delete moved;
}

TEST(ComponentNames, RefuseNamesThatAreNoIdentifiers) {
  TComponent component(nullptr);
  for (std::string_view bad : {"1abc", "a b", "a-b", "a.b", "\xC3\xA4"}) {
    EXPECT_THROW(component.SetName(bad), EComponentError) << bad;
  }
  for (std::string_view good : {"a", "_", "__hidden", "var1", "B_2"}) {
    EXPECT_NO_THROW(component.SetName(good)) << good;
    EXPECT_EQ(component.Name(), good);
  }
  component.SetName("");
  EXPECT_EQ(component.Name(), "");
}

TEST(ComponentNames, AreUniqueAmongAnOwnersComponentsIgnoringCase) {
  Log log;
  TComponent owner(nullptr);
  new TTracked(&owner, "label1", log);
  auto* second = new TTracked(&owner, "label2", log);
  EXPECT_THROW(second->SetName("LABEL1"), EComponentError);
  EXPECT_EQ(second->Name(), "label2");
  second->SetName("Label2");  // its own name in other letters
  EXPECT_EQ(second->Name(), "Label2");
  new TTracked(&owner, "", log);
  new TTracked(&owner, "", log);  // empty names never clash
  TComponent other(nullptr);
  EXPECT_NO_THROW(new TTracked(&other, "label1", log));  // another owner
  EXPECT_THROW(owner.InsertComponent(*other.Components(0)), EComponentError);
  EXPECT_EQ(other.ComponentCount(), 1);
}

}  // namespace
}  // namespace kvo
