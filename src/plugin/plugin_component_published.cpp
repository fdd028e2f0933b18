// The published properties and events of the plug-in module component, in declaration order.
#include "language/wtransl.h"
#include "plugin/plugin_component.h"
#include "runtime/publish.h"

namespace kvo {

using P = Publish<TkvoPlugin>;

constinit const PropInfo TkvoPlugin::kPublished[] = {
    P::String<&TkvoPlugin::MsgNoData, &TkvoPlugin::MsgNoData>("MsgNoData"),
    P::String<&TkvoPlugin::MsgWriteComplete, &TkvoPlugin::MsgWriteComplete>("MsgWriteComplete"),
    P::String<&TkvoPlugin::MsgWriteCompleteError, &TkvoPlugin::MsgWriteCompleteError>(
        "MsgWriteCompleteError"),
    P::String<&TkvoPlugin::MsgBadLen, &TkvoPlugin::MsgBadLen>("MsgBadLen"),
    P::Float<&TkvoPlugin::MinVersion, &TkvoPlugin::MinVersion>("MinVersion"),
    P::String<&TkvoPlugin::Description, &TkvoPlugin::Description>("Description"),
    P::String<&TkvoPlugin::LogTitle, &TkvoPlugin::LogTitle>("LogTitle"),
    P::Set<&TkvoPlugin::ModuleType, &TkvoPlugin::ModuleType>("ModuleType", kModuleTypeInfo),
    P::Set<&TkvoPlugin::ModuleOptions, &TkvoPlugin::ModuleOptions>("ModuleOptions", kModuleOptionInfo),
    P::String<&TkvoPlugin::EventsSupported, &TkvoPlugin::EventsSupported>("EventsSupported"),
    P::Boolean<&TkvoPlugin::IsMultiThreadSupported, &TkvoPlugin::IsMultiThreadSupported>(
        "IsMultiThreadSupported"),
    P::Method<&TkvoPlugin::OnShowOptionsDialog>("OnShowOptionsDialog"),
    P::Method<&TkvoPlugin::OnExecuteCustomCommand>("OnExecuteCustomCommand"),
    P::Method<&TkvoPlugin::OnEvent>("OnEvent"),
    P::Method<&TkvoPlugin::OnLoad>("OnLoad"),
    P::Method<&TkvoPlugin::OnUnload>("OnUnload"),
    P::Method<&TkvoPlugin::OnSaveSettingsNow>("OnSaveSettingsNow"),
    P::Method<&TkvoPlugin::OnLoadSettingsNow>("OnLoadSettingsNow"),
    P::Method<&TkvoPlugin::OnSetParserItems>("OnSetParserItems"),
    P::Method<&TkvoPlugin::OnStateChanged>("OnStateChanged"),
    P::Method<&TkvoPlugin::OnProcessData>("OnProcessData"),
    P::Method<&TkvoPlugin::OnGetData>("OnGetData"),
    P::Method<&TkvoPlugin::OnBeforeGetParserItems>("OnBeforeGetParserItems"),
    P::Method<&TkvoPlugin::OnSetPropertyValue>("OnSetPropertyValue"),
    P::Method<&TkvoPlugin::OnGetPropertyValue>("OnGetPropertyValue"),
    P::Method<&TkvoPlugin::OnBeforeProcessSettingsItem>("OnBeforeProcessSettingsItem"),
    P::Method<&TkvoPlugin::OnChangeLanguage>("OnChangeLanguage"),
    P::Object<&TkvoPlugin::FTransl>("FTransl"),
};

constinit const TClassInfo TkvoPlugin::StaticClass{"TkvoPlugin", &TDataModule::StaticClass,
                                                   TkvoPlugin::kPublished};

}  // namespace kvo
