// The subcommands of kvo-host beside the default action. Each adds itself to the command line and hands
// back what runs it; main lists them in one table, so a new subcommand is one function and one entry.
//
// Thread contract: set up and run on the main thread.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace kvo {
struct StoredDeadbandSettings;
}

namespace kvo::host {

struct Subcommand {
  CLI::App* app = nullptr;   // the parsed subcommand, to see whether it was given
  std::function<int()> run;  // runs it; returns the exit status
};

Subcommand AddConfigureCommand(CLI::App& parent);
Subcommand AddSettingsCommand(CLI::App& parent);
Subcommand AddInfoCommand(CLI::App& parent);
Subcommand AddOptionsCommand(CLI::App& parent);
Subcommand AddMqttCommand(CLI::App& parent);

// The module file beside the program: ../lib/kvo/deadband.so (deadband.dll on Windows) from its folder.
std::string DefaultModulePath();

// The settings as a table: slot, variable, type, band; then the relationship.
std::string SettingsTable(const StoredDeadbandSettings& settings);

}  // namespace kvo::host
