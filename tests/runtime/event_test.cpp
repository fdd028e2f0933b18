// Events run their handler only when one is assigned; parameters by reference carry results back.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/component.h"
#include "runtime/event.h"

namespace kvo {
namespace {

using TCommandEvent = Event<void(TObject& sender, const std::string& command, int32_t& result)>;

TEST(EventCall, UnassignedEventDoesNothingAndLeavesVarParameters) {
  TCommandEvent event;
  TComponent sender(nullptr);
  int32_t result = 7;
  EXPECT_FALSE(event.Assigned());
  EXPECT_FALSE(static_cast<bool>(event));
  event(sender, "LOAD", result);
  EXPECT_EQ(result, 7);
}

TEST(EventCall, AssignedHandlerChangesVarParameters) {
  TComponent sender(nullptr);
  TObject* seen = nullptr;
  TCommandEvent event = [&seen](TObject& s, const std::string& command, int32_t& result) {
    seen = &s;
    result = command == "LOAD" ? 1 : -2;
  };
  int32_t result = 0;
  event(sender, "LOAD", result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen, &sender);
  event(sender, "OTHER", result);
  EXPECT_EQ(result, -2);
}

TEST(EventCall, UnassignedEventWithResultGivesTheDefault) {
  Event<int32_t(int32_t)> twice;
  EXPECT_EQ(twice(21), 0);
  twice = [](int32_t v) { return v * 2; };
  EXPECT_EQ(twice(21), 42);
}

TEST(EventAssignment, ClearingAndNullptrUnassign) {
  int calls = 0;
  TNotifyEvent event = [&calls](TObject&) { ++calls; };
  TComponent sender(nullptr);
  TNotifyEvent copy = event;
  event.Clear();
  event(sender);
  copy(sender);
  EXPECT_EQ(calls, 1);
  copy = nullptr;
  copy(sender);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(copy.Assigned());
}

}  // namespace
}  // namespace kvo
