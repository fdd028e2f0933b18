// The view of a build without a toolkit: nothing can be shown.
#include "view/toolkit.h"

namespace kvo::view {

bool ToolkitAvailable(std::string* reason) {
  if (reason) *reason = "this build has no user-interface toolkit";
  return false;
}

bool ToolkitRunModal(TCustomForm&, std::string* reason) {
  return ToolkitAvailable(reason);
}

bool ToolkitMessageBox(void*, const std::string&, const std::string&, bool) {
  return false;
}

}  // namespace kvo::view
