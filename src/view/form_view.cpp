// The toolkit-independent half of ShowModal: the display check, the one-time report, the hook, the
// dialogs open on each thread (which own help windows and message boxes), and the model's side of a
// modal run (reset before, Close at its end).
#include "view/form_view.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "forms/nonvisual.h"
#include "platform/ui.h"
#include "view/toolkit.h"

namespace kvo::view {
namespace {

std::mutex g_hook_lock;
ShownHook g_hook;      // guarded by g_hook_lock
ModalRunner g_runner;  // guarded by g_hook_lock
std::atomic<bool> g_reported{false};

// The dialogs shown and not yet ended, innermost last.
struct OpenDialog {
  std::thread::id thread;
  void* window;
  bool toolkit;  // drawn by the toolkit, not by a runner
};
std::mutex g_open_lock;
std::vector<OpenDialog> g_open;  // guarded by g_open_lock
thread_local bool t_runner_dialog = false;

void ReportOnce(const std::string& reason) {
  if (g_reported.exchange(true)) return;
  std::fprintf(stderr, "kvo: the dialog cannot be shown: %s\n", reason.c_str());
}

ModalRunner Runner() {
  std::lock_guard guard(g_hook_lock);
  return g_runner;
}

bool Available(std::string* reason) {
  if (Runner()) return true;
  return ToolkitAvailable(reason);
}

// The innermost dialog open on the calling thread, or none.
bool InnermostOpen(OpenDialog* out) {
  std::lock_guard guard(g_open_lock);
  for (auto it = g_open.rbegin(); it != g_open.rend(); ++it) {
    if (it->thread != std::this_thread::get_id()) continue;
    *out = *it;
    return true;
  }
  return false;
}

size_t OpenOnThisThread() {
  std::lock_guard guard(g_open_lock);
  size_t n = 0;
  for (const OpenDialog& d : g_open)
    n += d.thread == std::this_thread::get_id() ? 1 : 0;
  return n;
}

// Forgets the calling thread's dialogs beyond the first `keep`.
void CloseOpenOnThisThread(size_t keep) {
  std::lock_guard guard(g_open_lock);
  size_t seen = 0;
  std::erase_if(g_open, [&](const OpenDialog& d) {
    if (d.thread != std::this_thread::get_id()) return false;
    return ++seen > keep;
  });
}

// Help windows and message boxes asked for while a dialog is open belong to that dialog.
void InstallOwnership() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    THtmlHelp::SetOwnerWindowSource([]() -> platform::HelpWindow {
      OpenDialog open{};
      return InnermostOpen(&open) ? reinterpret_cast<platform::HelpWindow>(open.window) : 0;
    });
    platform::SetMessageBoxHandler([](const char* text, const char* caption, platform::MessageIcon icon) {
      OpenDialog open{};
      if (!InnermostOpen(&open) || !open.toolkit) return false;
      return ToolkitMessageBox(open.window, text ? text : "", caption ? caption : "",
                               icon == platform::MessageIcon::kError);
    });
  });
}

}  // namespace

bool DisplayAvailable(std::string* reason) {
  std::string why;
  const bool ok = Available(&why);
  if (!ok && reason) *reason = why;
  return ok;
}

bool CanShowDialogs() {
  std::string why;
  if (Available(&why)) return true;
  ReportOnce(why);
  return false;
}

void SetShownHook(ShownHook hook) {
  std::lock_guard guard(g_hook_lock);
  g_hook = std::move(hook);
}

void SetModalRunner(ModalRunner runner) {
  std::lock_guard guard(g_hook_lock);
  g_runner = std::move(runner);
}

void RunShownHook(void* native_window) {
  {
    std::lock_guard guard(g_open_lock);
    g_open.push_back(OpenDialog{std::this_thread::get_id(), native_window, !t_runner_dialog});
  }
  ShownHook hook;
  {
    std::lock_guard guard(g_hook_lock);
    hook = g_hook;
  }
  if (hook) hook(native_window);
}

bool CloseModal(TCustomForm& form) {
  // Closing the window any other way than by a button counts as Cancel; OnClose saves.
  if (form.Close() != TCloseAction::caNone) return true;
  form.ModalResult = mrNone;
  form.SetVisible(true);
  return false;
}

int32_t ShowModal(TCustomForm& form) {
  const size_t open_before = OpenOnThisThread();
  const bool runner_before = t_runner_dialog;
  try {
    InstallOwnership();
    std::string why;
    const ModalRunner runner = Runner();
    if (!runner && !ToolkitAvailable(&why)) {
      ReportOnce(why);
      return mrNone;
    }
    form.ModalResult = mrNone;
    form.SetVisible(true);
    t_runner_dialog = static_cast<bool>(runner);
    const bool shown = runner ? runner(form, &why) : ToolkitRunModal(form, &why);
    t_runner_dialog = runner_before;
    CloseOpenOnThisThread(open_before);
    if (!shown) {
      ReportOnce(why);
      return mrNone;
    }
    return form.ModalResult;
  } catch (const std::exception& e) {
    ReportOnce(e.what());
  } catch (...) {
    ReportOnce("unknown error");
  }
  t_runner_dialog = runner_before;
  CloseOpenOnThisThread(open_before);
  return mrNone;
}

}  // namespace kvo::view
