// The application object: the one process-wide component that owns the process's top-level components
// (forms, shared modules) and carries the title and help file that message boxes and help use, and the
// flag that tells waiting code the process is shutting down.
//
// Thread contract: Title, HelpFile, the help handler, IconHandle and Terminated may be read and written
// from any thread (guarded); Terminated is a lock-free atomic, cheap to poll in a wait loop. The owned
// components follow the component rule: one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "runtime/component.h"
#include "runtime/event.h"

namespace kvo {

class TApplication : public TComponent {
 public:
  static const TClassInfo StaticClass;
  const TClassInfo& ClassType() const noexcept override { return StaticClass; }

  // Standalone objects are for tests; the process's own is Application().
  TApplication();
  ~TApplication() override;

  // Published "Title" and "HelpFile".
  std::string Title() const;
  void SetTitle(std::string_view title);
  std::string HelpFile() const;
  void SetHelpFile(std::string_view help_file);

  // The help handler answers a help request: `command` 1 help by context, 8 context pop-up, 11 contents;
  // `data` the context number. It returns whether the request was served and sets `call_help` when the
  // platform's older help system should run as well.
  using THelpEvent = Event<bool(uint16_t command, int32_t data, bool& call_help)>;
  // Installs `handler` (empty: none) and returns the one it replaces, for putting back later.
  THelpEvent SetHelpHandler(THelpEvent handler);
  // Passes a request to the installed handler; false without one. The handler runs outside the lock.
  bool HelpCommand(uint16_t command, int32_t data);
  // Help by context number (command 1), as F1 or a help button asks for it.
  bool HelpContext(int32_t context) { return HelpCommand(1, context); }

  // The icon of the application's windows, an opaque platform handle (0 = none).
  uintptr_t IconHandle() const noexcept { return FIconHandle.load(std::memory_order_acquire); }
  void SetIconHandle(uintptr_t icon) noexcept { FIconHandle.store(icon, std::memory_order_release); }

  // True once the process has begun to shut down; it never returns to false.
  bool Terminated() const noexcept { return FTerminated.load(std::memory_order_acquire); }
  void Terminate() noexcept { FTerminated.store(true, std::memory_order_release); }

 private:
  static const PropInfo kPublished[];

  mutable std::mutex FTextLock;
  std::string FTitle;       // guarded by FTextLock
  std::string FHelpFile;    // guarded by FTextLock
  THelpEvent FHelpHandler;  // guarded by FTextLock
  std::atomic<uintptr_t> FIconHandle{0};
  std::atomic<bool> FTerminated{false};
};

// The process's application object, made on first use (thread-safe) and destroyed, with the components
// it owns, when the process or library ends.
TApplication& Application();

}  // namespace kvo
