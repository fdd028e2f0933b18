// The toolkit-independent half of ShowModal: the display check, the one-time report, the hook, and the
// model's side of a modal run (reset before, Close after).
#include "view/form_view.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <utility>

#include "view/toolkit.h"

namespace kvo::view {
namespace {

std::mutex g_hook_lock;
ShownHook g_hook;  // guarded by g_hook_lock
std::atomic<bool> g_reported{false};

void ReportOnce(const std::string& reason) {
  if (g_reported.exchange(true)) return;
  std::fprintf(stderr, "kvo: the dialog cannot be shown: %s\n", reason.c_str());
}

}  // namespace

bool DisplayAvailable(std::string* reason) {
  std::string why;
  const bool ok = ToolkitAvailable(&why);
  if (!ok && reason) *reason = why;
  return ok;
}

bool CanShowDialogs() {
  std::string why;
  if (ToolkitAvailable(&why)) return true;
  ReportOnce(why);
  return false;
}

void SetShownHook(ShownHook hook) {
  std::lock_guard guard(g_hook_lock);
  g_hook = std::move(hook);
}

void RunShownHook(void* native_window) {
  ShownHook hook;
  {
    std::lock_guard guard(g_hook_lock);
    hook = g_hook;
  }
  if (hook) hook(native_window);
}

int32_t ShowModal(TCustomForm& form) {
  try {
    std::string why;
    if (!ToolkitAvailable(&why)) {
      ReportOnce(why);
      return mrNone;
    }
    form.ModalResult = mrNone;
    form.SetVisible(true);
    if (!ToolkitRunModal(form, &why)) {
      ReportOnce(why);
      return mrNone;
    }
    // Closing the window any other way than by a button counts as Cancel; OnClose saves.
    form.Close();
    return form.ModalResult;
  } catch (const std::exception& e) {
    ReportOnce(e.what());
  } catch (...) {
    ReportOnce("unknown error");
  }
  return mrNone;
}

}  // namespace kvo::view
