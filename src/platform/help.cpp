// The part of the help viewer that both systems share: the path text of a request.
#include "platform/help.h"

namespace kvo::platform {

HelpViewer::~HelpViewer() = default;

std::string HelpPathText(const HelpTarget& target) {
  std::string path = target.file;
  if (!target.topic.empty()) path += "::" + target.topic;
  if (!target.window.empty()) path += ">" + target.window;
  return path;
}

}  // namespace kvo::platform
