// Module instances by key, for streams that carry many tags: one instance (one host handle) per distinct
// key, made when the key is first seen. Every instance gets the same "SET ITEMS" and the same "LOAD"
// (one settings store for all) and is put in the filter role, so each key is filtered on its own as if
// its rows were the whole input. The number of keys is capped, since each costs an instance for the rest
// of the run.
//
// Handles come from one counter for the whole process, starting far above the small handles that other
// code picks by hand: the module keeps an unloaded instance under its handle for good, so a handle is
// never used twice.
//
// Thread contract: used by one thread, which makes, drives and unloads every instance (the module keeps
// per-thread data for the instances a thread calls); only the handle counter is shared (an atomic).
// Owns its sessions; borrows the module, which must outlive it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/module_driver.h"

namespace kvo::host {

// A key past the limit; the message names the key and the limit.
class KeyLimitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The module refused a command that sets up a new instance; the message names the command and result.
class InstanceSetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class KeyedInstances {
 public:
  static constexpr int64_t kDefaultMaxKeys = 100000;

  // `after_call` (may be empty) runs after every command on an instance, e.g. to read its log.
  // REQUIRES: max_keys >= 1.
  KeyedInstances(const PluginModule& module, LoadOptions load, int64_t max_keys,
                 std::function<void(FilterSession&)> after_call = {});
  ~KeyedInstances();  // unloads what is still loaded; never throws
  KeyedInstances(const KeyedInstances&) = delete;
  KeyedInstances& operator=(const KeyedInstances&) = delete;

  // The "SET ITEMS" text for instances made from now on.
  void SetItems(std::string items) { items_ = std::move(items); }

  // The number of `key`'s instance (0, 1, ... in order of first appearance), made, loaded and enabled
  // when the key is new. Throws KeyLimitError past the limit, InstanceSetupError when the module refuses
  // or the process has used up its handles; a key that failed is not kept.
  int32_t Find(std::string_view key);
  FilterSession& Session(int32_t index) { return entries_[static_cast<std::size_t>(index)].session; }
  // Valid until the next new key.
  const std::string& KeyOf(int32_t index) const { return keys_[static_cast<std::size_t>(index)]; }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  int64_t MaxKeys() const { return max_keys_; }

  // "UNLOAD" for every loaded instance, the newest first; later calls do nothing.
  void UnloadAll();

 private:
  struct Entry {
    Entry(const PluginModule& module, int32_t handle) : session(module, handle) {}
    FilterSession session;
    bool loaded = false;
  };
  // The key index: open addressing with linear probing over a flat array, so that a look-up among many
  // keys touches one slot and one key in memory, not a chain of nodes.
  struct Slot {
    uint64_t hash = 0;
    int32_t index = -1;  // -1: free
  };

  int32_t Make(std::string_view key, uint64_t hash);
  // REQUIRES: keys_ holds the key of `index` already.
  void Index(uint64_t hash, int32_t index);
  void AfterCall(FilterSession& session) {
    if (after_call_) after_call_(session);
  }

  const PluginModule& module_;
  LoadOptions load_;
  int64_t max_keys_;
  std::function<void(FilterSession&)> after_call_;
  std::string items_;
  OwnedParams filter_call_;        // the ProcessData parameters of every instance
  std::deque<Entry> entries_;      // a deque, so sessions stay where they are as keys are added
  std::vector<std::string> keys_;  // by instance number; short keys held in place
  std::vector<Slot> slots_;        // a power of two, at most half used
};

}  // namespace kvo::host
