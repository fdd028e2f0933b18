// The process-wide registry of plug-in instances: one instance per host handle, made on the first call
// that names the handle and kept until the library is unloaded.
//
// Thread contract: [any-thread]. The instance list is guarded by a re-entrant lock that every lookup
// takes (cache hits included) and that is held while a new instance is constructed; the per-thread
// cache (last handle, last instance) is read and written only under it.
#pragma once

#include <cstdint>
#include <functional>

namespace kvo {

class TkvoPlugin;
class TParamsList;

// The "class reference": makes a complete instance (construction and creation event) for the parameters
// of the call that asked for it, or throws.
using PluginClassRef = TkvoPlugin* (*)(TParamsList* parameters);

// The class whose instances the registry makes; TkvoPlugin itself until a module registers its own.
void RegisterPluginClass(PluginClassRef plugin_class);
PluginClassRef PluginClass();

// Finds or makes the instance for `handle`. Handle 0 gives false; a failed construction is swallowed
// (false, nothing added, the thread's cache unchanged) and the next call tries again.
bool GetPluginInstance(int32_t handle, TParamsList* parameters, TkvoPlugin** instance);

// The instance for `handle` when this thread's cache knows it (taking the registry lock shared, as every
// lookup does), else null: the data path's first try, which needs no frame. Never makes an instance.
TkvoPlugin* CachedPluginInstance(int32_t handle) noexcept;

// After `changed`'s options dialog reported success: every other instance whose registry path is
// `changed`'s (exact comparison) and that has OnLoadSettingsNow reloads its settings, in creation order,
// each handler's exception swallowed. Holds the registry lock meanwhile, so the exports of other threads
// wait for the handlers; a handler may call the exports on its own thread.
void ReloadSettingsOfPeers(TkvoPlugin& changed) noexcept;

// Calls `visit` for every instance in creation order while holding the registry lock.
void ForEachPluginInstance(const std::function<void(TkvoPlugin&)>& visit);

// Destroys every instance in creation order, without module events. Runs when the library is unloaded;
// tests call it to start from an empty registry.
void ShutdownPluginInstances();

}  // namespace kvo
