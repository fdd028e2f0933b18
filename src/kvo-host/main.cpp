// kvo-host: filters rows from files or a live stream through a plug-in module, and manages its settings.
// GCC 12 at -O3 reports a false overlap in std::string copies that the option parser's code inlines.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "kvo-host/commands.h"
#include "kvo-host/filter_run.h"
#include "kvo-host/filter_settings.h"
#include "kvo-host/platform/console.h"

namespace {

using kvo::host::Subcommand;

// The subcommands; one entry per command.
using AddCommand = Subcommand (*)(CLI::App&);
constexpr AddCommand kSubcommands[] = {
    &kvo::host::AddConfigureCommand, &kvo::host::AddSettingsCommand, &kvo::host::AddInfoCommand,
    &kvo::host::AddOptionsCommand,   &kvo::host::AddMqttCommand,
};

constexpr const char* kExamples =
    "Examples:\n"
    "  kvo-host --ini filter.ini --stats data.csv > kept.csv\n"
    "  tail -f sensors.jsonl | kvo-host --format jsonl --ini filter.ini\n"
    "  kvo-host --block-by timestamp --plot filter.svg data.csv > kept.csv\n"
    "  kvo-host --key tag --ini filter.ini --stats history.csv > kept.csv\n"
    "  kvo-host configure --ini filter.ini Var1=temperature Type1=abs Val1=0.5\n"
    "  kvo-host options --ini filter.ini --items data.csv\n"
    "Run 'kvo-host COMMAND --help' for a command's options.";

// Edits that turn one word into the other (insert, delete, replace one letter).
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "1", "250": a whole number of at least 1, or 0.
int32_t WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  return static_cast<int32_t>(std::stol(text));
}

}  // namespace

int main(int argc, char** argv) {
  kvo::host::sys::PrepareStandardOutput();
  CLI::App app{
      "Filters rows of CSV or JSON Lines through a deadband plug-in module: only the rows of blocks "
      "in which a watched variable left its deadband are written out.",
      "kvo-host"};
  app.footer(kExamples);
  app.require_subcommand(0, 1);

  kvo::host::FilterOptions options;
  std::string format;
  std::string block_rows;
  std::string max_keys;
  std::string plot_key;
  app.add_option("--module", options.module,
                 "the plug-in module file (default: the deadband module beside kvo-host)")
      ->type_name("PATH");
  app.add_option("--ini", options.ini_file, "INI file with the filter settings (used when it exists)")
      ->type_name("FILE");
  app.add_option("--section-prefix", options.section_prefix, "INI section prefix P: settings in [P.Common]")
      ->type_name("P");
  app.add_option(
         "--registry-path", options.registry_path,
         std::string("registry key of the settings (default ") + kvo::host::kDefaultRegistryPath + ")")
      ->type_name("PATH");
  app.add_option("--language", options.language, "language code for the module's texts")->type_name("CODE");
  app.add_option("--format", format,
                 "input format (default: from the file extension; CSV for standard input)")
      ->check(CLI::IsMember({"csv", "jsonl"}))
      ->type_name("FORMAT");
  app.add_option("--block-rows", block_rows, "rows per block (default 1)")->type_name("N");
  app.add_option("--block-by", options.block_by,
                 "consecutive rows with the same value of COLUMN form one block")
      ->type_name("COLUMN");
  app.add_option("--key", options.key,
                 "filter the rows of each value of COLUMN on their own, one module instance per value")
      ->type_name("COLUMN");
  app.add_option("--max-keys", max_keys, "with --key: stop at the key past N keys (default 100000)")
      ->type_name("N");
  auto* plot_key_option =
      app.add_option("--plot-key", plot_key, "with --key and --plot: draw only the rows of key K")
          ->type_name("K");
  app.add_flag("--log", options.log, "print the module's log lines to standard error");
  app.add_flag("--quiet", options.quiet, "print nothing but errors");
  app.add_flag("--trim", options.trim, "trim blanks around unquoted CSV fields and header names");
  app.add_flag("--stats", options.stats, "print a summary at the end: blocks and rows read, passed, dropped");
  app.add_option("--plot", options.plot, "draw the watched variables' input and passed values into FILE.svg")
      ->type_name("FILE.svg");
  app.add_option("--plot-x", options.plot_x,
                 "the plot's x axis (default: a time column found by name or dates, else the row number)")
      ->type_name("COLUMN");
  app.add_option("INPUT", options.inputs, "CSV or JSON Lines files; none or - for standard input")
      ->type_name("INPUT");

  std::vector<Subcommand> subcommands;
  for (AddCommand add : kSubcommands)
    subcommands.push_back(add(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  for (const Subcommand& command : subcommands) {
    if (command.app->parsed()) return command.run();
  }
  if (!block_rows.empty()) {
    options.block_rows = WholeNumber(block_rows);
    if (options.block_rows < 1) {
      std::cerr << "kvo-host: --block-rows must be a whole number of at least 1\n";
      return 2;
    }
  }
  // A mistyped subcommand arrives as an input file that does not exist.
  if (!options.inputs.empty() && options.inputs.front() != "-") {
    const std::string& word = options.inputs.front();
    std::error_code ignored;
    for (const Subcommand& command : subcommands) {
      const std::string& name = command.app->get_name();
      if (std::filesystem::exists(word, ignored) || Distance(word, name) > 2) continue;
      std::cerr << "kvo-host: no file or subcommand \"" << word << "\"; did you mean \"kvo-host " << name
                << "\"?\n";
      return 2;
    }
  }
  if (!max_keys.empty()) {
    options.max_keys = WholeNumber(max_keys);
    if (options.max_keys < 1) {
      std::cerr << "kvo-host: --max-keys must be a whole number of at least 1\n";
      return 2;
    }
  }
  if (options.key.empty() && (!max_keys.empty() || plot_key_option->count() > 0)) {
    std::cerr << "kvo-host: --max-keys and --plot-key need --key\n";
    return 2;
  }
  if (plot_key_option->count() > 0) options.plot_key = plot_key;
  if (options.block_rows != 1 && !options.block_by.empty()) {
    std::cerr << "kvo-host: --block-rows and --block-by exclude each other\n";
    return 2;
  }
  if (format == "csv") options.format = kvo::host::InputFormat::kCsv;
  if (format == "jsonl") options.format = kvo::host::InputFormat::kJsonl;
  if (options.module.empty()) options.module = kvo::host::DefaultModulePath();

  kvo::host::FilterIo io;
  io.out = stdout;
  io.err = [](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  io.err_is_terminal = kvo::host::sys::StandardErrorIsTerminal();
  return kvo::host::RunFilter(options, io);
}
