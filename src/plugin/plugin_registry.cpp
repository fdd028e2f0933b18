// The instance registry with its per-thread cache.
#include "plugin/plugin_registry.h"

#include <memory>
#include <mutex>
#include <vector>

#include "platform/lock.h"
#include "platform/thread_slot.h"
#include "plugin/kvo_plugin.h"
#include "runtime/application.h"

namespace kvo {
namespace {

TkvoPlugin* MakeBasePlugin(TParamsList* parameters) {
  return CreatePluginOf<TkvoPlugin>(parameters);
}

struct Registry {
  platform::RecursiveLock lock;
  PluginClassRef plugin_class = &MakeBasePlugin;  // guarded by lock
  std::vector<TkvoPlugin*> instances;             // guarded by lock; creation order
  // One cache entry per thread, written together under lock. An entry counts only while its generation
  // is the registry's: a shutdown (tests restart the registry) invalidates every thread's entry at once.
  platform::ThreadSlot last_handle;
  platform::ThreadSlot last_instance;
  platform::ThreadSlot last_generation;
  uintptr_t generation = 1;  // guarded by lock

  Registry() { Application(); }  // made first, so it outlives every instance
  ~Registry() { Shutdown(); }

  void Shutdown() {
    std::lock_guard guard(lock);
    for (TkvoPlugin* instance : instances)
      delete instance;
    instances.clear();
    ++generation;
  }

  bool CacheHit(int32_t handle) const {
    return reinterpret_cast<uintptr_t>(last_generation.Get()) == generation &&
           static_cast<int32_t>(reinterpret_cast<intptr_t>(last_handle.Get())) == handle;
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Built when the library loads, before any export can run.
[[maybe_unused]] const bool kRegistryReady = (TheRegistry(), true);

}  // namespace

void RegisterPluginClass(PluginClassRef plugin_class) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  r.plugin_class = plugin_class;
}

PluginClassRef PluginClass() {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  return r.plugin_class;
}

bool GetPluginInstance(int32_t handle, TParamsList* parameters, TkvoPlugin** instance) {
  *instance = nullptr;
  if (handle == 0) return false;
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  TkvoPlugin* found = nullptr;
  if (r.CacheHit(handle)) {
    found = static_cast<TkvoPlugin*>(r.last_instance.Get());
  } else {
    for (TkvoPlugin* candidate : r.instances) {
      if (candidate->Handle() == handle) {
        found = candidate;
        break;
      }
    }
    if (!found) {
      try {
        std::unique_ptr<TkvoPlugin> made(r.plugin_class(parameters));
        made->SetHandle(handle);
        r.instances.push_back(made.get());
        found = made.release();
      } catch (...) {
        return false;
      }
    }
  }
  r.last_handle.Set(reinterpret_cast<void*>(static_cast<intptr_t>(handle)));
  r.last_instance.Set(found);
  r.last_generation.Set(reinterpret_cast<void*>(r.generation));
  *instance = found;
  return true;
}

void ForEachPluginInstance(const std::function<void(TkvoPlugin&)>& visit) {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  for (TkvoPlugin* instance : r.instances)
    visit(*instance);
}

void ShutdownPluginInstances() {
  TheRegistry().Shutdown();
}

}  // namespace kvo
