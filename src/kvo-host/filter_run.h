// The default action of kvo-host: read rows from files or standard input, hand them to the module block
// by block in the filter role, and write the rows of every block that passes. With a key column, each
// value of that column has a module instance of its own, and its rows form their own stream of blocks.
//
// Thread contract: runs on the calling thread, which also receives the module's notifications.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::host {

enum class InputFormat { kAuto, kCsv, kJsonl };

struct FilterOptions {
  std::string module;  // the module file
  std::string ini_file;
  std::string section_prefix;
  std::string registry_path;  // empty: the default path
  std::string language;
  InputFormat format = InputFormat::kAuto;
  int32_t block_rows = 1;
  std::string block_by;
  bool log = false;
  bool quiet = false;
  bool stats = false;
  bool trim = false;  // blanks around unquoted CSV fields and header names are no part of them
  std::string plot;
  std::string plot_x;  // the plot's x column; empty: found by name or values, else the row number
  std::string key;     // the key column (JSON Lines: member); empty: one instance for every row
  int64_t max_keys = 100000;
  std::optional<std::string> plot_key;  // with a key column: the one key plotted; none: every key
  std::vector<std::string> inputs;      // empty or "-": standard input
};

struct FilterIo {
  std::FILE* out = stdout;
  std::function<void(std::string_view)> err;  // receives whole lines and progress text
  bool err_is_terminal = false;
};

// The format a file name implies: .jsonl, .ndjson and .json are JSON Lines, everything else CSV.
InputFormat FormatOfName(const std::string& name);

// Runs the filter; returns the exit status (0 done, 1 failed: bad input, module or I/O problems, more keys
// than max_keys, 2 a column named by --block-by, --key or --plot-x that the input lacks, 128 + the signal
// when stopped by one).
int RunFilter(const FilterOptions& options, FilterIo& io);

}  // namespace kvo::host
