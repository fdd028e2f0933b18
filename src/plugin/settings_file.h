// Which settings store an instance's settings go to: the INI file the host named last (empty: the
// registry), and the store a settings command ("SAVE-SETTINGS-NOW", "LOAD-SETTINGS-NOW") names for its
// own thread only, so that the options dialog, a first "LOAD" and reloads on other threads keep the
// instance's own store meanwhile.
//
// Thread contract: [any-thread].
//   - `FINIFile` is guarded by `value_lock_`, held only to read or write it.
//   - The change lock (lock/unlock, re-entrant) orders the lasting changes of FINIFile: Store takes it,
//     and "UNLOAD" holds it while it saves into the file it has just stored, so that no other change
//     lands in between. Taken before the instance's FLock and its host context's lock; no settings
//     command takes it.
//   - An Override is in force on the thread that made it only, until it is destroyed; overrides nest.
#pragma once

#include <string>

#include "platform/lock.h"

namespace kvo {

class SettingsFile {
 public:
  SettingsFile() = default;
  SettingsFile(const SettingsFile&) = delete;
  SettingsFile& operator=(const SettingsFile&) = delete;

  // The store in force for the calling thread: its innermost Override of this object, else FINIFile.
  std::string Current() const;
  // FINIFile itself, whatever overrides the calling thread has.
  std::string Stored() const;
  // Makes `ini_file` FINIFile. Takes the change lock.
  void Store(std::string ini_file);
  // Stores `ini_file` unless it is FINIFile already (exact comparison); true when it stored.
  bool StoreIfChanged(std::string ini_file);

  // The change lock.
  void lock() { change_lock_.lock(); }
  void unlock() { change_lock_.unlock(); }

  // Makes `ini_file` (empty: the registry) the store of `file` for the calling thread only, until
  // destroyed.
  class Override {
   public:
    Override(const SettingsFile& file, std::string ini_file);
    ~Override();
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;

   private:
    friend class SettingsFile;
    const SettingsFile& file_;
    std::string ini_file_;
    const Override* outer_;
  };

 private:
  platform::RecursiveLock change_lock_;
  mutable platform::Lock value_lock_;
  std::string FINIFile;  // guarded by value_lock_
};

}  // namespace kvo
