// The owning list of custom commands and its text for the host.
#include "plugin/custom_commands.h"

#include <algorithm>

namespace kvo {

TkvoPluginCustomCmdList::~TkvoPluginCustomCmdList() {
  Clear();
}

void TkvoPluginCustomCmdList::Release(TkvoPluginCustomCmd* command) const {
  if (OwnsObjects) delete command;
}

int32_t TkvoPluginCustomCmdList::Add(TkvoPluginCustomCmd* command) {
  items_.push_back(command);
  return Count() - 1;
}

void TkvoPluginCustomCmdList::Delete(int32_t index) {
  TkvoPluginCustomCmd* command = items_.at(static_cast<size_t>(index));
  items_.erase(items_.begin() + index);
  Release(command);
}

TkvoPluginCustomCmd* TkvoPluginCustomCmdList::Extract(TkvoPluginCustomCmd* command) {
  auto it = std::find(items_.begin(), items_.end(), command);
  if (it == items_.end()) return nullptr;
  items_.erase(it);
  return command;
}

void TkvoPluginCustomCmdList::Clear() {
  std::vector<TkvoPluginCustomCmd*> items;
  items.swap(items_);
  for (TkvoPluginCustomCmd* command : items)
    Release(command);
}

std::string TkvoPluginCustomCmdList::Text() const {
  std::string text;
  for (const TkvoPluginCustomCmd* c : items_) {
    text += c->Command;
    text += '|';
    text += c->Caption;
    text += '|';
    text += c->Hint;
    text += '|';
    text += std::to_string(c->Kind);
    text += '|';
    text += std::to_string(c->Options);
    text += "\r\n";
  }
  return text;
}

}  // namespace kvo
