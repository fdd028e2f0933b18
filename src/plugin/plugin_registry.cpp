// The instance registry with its per-thread cache.
//
// The registry lock is a reader-writer lock built for the data path. A lookup that this thread's cache
// answers takes it shared: it marks its own per-thread slot and checks that no writer is active, touching
// no memory that other threads write, so calls on different handles scale across cores. Every other
// lookup, constructions, the reload of the other instances after an options dialog and shutdown take it
// exclusively (the re-entrant mutex, then wait until no thread is inside a shared section), so a slow
// construction or a reload still holds back the exports of all other threads.
#include "plugin/plugin_registry.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "params/boundary.h"
#include "platform/lock.h"
#include "plugin/plugin_component.h"
#include "runtime/application.h"

namespace kvo {
namespace {

TkvoPlugin* MakeBasePlugin(TParamsList* parameters) {
  return CreatePluginOf<TkvoPlugin>(parameters);
}

// One thread's shared-section flag and cache entry, on a cache line of its own.
struct alignas(64) ReaderSlot {
  std::atomic<uint32_t> reading{0};
  // The thread's last lookup: written by the owning thread with the lock held exclusively, read by it in
  // a shared section. An entry counts only while its generation is the registry's.
  TkvoPlugin* instance = nullptr;
  uint64_t generation = 0;
};

// Threads that ever called get a slot until the pool is used up; later threads always take the lock
// exclusively, which is correct, only slower. Slots are never reused, so no thread-exit hook is needed.
constexpr size_t kReaderSlots = 256;

// The calling thread's slot in the one registry; a plain per-thread pointer, read on every lookup.
constinit thread_local ReaderSlot* t_my_slot = nullptr;

struct Registry {
  platform::RecursiveLock lock;                   // the exclusive side
  int32_t exclusive_depth = 0;                    // guarded by lock
  std::atomic<bool> writer_active{false};         // set while the lock is held exclusively
  PluginClassRef plugin_class = &MakeBasePlugin;  // guarded by lock
  std::vector<TkvoPlugin*> instances;             // guarded by lock; creation order
  // guarded by lock; the same instances by handle, so a host that switches among thousands of handles
  // does not search them all on every call the per-thread cache cannot answer
  std::unordered_map<int32_t, TkvoPlugin*> by_handle;
  uint64_t generation = 1;  // written exclusively; read in shared sections
  std::array<ReaderSlot, kReaderSlots> slots;
  size_t slots_used = 0;  // guarded by lock

  Registry() { Application(); }  // made first, so it outlives every instance
  ~Registry() { Shutdown(); }

  void LockExclusive() {
    lock.lock();
    if (++exclusive_depth > 1) return;
    writer_active.store(true, std::memory_order_seq_cst);
    for (size_t i = 0; i < slots_used; ++i) {
      while (slots[i].reading.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    }
  }

  void UnlockExclusive() {
    if (--exclusive_depth == 0) writer_active.store(false, std::memory_order_seq_cst);
    lock.unlock();
  }

  // The calling thread's slot, made on its first exclusive lookup. REQUIRES: lock held exclusively.
  ReaderSlot* SlotOfThisThread() {
    ReaderSlot* slot = t_my_slot;
    if (!slot && slots_used < slots.size()) {
      slot = &slots[slots_used++];
      t_my_slot = slot;
    }
    return slot;
  }

  // The cached instance for `handle`, read in a shared section; null when the cache cannot answer.
  TkvoPlugin* SharedLookup(int32_t handle) {
    ReaderSlot* slot = t_my_slot;
    if (!slot) return nullptr;
    slot->reading.store(1, std::memory_order_seq_cst);
    TkvoPlugin* found = nullptr;
    if (!writer_active.load(std::memory_order_seq_cst) && slot->generation == generation && slot->instance &&
        slot->instance->Handle() == handle) {
      found = slot->instance;
    }
    slot->reading.store(0, std::memory_order_release);
    return found;
  }

  void Shutdown() {
    LockExclusive();
    for (TkvoPlugin* instance : instances)
      delete instance;
    instances.clear();
    by_handle.clear();
    ++generation;
    UnlockExclusive();
  }
};

// Holds the registry lock exclusively for a scope.
class ExclusiveGuard {
 public:
  explicit ExclusiveGuard(Registry& registry) : registry_(registry) { registry_.LockExclusive(); }
  ~ExclusiveGuard() { registry_.UnlockExclusive(); }
  ExclusiveGuard(const ExclusiveGuard&) = delete;
  ExclusiveGuard& operator=(const ExclusiveGuard&) = delete;

