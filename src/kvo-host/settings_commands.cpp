// `kvo-host configure` and `kvo-host settings`: write and show the filter settings without the dialog.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "kvo-host/commands.h"
#include "kvo-host/filter_settings.h"
#include "kvo-host/setting_args.h"
#include "platform/files.h"

namespace kvo::host {

namespace {

struct StoreArgs {
  StoreLocation location;
};

void AddStoreOptions(CLI::App& app, StoreArgs& args, bool exclusive) {
  CLI::Option* ini =
      app.add_option("--ini", args.location.ini_file, "INI file that holds the settings")->type_name("FILE");
  CLI::Option* registry =
      app.add_option("--registry-path", args.location.registry_path,
                     std::string("registry key path (default ") + kDefaultRegistryPath + ")")
          ->type_name("PATH");
  app.add_option("--section-prefix", args.location.section_prefix, "INI section prefix P: section [P.Common]")
      ->type_name("P");
  if (exclusive) ini->excludes(registry);
}

std::string Pad(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string BandText(double band) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", band);
  return text;
}

// The system's reason at the end of a store error ("cannot save 'f': cannot create 'f.tmpX': reason"), so
// a message names the user's file rather than the store's temporary one.
std::string Reason(const std::exception& e) {
  const std::string what = e.what();
  const std::size_t colon = what.rfind(": ");
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

std::string StoreName(const StoreLocation& location) {
  return location.ini_file.empty() ? DescribeLocation(location) : "INI file " + location.ini_file;
}

// Reads the settings; false with a message on standard error when the store cannot be read.
bool ReadSettings(const char* command, const StoreLocation& location, FilterSettings* settings, bool* found) {
  try {
    *found = LoadFilterSettings(location, settings);
    for (const std::string& note : CheckStoredSettings(location, *settings))
      std::cerr << "kvo-host " << command << ": warning: " << note << "\n";
    return true;
  } catch (const std::exception& e) {
    std::cerr << "kvo-host " << command << ": cannot read " << StoreName(location) << ": " << Reason(e)
              << "\n";
    return false;
  }
}

// The SETTING argument's help: every key with a placeholder for its value, the slots, the relationships.
std::string SettingArgumentHelp() {
  auto key = [](DeadbandSetting setting) { return std::string(RowOf(setting).key); };
  return key(DeadbandSetting::kVar) + "<n>=NAME, " + key(DeadbandSetting::kType) + "<n>=TYPE, " +
         key(DeadbandSetting::kVal) + "<n>=BAND (n = 1.." + std::to_string(kSlotCount) + "), " +
         key(DeadbandSetting::kRelationship) + "=" + std::string(kRelationshipCaptions[0]) + "|" +
         std::string(kRelationshipCaptions[1]) + "; " + key(DeadbandSetting::kVar) + "<n>= clears a slot";
}

}  // namespace

std::string SettingsTable(const FilterSettings& settings) {
  std::size_t name_width = 8;
  for (const SlotSetting& slot : settings.slots)
    name_width = std::max(name_width, slot.name.size());
  std::string table = "slot  " + Pad("variable", name_width) + "  " + Pad("type", 14) + "  band\n";
  bool any = false;
  for (int i = 0; i < kSlotCount; ++i) {
    const SlotSetting& slot = settings.slots[static_cast<std::size_t>(i)];
    if (slot.name.find_first_not_of(" \t") == std::string::npos) continue;
    any = true;
    std::string type = TypeCaption(slot.type);
    if (type.empty()) type = "(none: unused)";
    table += Pad(std::to_string(i + 1), 4) + "  " + Pad(slot.name, name_width) + "  " + Pad(type, 14) + "  " +
             BandText(slot.band) + "\n";
  }
  if (!any) table += "(no variables)\n";
  // The module reads any number but 1 as the first relationship.
  table += "relationship: " + std::string(kRelationshipCaptions[settings.relationship == 1 ? 1 : 0]) + "\n";
  return table;
}

Subcommand AddConfigureCommand(CLI::App& parent) {
  auto args = std::make_shared<StoreArgs>();
  auto settings_args = std::make_shared<std::vector<std::string>>();
  CLI::App* app = parent.add_subcommand("configure", "Write filter settings without the options dialog");
  AddStoreOptions(*app, *args, true);
  app->add_option("SETTING", *settings_args, SettingArgumentHelp())->required()->type_name("SETTING");
  app->footer("Types: " + ValidDeadbandTypes() +
              ".\n"
              "Examples:\n"
              "  kvo-host configure --ini filter.ini Var1=temperature Type1=Absolute Val1=0.5 \\\n"
              "                     Var2=pressure Type2=pct Val2=2 Relationship=OR\n"
              "  kvo-host configure --registry-path 'Software\\Plant\\Line1' Var2=");
  Subcommand command;
  command.app = app;
  command.run = [args, settings_args]() {
    FilterSettings settings;
    bool found = false;
    if (!ReadSettings("configure", args->location, &settings, &found)) return 1;
    FilterSettings changed = settings;
    std::string error;
    if (!ApplySettingArguments(*settings_args, &changed, &error)) {
      std::cerr << "kvo-host configure: " << error << "\nNothing was written.\n";
      return 2;
    }
    try {
      SaveFilterSettings(args->location, changed);
    } catch (const std::exception& e) {
      std::cerr << "kvo-host configure: cannot write " << StoreName(args->location) << ": " << Reason(e)
                << "\n";
      return 1;
    }
    std::cout << "Written to " << DescribeLocation(args->location) << ":\n" << SettingsTable(changed);
    return 0;
  };
  return command;
}

Subcommand AddSettingsCommand(CLI::App& parent) {
  auto args = std::make_shared<StoreArgs>();
  CLI::App* app = parent.add_subcommand("settings", "Show the stored filter settings as a table");
  AddStoreOptions(*app, *args, true);
  app->footer(
      "Examples:\n"
      "  kvo-host settings --ini filter.ini\n"
      "  kvo-host settings --ini plant.ini --section-prefix Line1\n"
      "  kvo-host settings            (the default registry key)");
  Subcommand command;
  command.app = app;
  command.run = [args]() {
    if (!args->location.ini_file.empty() && !platform::FileExists(args->location.ini_file)) {
      std::cerr << "kvo-host settings: no INI file " << args->location.ini_file << "\n";
      return 1;
    }
    FilterSettings settings;
    bool found = false;
    if (!ReadSettings("settings", args->location, &settings, &found)) return 1;
    if (!found) {
      std::cerr << "kvo-host settings: nothing stored in " << DescribeLocation(args->location) << "\n";
      return 1;
    }
    std::cout << "Settings in " << DescribeLocation(args->location) << ":\n" << SettingsTable(settings);
    return 0;
  };
  return command;
}

}  // namespace kvo::host
