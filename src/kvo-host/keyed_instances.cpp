#include "kvo-host/keyed_instances.h"

#include <atomic>
#include <limits>

namespace kvo::host {

namespace {
constexpr int32_t kFirstHandle = 1 << 20;
std::atomic<int32_t> g_next_handle{kFirstHandle};
}  // namespace

KeyedInstances::KeyedInstances(const PluginModule& module, LoadOptions load, int64_t max_keys,
                               std::function<void(FilterSession&)> after_call)
    : module_(module), load_(std::move(load)), max_keys_(max_keys), after_call_(std::move(after_call)) {}

KeyedInstances::~KeyedInstances() {
  try {
    UnloadAll();
  } catch (...) {  // NOLINT(bugprone-empty-catch): out of memory while unloading at the end
  }
}

int32_t KeyedInstances::Find(std::string_view key) {
  const auto found = index_.find(key);
  if (found != index_.end()) return found->second;
  return Make(key);
}

int32_t KeyedInstances::Make(std::string_view key) {
  if (static_cast<int64_t>(entries_.size()) >= max_keys_) {
    throw KeyLimitError("key \"" + std::string(key) + "\" is one more than --max-keys " +
                        std::to_string(max_keys_) + " allows");
  }
  int32_t handle = g_next_handle.load(std::memory_order_relaxed);
  do {
    if (handle == std::numeric_limits<int32_t>::max())
      throw InstanceSetupError("no free instance handle is left in this process");
  } while (!g_next_handle.compare_exchange_weak(handle, handle + 1, std::memory_order_relaxed));
  const auto index = static_cast<int32_t>(entries_.size());
  Entry& entry = entries_.emplace_back(module_, handle, std::string(key));
  auto refused = [&](const char* command, int32_t result) {
    entries_.pop_back();
    throw InstanceSetupError(std::string("the module refused \"") + command + "\" (result " +
                             std::to_string(result) + ")");
  };
  const int32_t items = entry.session.SetItems(items_);
  AfterCall(entry.session);
  if (items < 0) refused("SET ITEMS", items);
  const int32_t loaded = entry.session.Load(load_);
  AfterCall(entry.session);
  if (loaded < 0) refused("LOAD", loaded);
  entry.loaded = true;
  const int32_t enabled = entry.session.EnableFilter();
  AfterCall(entry.session);
  if (enabled < 0) {
    entry.session.Unload();
    refused("SET-STATE", enabled);
  }
  index_.emplace(entry.key, index);
  return index;
}

void KeyedInstances::UnloadAll() {
  for (Entry& entry : entries_) {
    if (!entry.loaded) continue;
    entry.loaded = false;
    entry.session.Unload();
    AfterCall(entry.session);
  }
}

}  // namespace kvo::host
