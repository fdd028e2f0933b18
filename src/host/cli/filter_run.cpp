#include "host/cli/filter_run.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "host/cli/block.h"
#include "host/cli/csv_reader.h"
#include "host/cli/filter_settings.h"
#include "host/cli/jsonl_reader.h"
#include "host/cli/log_reader.h"
#include "host/cli/module_driver.h"
#include "host/cli/params_block.h"
#include "host/cli/platform/input_file.h"
#include "host/cli/row_writer.h"
#include "host/cli/run_stats.h"
#include "host/cli/svg_plot.h"

namespace kvo::host {

namespace {

// A failure that ends the run; the message is complete.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string LowerExtension(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  const std::size_t slash = name.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

const char* FormatName(InputFormat format) {
  return format == InputFormat::kJsonl ? "JSON Lines" : "CSV";
}

// One run's state: the module session, the current block and where its rows go.
class Run {
 public:
  Run(const FilterOptions& options, FilterIo& io)
      : options_(options), io_(io), writer_(io.out), blocker_(options.block_rows, options.block_by) {}

  int Execute();

 private:
  void ReadInput(const std::string& name, InputFormat format);
  void StartModule(const Record& first);
  void ProcessBlock();
  void Print(const std::string& line) { io_.err(line + "\n"); }

  const FilterOptions& options_;
  FilterIo& io_;
  RowWriter writer_;
  Blocker blocker_;
  Block block_;
  ParamsBlock params_;
  std::unique_ptr<PluginModule> module_;
  std::unique_ptr<FilterSession> session_;
  std::unique_ptr<LogReader> log_;
  std::unique_ptr<PlotRecorder> plot_;
  std::unique_ptr<ProgressLine> progress_;
  FilterSettings settings_;
  bool settings_found_ = false;

