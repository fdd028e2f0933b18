// `kvo-host options`: the module's own options dialog for a settings store, with the columns of a CSV
// header offered as the variable names.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "kvo-host/commands.h"
#include "kvo-host/csv_reader.h"
#include "kvo-host/filter_settings.h"
#include "kvo-host/module_driver.h"
#include "kvo-host/platform/console.h"
#include "kvo-host/platform/input_file.h"

namespace kvo::host {

namespace {

struct OptionsArgs {
  std::string module;
  std::string ini_file;
  std::string registry_path;
  std::string section_prefix;
  std::string items;
  std::string language;
};

// The header's columns, typed from the first row when there is one.
std::string ItemsFromCsv(const std::string& path) {
  std::string error;
  std::unique_ptr<sys::InputFile> file = sys::InputFile::Open(path, &error);
  if (!file) throw InputError("cannot open " + path + ": " + error);
  sys::InputFile* source = file.get();
  CsvReader reader(path, [source, path](char* buffer, std::size_t size) {
    std::string read_error;
    const std::ptrdiff_t n = source->Read(buffer, size, &read_error);
    if (n < 0) throw InputError("cannot read " + path + ": " + read_error);
    return n;
  });
  std::vector<ValueKind> kinds(reader.Columns().size(), ValueKind::kNull);
  Record first;
  if (reader.Next(first)) {
    for (const Field& field : first.fields)
      kinds[static_cast<std::size_t>(field.column)] = field.value.kind;
  }
  return ItemListText(reader.Columns(), kinds);
}

int RunOptions(const OptionsArgs& args) {
  const std::string path = args.module.empty() ? DefaultModulePath() : args.module;
  try {
    const std::string items = args.items.empty() ? std::string() : ItemsFromCsv(args.items);
    PluginModule module(path);
    FilterSession session(module, 1);
    if (!items.empty() && session.SetItems(items) < 0) {
      std::cerr << "kvo-host options: the module refused \"SET ITEMS\"\n";
      return 1;
    }
    LoadOptions load;
    load.ini_file = args.ini_file;
    load.section_prefix = args.section_prefix;
    load.registry_path = args.registry_path.empty() ? std::string(kDefaultRegistryPath) : args.registry_path;
    load.language = args.language;
    if (session.Load(load) < 0) {
      std::cerr << "kvo-host options: the module refused \"LOAD\"\n";
      return 1;
    }
    // The module stores the settings itself when the dialog is confirmed, and says on standard error
    // when it cannot show one; that is a failure of the command.
    const std::string said = sys::CaptureStandardError([&session] { session.ShowOptionsDialog(); });
    session.Unload();
    if (said.find("cannot be shown") != std::string::npos) return 1;
  } catch (const ModuleError& e) {
    std::cerr << "kvo-host options: " << e.what() << "\n";
    return 1;
  } catch (const InputError& e) {
    std::cerr << "kvo-host options: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

Subcommand AddOptionsCommand(CLI::App& parent) {
  auto args = std::make_shared<OptionsArgs>();
  CLI::App* app = parent.add_subcommand("options", "Open the module's options dialog for a settings store");
  app->add_option("--module", args->module, "the module file (default: the deadband module beside kvo-host)")
      ->type_name("PATH");
  CLI::Option* ini =
      app->add_option("--ini", args->ini_file, "INI file that holds the settings")->type_name("FILE");
  CLI::Option* registry =
      app->add_option("--registry-path", args->registry_path,
                      std::string("registry key path (default ") + kDefaultRegistryPath + ")")
          ->type_name("PATH");
  ini->excludes(registry);
  app->add_option("--section-prefix", args->section_prefix, "INI section prefix P: section [P.Common]")
      ->type_name("P");
  app->add_option("--items", args->items, "a CSV file whose header's columns the dialog offers as variables")
      ->type_name("FILE.csv");
  app->add_option("--language", args->language, "language code for the dialog's texts")->type_name("CODE");
  app->footer(
      "OK stores every setting; Cancel stores only the window's place and size.\n"
      "Examples:\n"
      "  kvo-host options --ini filter.ini --items data.csv\n"
      "  kvo-host options --registry-path 'Software\\kvo\\line 3' --language DE");
  Subcommand command;
  command.app = app;
  command.run = [args]() { return RunOptions(*args); };
  return command;
}

}  // namespace kvo::host
