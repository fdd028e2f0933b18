// A data module's values are complete, and its components loaded, before its creation event runs; a
// class further down can run a step after that event.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/data_module.h"
#include "runtime/properties.h"

namespace kvo {
namespace {

using Log = std::vector<std::string>;

class TLoggedChild : public TComponent {
 public:
  TLoggedChild(TComponent* owner, Log& log) : TComponent(owner), log_(log) {}
  void Loaded() override {
    TComponent::Loaded();
    log_.push_back("child loaded");
  }

 private:
  Log& log_;
};

// Stands for a framework module: a base that runs a step of its own after the creation event.
class TFrameworkModule : public TDataModule {
 public:
  explicit TFrameworkModule(Log& log) : TDataModule(nullptr), log_(log) { log_.push_back("framework ctor"); }

  void AfterConstruction() override {
    TDataModule::AfterConstruction();
    log_.push_back("framework after creation");
  }
  void Loaded() override {
    log_.push_back(std::string("module loaded, was loading: ") + (Loading() ? "yes" : "no"));
    TDataModule::Loaded();
  }

  std::string description = "base default";

 protected:
  Log& log_;
};

// Stands for a concrete module: sets its values and binds its creation event in its constructor.
class TConcreteModule : public TFrameworkModule {
 public:
  explicit TConcreteModule(Log& log) : TFrameworkModule(log) {
    description = "Deadband";
    new TLoggedChild(this, log_);
    OnCreate = [this](TObject& sender) {
      log_.push_back("OnCreate sees " + description +
                     ", sender is module: " + (&sender == this ? "yes" : "no"));
    };
    log_.push_back("concrete ctor");
  }
};

TEST(DataModuleCreation, EventRunsAfterAllValuesAndLoadedHooksAndBeforeLaterSteps) {
  Log log;
  TConcreteModule* module = Create<TConcreteModule>(log);
  EXPECT_EQ(log, (Log{"framework ctor", "concrete ctor", "module loaded, was loading: yes", "child loaded",
                      "OnCreate sees Deadband, sender is module: yes", "framework after creation"}));
  EXPECT_FALSE(module->Loading());
  delete module;
}

TEST(DataModuleCreation, UnassignedCreationEventIsSkipped) {
  TDataModule* module = Create<TDataModule>(nullptr);
  EXPECT_FALSE(module->OnCreate.Assigned());
  EXPECT_FALSE(module->Loading());
  EXPECT_FALSE(IsEventAssigned(*module, "OnCreate"));
  delete module;
}

TEST(DataModuleCreation, ModuleIsLoadingUntilConstructionEnds) {
  TDataModule module(nullptr);
  EXPECT_TRUE(module.Loading());
  module.AfterConstruction();
  EXPECT_FALSE(module.Loading());
}

// A module made without Create<T> raises the event itself at the end of its constructor.
class TSelfCreatingModule : public TDataModule {
 public:
  explicit TSelfCreatingModule(int& runs) : TDataModule(nullptr) {
    OnCreate = [&runs](TObject&) { ++runs; };
    DoCreate();
  }
};

TEST(DataModuleCreation, CreationEventRunsOnlyOnce) {
  int runs = 0;
  TSelfCreatingModule* module = Create<TSelfCreatingModule>(runs);
  EXPECT_EQ(runs, 1);
  module->AfterConstruction();
  EXPECT_EQ(runs, 1);
  delete module;
}

class TFailingModule : public TDataModule {
 public:
  explicit TFailingModule(TComponent* owner) : TDataModule(owner) {
    SetName("failing");
    OnCreate = [](TObject&) { throw std::runtime_error("creation failed"); };
  }
};

TEST(DataModuleCreation, FailingCreationEventDestroysTheModuleAndPassesOn) {
  TComponent owner(nullptr);
  EXPECT_THROW(Create<TFailingModule>(&owner), std::runtime_error);
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(owner.FindComponent("failing"), nullptr);
}

}  // namespace
}  // namespace kvo
