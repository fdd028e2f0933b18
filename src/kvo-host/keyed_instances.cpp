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
    : module_(module), load_(std::move(load)), max_keys_(max_keys), after_call_(std::move(after_call)) {
  filter_call_.Int("TYPE", KVO_MT_FILTER);
}

KeyedInstances::~KeyedInstances() {
  try {
    UnloadAll();
  } catch (...) {  // NOLINT(bugprone-empty-catch): out of memory while unloading at the end
  }
}

int32_t KeyedInstances::Find(std::string_view key) {
  const uint64_t hash = std::hash<std::string_view>{}(key);
  if (!slots_.empty()) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.index < 0) break;
      if (slot.hash == hash && keys_[static_cast<std::size_t>(slot.index)] == key) return slot.index;
    }
  }
  return Make(key, hash);
}

void KeyedInstances::Index(uint64_t hash, int32_t index) {
  auto place = [this](const Slot& slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = slot.hash & mask;
    while (slots_[at].index >= 0)
      at = (at + 1) & mask;
    slots_[at] = slot;
  };
  if (keys_.size() * 2 > slots_.size()) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
      if (slot.index >= 0) place(slot);
    }
  }
  place(Slot{hash, index});
}

int32_t KeyedInstances::Make(std::string_view key, uint64_t hash) {
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
  Entry& entry = entries_.emplace_back(module_, handle);
  entry.session.ShareFilterCall(filter_call_.get());
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
  keys_.emplace_back(key);
  Index(hash, index);
  return index;
}

void KeyedInstances::UnloadAll() {
  // Newest first: the module's "UNLOAD" looks for another loaded instance in order of creation, so the
  // oldest, still loaded, ends that search at once.
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    Entry& entry = *it;
    if (!entry.loaded) continue;
    entry.loaded = false;
    entry.session.Unload();
    AfterCall(entry.session);
  }
}

}  // namespace kvo::host
