// The commands a menu-extension module offers the host beyond the framework's own.
//
// Thread contract: the module fills the list (usually once, at creation); the GetCustomCommands export
// reads it. A module that changes it while the host may read it guards it with the instance's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvo {

struct TkvoPluginCustomCmd {
  std::string Command;
  std::string Caption;
  std::string Hint;
  uint8_t Kind = 0;
  uint8_t Options = 0;
};

// An owning list: while `OwnsObjects` is set, an entry deleted from the list (Delete, Clear, the list's
// destruction) is destroyed with it; an entry taken out with Extract is handed to the caller.
class TkvoPluginCustomCmdList {
 public:
  TkvoPluginCustomCmdList() = default;
  TkvoPluginCustomCmdList(const TkvoPluginCustomCmdList&) = delete;
  TkvoPluginCustomCmdList& operator=(const TkvoPluginCustomCmdList&) = delete;
  ~TkvoPluginCustomCmdList();

  bool OwnsObjects = true;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TkvoPluginCustomCmd* Items(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  // Takes the entry; returns its index.
  int32_t Add(TkvoPluginCustomCmd* command);
  int32_t Add(TkvoPluginCustomCmd command) { return Add(new TkvoPluginCustomCmd(std::move(command))); }
  void Delete(int32_t index);
  // Removes the entry without destroying it; null when it is not in the list.
  TkvoPluginCustomCmd* Extract(TkvoPluginCustomCmd* command);
  void Clear();

  // One line per entry: Command|Caption|Hint|Kind|Options and CR LF (the last line too); texts as they
  // are, unescaped. Empty for an empty list.
  std::string Text() const;

 private:
  void Release(TkvoPluginCustomCmd* command) const;

  std::vector<TkvoPluginCustomCmd*> items_;
};

}  // namespace kvo