 private:
  Registry& registry_;
};

// Set once the registry is built, so the data path reaches it without the function-local static's check.
constinit std::atomic<Registry*> g_registry{nullptr};

[[gnu::noinline]] Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

Registry& BuiltRegistry() {
  Registry* registry = g_registry.load(std::memory_order_acquire);
  return registry ? *registry : TheRegistry();
}

// Built when the library loads, before any export can run.
[[maybe_unused]] const bool kRegistryReady =
    (g_registry.store(&TheRegistry(), std::memory_order_release), true);

}  // namespace

void RegisterPluginClass(PluginClassRef plugin_class) {
  Registry& r = TheRegistry();
  ExclusiveGuard guard(r);
  r.plugin_class = plugin_class;
}

PluginClassRef PluginClass() {
  Registry& r = TheRegistry();
  ExclusiveGuard guard(r);
  return r.plugin_class;
}

namespace {

// The lookups that this thread's cache does not answer. Out of line, so that a cache hit sets up no frame.
[[gnu::noinline]] bool LookUpExclusively(Registry& r, int32_t handle, TParamsList* parameters,
                                         TkvoPlugin** instance) {
  ExclusiveGuard guard(r);
  const auto known = r.by_handle.find(handle);
  TkvoPlugin* found = known != r.by_handle.end() ? known->second : nullptr;
  if (!found) {
    try {
      std::unique_ptr<TkvoPlugin> made(r.plugin_class(parameters));
      made->SetHandle(handle);
      r.instances.push_back(made.get());
      try {
        r.by_handle.emplace(handle, made.get());
      } catch (...) {
        r.instances.pop_back();
        throw;
      }
      found = made.release();
    } catch (...) {
      return false;
    }
  }
  if (ReaderSlot* slot = r.SlotOfThisThread()) {
    slot->instance = found;
    slot->generation = r.generation;
  }
  *instance = found;
  return true;
}

}  // namespace

bool GetPluginInstance(int32_t handle, TParamsList* parameters, TkvoPlugin** instance) {
  *instance = nullptr;
  if (handle == 0) return false;
  Registry& r = BuiltRegistry();
  if (TkvoPlugin* cached = r.SharedLookup(handle)) {
    *instance = cached;
    return true;
  }
  return LookUpExclusively(r, handle, parameters, instance);
}

TkvoPlugin* CachedPluginInstance(int32_t handle) noexcept {
  Registry* r = g_registry.load(std::memory_order_acquire);
  if (!r) return nullptr;
  // No instance has handle 0, so the cache never answers for it.
  return r->SharedLookup(handle);
}

void ForEachPluginInstance(const std::function<void(TkvoPlugin&)>& visit) {
  Registry& r = TheRegistry();
  ExclusiveGuard guard(r);
  for (TkvoPlugin* instance : r.instances)
    visit(*instance);
}

void ReloadSettingsOfPeers(TkvoPlugin& changed) noexcept {
  AtBoundary([&] {
    const std::string path = changed.RegistryPath();
    ForEachPluginInstance([&](TkvoPlugin& other) {
      if (&other == &changed || !other.OnLoadSettingsNow || other.RegistryPath() != path) return;
      AtBoundary([&] { other.OnLoadSettingsNow(other); });
    });
  });
}

void ShutdownPluginInstances() {
  TheRegistry().Shutdown();
}

}  // namespace kvo
