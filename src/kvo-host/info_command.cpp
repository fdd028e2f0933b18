// `kvo-host info`: what a module says of itself through its query exports.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "kvo-host/commands.h"
#include "kvo-host/module_driver.h"

namespace kvo::host {

namespace {

std::string TypeNames(int32_t mask) {
  static const char* const kNames[] = {"data query", "data parser", "data export",  "events handling",
                                       "logging",    "filter",      "device layer", "menu extension"};
  std::string names;
  for (int bit = 0; bit < 8; ++bit) {
    if ((mask & (1 << bit)) == 0) continue;
    if (!names.empty()) names += ", ";
    names += kNames[bit];
  }
  return names.empty() ? "none" : names;
}

std::string Version(float version) {
  char text[32];
  const double value = static_cast<double>(version);
  std::snprintf(text, sizeof text, value == static_cast<double>(static_cast<int64_t>(value)) ? "%.1f" : "%g",
                value);
  return text;
}

std::string CustomCommands(const ModuleExports& x, int32_t handle) {
  int32_t needed = 0;
  x.GetCustomCommands(handle, nullptr, 0, &needed);
  if (needed <= 0) return "none\n";
  std::vector<char> buffer(static_cast<std::size_t>(needed));
  const int32_t got = x.GetCustomCommands(handle, buffer.data(), needed, &needed);
  if (got <= 0) return "none\n";
  std::string text(buffer.data(), static_cast<std::size_t>(got));
  std::string out = "\n";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out += "  " + text.substr(start, end - start) + "\n";
    start = end + 2;
  }
  return out;
}

}  // namespace

Subcommand AddInfoCommand(CLI::App& parent) {
  auto module = std::make_shared<std::string>();
  CLI::App* app = parent.add_subcommand("info", "Show what a module says of itself");
  app->add_option("MODULE", *module, "the module file (default: the deadband module beside kvo-host)")
      ->type_name("MODULE");
  app->footer(
      "Examples:\n"
      "  kvo-host info\n"
      "  kvo-host info /usr/local/lib/kvo/deadband.so");
  Subcommand command;
  command.app = app;
  command.run = [module]() {
    const std::string path = module->empty() ? DefaultModulePath() : *module;
    try {
      PluginModule loaded(path);
      const ModuleExports& x = loaded.Exports();
      const int32_t handle = 1;
      const char* description = x.GetModuleDescription(handle);
      const int32_t type = x.GetModuleType(handle);
      std::cout << "module:             " << path << "\n"
                << "description:        " << (description ? description : "(none)") << "\n"
                << "module type:        " << TypeNames(type) << " (" << type << ")\n"
                << "interface version:  " << Version(x.GetPluginInterfaceVersion(handle)) << "\n"
                << "minimum host:       " << Version(x.GetAppMinVersion(handle)) << "\n"
                << "multi-thread:       " << (x.MultiThreadSupport(handle) ? "yes" : "no") << "\n"
                << "custom commands:    " << CustomCommands(x, handle);
    } catch (const ModuleError& e) {
      std::cerr << "kvo-host info: " << e.what() << "\n";
      return 1;
    }
    return 0;
  };
  return command;
}

}  // namespace kvo::host