  std::vector<std::string> columns_;  // every input's columns, by name
  std::unordered_map<std::string, int32_t> column_index_;
  InputFormat output_format_ = InputFormat::kAuto;
  std::string current_file_;
  bool live_ = false;
  bool loaded_ = false;
  RunCounts counts_;
  int64_t row_number_ = 0;  // rows read before the current block
  uint64_t bytes_before_ = 0;
  int64_t total_bytes_ = 0;
};

void Run::StartModule(const Record& first) {
  std::vector<ValueKind> kinds(columns_.size(), ValueKind::kNull);
  for (const Field& field : first.fields)
    kinds[static_cast<std::size_t>(field.column)] = field.value.kind;
  if (session_->SetItems(ItemListText(columns_, kinds)) < 0)
    throw RunError("the module refused \"SET ITEMS\"");
  LoadOptions load;
  load.ini_file = options_.ini_file;
  load.section_prefix = options_.section_prefix;
  load.registry_path =
      options_.registry_path.empty() ? std::string(kDefaultRegistryPath) : options_.registry_path;
  load.language = options_.language;
  load.messages_handle = log_ ? log_->Target() : 0;
  const int32_t loaded = session_->Load(load);
  if (log_) log_->Poll(*session_);
  if (loaded < 0) throw RunError("the module refused \"LOAD\" (result " + std::to_string(loaded) + ")");
  loaded_ = true;
  const int32_t enabled = session_->EnableFilter();
  if (log_) log_->Poll(*session_);
  if (enabled < 0)
    throw RunError("the module refused \"SET-STATE\" (result " + std::to_string(enabled) + ")");
}

void Run::ProcessBlock() {
  if (block_.Empty()) return;
  params_.Fill(block_, columns_);
  TParamsList* rows = nullptr;
  const int32_t result = session_->Process(params_.List(), &rows);
  if (log_) log_->Poll(*session_);
  if (result < 0) {
    throw RunError(current_file_ + ":" + std::to_string(block_.FirstLine()) +
                   ": the module failed on this block (result " + std::to_string(result) + ")");
  }
  const bool passed = rows != nullptr && kvo_params_count(rows) > 0;
  ++counts_.blocks_read;
  counts_.rows_read += block_.RowCount();
  if (passed) {
    ++counts_.blocks_passed;
    counts_.rows_passed += block_.RowCount();
    writer_.Rows(block_.Text());
    if (live_ && !writer_.Flush()) throw RunError("cannot write the output");
  }
  if (plot_) plot_->Record(block_, columns_, passed, row_number_ + 1);
  row_number_ += block_.RowCount();
  block_.Clear();
}

void Run::ReadInput(const std::string& name, InputFormat format) {
  const bool standard_input = name == "-";
  current_file_ = standard_input ? "<stdin>" : name;
  std::string error;
  std::unique_ptr<sys::InputFile> file =
      standard_input ? sys::InputFile::StandardInput() : sys::InputFile::Open(name, &error);
  if (!file) throw RunError("cannot open " + name + ": " + error);
  live_ = !file->IsRegularFile();
  sys::InputFile* source = file.get();
  const std::string file_name = current_file_;
  InputBuffer::ReadFn read = [source, file_name](char* buffer, std::size_t size) {
    std::string read_error;
    const std::ptrdiff_t n = source->Read(buffer, size, &read_error);
    if (n < 0) throw InputError("cannot read " + file_name + ": " + read_error);
    return n;
  };
  std::unique_ptr<RecordReader> reader;
  if (format == InputFormat::kJsonl) {
    reader = std::make_unique<JsonlReader>(current_file_, read);
  } else {
    reader = std::make_unique<CsvReader>(current_file_, read);
  }
  if (output_format_ == InputFormat::kAuto) {
    output_format_ = format;
    writer_.Header(reader->Header());
    if (live_ && !writer_.Flush()) throw RunError("cannot write the output");
  } else if (format != output_format_) {
    throw RunError(current_file_ + ": " + FormatName(format) + " input after " + FormatName(output_format_) +
                   " input");
  } else if (format == InputFormat::kCsv && reader->Columns() != columns_) {
    throw InputError(current_file_, 1, "the header differs from the first input's");
  }

  std::vector<int32_t> remap;  // the reader's column numbers to the run's
  Record record;
  while (reader->Next(record)) {
    const std::vector<std::string>& columns = reader->Columns();
    while (remap.size() < columns.size()) {
      const std::string& column = columns[remap.size()];
      auto [it, added] = column_index_.try_emplace(column, static_cast<int32_t>(columns_.size()));
      if (added) columns_.push_back(column);
      remap.push_back(it->second);
    }
    for (Field& field : record.fields)
      field.column = remap[static_cast<std::size_t>(field.column)];
    if (!loaded_) StartModule(record);
    if (blocker_.StartsNewBlock(block_, record, columns_)) ProcessBlock();
    if (block_.Empty()) blocker_.Remember(record, columns_);
    block_.Add(record);
    if (blocker_.IsComplete(block_)) ProcessBlock();
    if (progress_) progress_->Update(bytes_before_ + reader->BytesRead(), total_bytes_, counts_.rows_read);
  }
  // A block does not go on into the next input.
  ProcessBlock();
  bytes_before_ += reader->BytesRead();
}

int Run::Execute() {
  const double start = Seconds();
  std::vector<std::string> inputs = options_.inputs;
  if (inputs.empty()) inputs.push_back("-");
  int status = 0;
  try {
    module_ = std::make_unique<PluginModule>(options_.module);
    session_ = std::make_unique<FilterSession>(*module_, 1);
    if (options_.log && !options_.quiet) {
      log_ = std::make_unique<LogReader>([this](std::string_view line) { Print(std::string(line)); });
      std::string error;
      if (!log_->Open(&error)) throw RunError("cannot open the log channel: " + error);
    }
    StoreLocation location{options_.ini_file, options_.section_prefix, options_.registry_path};
    settings_found_ = LoadFilterSettings(location, &settings_);
    bool any_active = false;
    for (int i = 0; i < kSlotCount; ++i)
      any_active = any_active || settings_.Active(i);
    if (!any_active && !options_.quiet) {
      Print("kvo-host: warning: no watched variable in " + DescribeLocation(location) +
            (settings_found_ ? "" : " (nothing stored)") + "; every block will be dropped");
    }
    if (!options_.plot.empty()) plot_ = std::make_unique<PlotRecorder>(settings_);
    if (io_.err_is_terminal && !options_.quiet) {
      total_bytes_ = 0;
      for (const std::string& name : inputs) {
        std::string ignored;
        auto file = name == "-" ? sys::InputFile::StandardInput() : sys::InputFile::Open(name, &ignored);
        if (!file || file->Size() < 0) {
          total_bytes_ = -1;
          break;
        }
        total_bytes_ += file->Size();
      }
      progress_ = std::make_unique<ProgressLine>(&Seconds, [this](std::string_view text) { io_.err(text); });
    }
    for (const std::string& name : inputs) {
      const InputFormat format = options_.format != InputFormat::kAuto ? options_.format
                                 : name == "-"                         ? InputFormat::kCsv
                                                                       : FormatOfName(name);
      ReadInput(name, format);
    }
  } catch (const ModuleError& e) {
    status = 1;
    if (progress_) progress_->Clear();
    Print(std::string("kvo-host: ") + e.what());
  } catch (const std::exception& e) {
    // Rows already written stay written; the block in progress is not processed.
    status = 1;
    writer_.Flush();
    if (progress_) progress_->Clear();
    Print(std::string("kvo-host: ") + e.what());
  }
  if (progress_) progress_->Clear();
  if (!writer_.Flush() && status == 0) {
    Print("kvo-host: cannot write the output");
    status = 1;
  }
  if (loaded_) {
    session_->Unload();
    if (log_) log_->Poll(*session_);
  }
  const double seconds = Seconds() - start;
  if (plot_) {
    std::ofstream svg(options_.plot, std::ios::binary | std::ios::trunc);
    svg << plot_->Svg();
    svg.close();
    if (!svg) {
      Print("kvo-host: cannot write the plot " + options_.plot);
      status = 1;
    } else if (!options_.quiet) {
      Print("kvo-host: plot written to " + options_.plot);
    }
  }
  if (options_.stats && !options_.quiet) io_.err(SummaryText(counts_, seconds));
  return status;
}

}  // namespace

InputFormat FormatOfName(const std::string& name) {
  const std::string extension = LowerExtension(name);
  if (extension == "jsonl" || extension == "ndjson" || extension == "json") return InputFormat::kJsonl;
  return InputFormat::kCsv;
}

int RunFilter(const FilterOptions& options, FilterIo& io) {
  Run run(options, io);
  return run.Execute();
}

}  // namespace kvo::host
