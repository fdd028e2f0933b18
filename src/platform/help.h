// The compiled help viewer: shows a topic of a help file by context number, or its table of contents.
//
// On Windows this is the system's HTML Help control, found through its COM registration and loaded on
// first use; Release closes its windows and frees the library (the module does so when its last
// instance unloads), and a later request loads it again. Nothing runs when the module is detached: that
// happens under the loader lock, where closing windows or freeing a library can deadlock.
// On POSIX the request goes to an external viewer program started detached: the command in
// KVO_HELP_VIEWER (run by /bin/sh; %f and %c stand unquoted for the file and the context number, which
// reach the viewer as single arguments, the context empty for the table of contents; %% is a percent
// sign; without %f the file is added last), else `xchm -c <context> <file>`, else the desktop's opener
// (`xdg-open <file>`). With no display (neither DISPLAY nor WAYLAND_DISPLAY set) nothing is started.
//
// A component that shows help takes a HelpViewer& so tests can put a recording fake in its place.
//
// Thread contract: [any-thread]. The system viewer serialises its own loading; on Windows the help
// window belongs to the calling thread, which must pump messages for it.
#pragma once

#include <cstdint>
#include <string>

namespace kvo::platform {

// Opaque window handle (an HWND on Windows, a process id on POSIX); 0 means none or failure.
using HelpWindow = uintptr_t;

// What a request names: the help file, an optional topic inside it, an optional window definition.
struct HelpTarget {
  std::string file;
  std::string topic;   // empty: none (context requests name no topic)
  std::string window;  // empty: the file's default window
};

// The viewer's path text: the file, "::" and the topic when one is named, ">" and the window when one
// is named.
std::string HelpPathText(const HelpTarget& target);

// Context numbers of the viewer's commands.
inline constexpr uint32_t kHelpDisplayToc = 1;   // HH_DISPLAY_TOC
inline constexpr uint32_t kHelpContext = 15;     // HH_HELP_CONTEXT
inline constexpr uint32_t kHelpCloseAll = 0x12;  // HH_CLOSE_ALL

class HelpViewer {
 public:
  virtual ~HelpViewer();
  // Whether a viewer can be used now (on Windows: found and loaded; on POSIX: a display exists).
  virtual bool Available() = 0;
  // Shows the topic with context number `context`. Returns the viewer's window (POSIX: the started
  // process id), 0 when nothing could be shown.
  virtual HelpWindow ShowContext(HelpWindow owner, const HelpTarget& target, uint32_t context) = 0;
  // Shows the table of contents; same result as ShowContext.
  virtual HelpWindow ShowContents(HelpWindow owner, const HelpTarget& target) = 0;
  // Closes the viewer's windows and releases what it loaded. Never call it from a library's detach.
  // Viewers that own no windows (the external programs on POSIX) have nothing to release.
  virtual void Release() {}
};

// The system's viewer, one per process.
HelpViewer& SystemHelpViewer();

}  // namespace kvo::platform
