// A test module for the host's log path: a filter that passes every block and logs one line per block
// ("Echo. Block of N element(s)||2"), so that kvo-host --log has lines to show.
#include <string>

#include "plugin/plugin_component.h"
#include "plugin/plugin_registry.h"

namespace kvo {
namespace {

class TEchoPlugin : public TkvoPlugin {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  explicit TEchoPlugin(TParamsList* parameters) : TkvoPlugin(parameters) {
    Description = "Echo";
    LogTitle = "Echo";
    ModuleType = TModuleTypes{mttFilter};
    OnProcessData = [this](TkvoPlugin&, uint32_t, TModuleTypes, TParamsList* data, TParamsList*, void*&,
                           int32_t& result) {
      result = 0;
      TRowsParamsList* rows = ResultRows();
      if (rows) rows->Clear();
      if (!data) return;
      AddLogMessage(2, "Block of " + std::to_string(data->Count()) + " element(s)");
      if (rows) rows->AppendList(data);
    };
  }
};

constinit const TClassInfo TEchoPlugin::StaticClass{"TEchoPlugin", &TkvoPlugin::StaticClass};

[[maybe_unused]] const bool kRegistered = (RegisterPluginClass(&CreatePluginOf<TEchoPlugin>), true);

}  // namespace
}  // namespace kvo
