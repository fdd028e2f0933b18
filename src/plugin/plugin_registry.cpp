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
  // One cache entry per thread: the instance of the thread's last lookup and the registry generation it
  // belongs to, written together under lock and only when they change. The handle is the instance's own
  // (fixed once registered); a shutdown (tests restart the registry) invalidates every entry at once.
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

  // REQUIRES: lock held.
  TkvoPlugin* CacheHit(int32_t handle) const {
    if (reinterpret_cast<uintptr_t>(last_generation.Get()) != generation) return nullptr;
    auto* instance = static_cast<TkvoPlugin*>(last_instance.Get());
    return instance && instance->Handle() == handle ? instance : nullptr;
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
  TkvoPlugin* found = r.CacheHit(handle);
  if (found) {
    *instance = found;
    return true;
  }
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
