#include "kvo-host/filter_run.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "kvo-host/block.h"
#include "kvo-host/csv_reader.h"
#include "kvo-host/filter_settings.h"
#include "kvo-host/jsonl_reader.h"
#include "kvo-host/keyed_instances.h"
#include "kvo-host/log_reader.h"
#include "kvo-host/module_driver.h"
#include "kvo-host/ordered_output.h"
#include "kvo-host/params_block.h"
#include "kvo-host/platform/input_file.h"
#include "kvo-host/row_writer.h"
#include "kvo-host/run_stats.h"
#include "kvo-host/svg_plot.h"
#include "platform/files.h"

namespace kvo::host {

namespace {

// A failure that ends the run; the message is complete.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A column named on the command line that the input lacks.
class UsageError : public RunError {
 public:
  using RunError::RunError;
};
// A stop signal came while reading.
struct Stopped {};

// Names compare as the module's do: letter case of A to Z ignored, blanks around a watched name trimmed.
std::string Key(const std::string& name) {
  const std::size_t first = name.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  std::string key = name.substr(first, name.find_last_not_of(" \t\r\n") - first + 1);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const std::string& column : columns)
    list += (list.empty() ? "" : ", ") + column;
  return list;
}

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

// One run's state: the module session (or one per key), the current block (or one per key) and where its
// rows go.
class Run {
 public:
  Run(const FilterOptions& options, FilterIo& io)
      : options_(options), io_(io), writer_(io.out), blocker_(options.block_rows, options.block_by) {}
  ~Run() {
    if (plot_file_ != nullptr) std::fclose(plot_file_);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  int Execute();

 private:
  void ReadInput(const std::string& name, InputFormat format);
  void ReadRecords(const InputBuffer::ReadFn& read, InputFormat format);
  void WarnOfSettings(const StoreLocation& location);
  // Before the first row: the named columns exist; what the module would not see as it looks.
  void CheckColumns(const std::vector<std::string>& columns);
  void CheckFirstRow(const std::vector<std::string>& columns, const Record& record);
  void Warn(const std::string& text) {
    if (!options_.quiet) Print("kvo-host: warning: " + text);
  }
  void WriteOutput() {
    if (writer_.Failed() || (live_ && !writer_.Flush()))
      throw RunError("cannot write the output: " + writer_.Error());
  }
  void WritePlot(int* status);
  void StartModule(const Record& first);
  // Hands `block` to `session` and counts it; true when it passed.
  bool Filter(FilterSession& session, const Block& block);
  void ProcessBlock();
  // Every open block, as at the end of an input.
  void ProcessOpenBlocks();
  // With a key column: the record goes into its key's stream.
  void AddKeyed(const Record& record);
  int32_t KeyIndex(const Record& record);
  // Filters the key's open block, or `block` in its place; `direct`: no row is held, so a passed block is
  // written at once.
  void ProcessKeyBlock(int32_t index, bool direct, Block* block = nullptr);
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
  std::unique_ptr<PlotRecorder> plot_;  // keyed: only checks the x column; each key has its own
  std::unique_ptr<ProgressLine> progress_;
  FilterSettings settings_;
  bool settings_found_ = false;
  std::FILE* plot_file_ = nullptr;
  bool columns_checked_ = false;
  bool first_row_checked_ = false;
  bool time_limit_warned_ = false;
  int first_byte_ = -1;  // of the current input

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

  // One key's stream of blocks.
  struct KeyStream {
    KeyStream(int32_t rows, const std::string& by) : blocker(rows, by) {}
    Blocker blocker;
    Block block;
    uint64_t output_block = 0;  // the open block's number in ordered_
    KeyCounts counts;
    int64_t row_number = 0;  // the key's rows before the open block
    std::unique_ptr<PlotRecorder> plot;
  };
  bool Keyed() const { return !options_.key.empty(); }
  std::unique_ptr<KeyedInstances> instances_;
  std::deque<KeyStream> streams_;  // by instance number; a deque, as a stream does not move
  OrderedOutput ordered_;
  int32_t key_column_ = -1;
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
  if (Keyed()) {
    std::function<void(FilterSession&)> poll;
    if (log_) poll = [this](FilterSession& session) { log_->Poll(session); };
    instances_ = std::make_unique<KeyedInstances>(*module_, load, options_.max_keys, std::move(poll));
    instances_->SetItems(ItemListText(columns_, kinds));
    loaded_ = true;
    return;
  }
  const int32_t loaded = session_->Load(load);
  if (log_) log_->Poll(*session_);
  if (loaded < 0) throw RunError("the module refused \"LOAD\" (result " + std::to_string(loaded) + ")");
  loaded_ = true;
  const int32_t enabled = session_->EnableFilter();
  if (log_) log_->Poll(*session_);
  if (enabled < 0)
    throw RunError("the module refused \"SET-STATE\" (result " + std::to_string(enabled) + ")");
}

bool Run::Filter(FilterSession& session, const Block& block) {
  params_.Fill(block, columns_);
  TParamsList* rows = nullptr;
  const int32_t result = session.Process(params_.List(), &rows);
  if (log_) log_->Poll(session);
  if (result < 0) {
    throw RunError(current_file_ + ":" + std::to_string(block.FirstLine()) +
                   ": the module failed on this block (result " + std::to_string(result) + ")");
  }
  const bool passed = rows != nullptr && kvo_params_count(rows) > 0;
  ++counts_.blocks_read;
  counts_.rows_read += block.RowCount();
  if (passed) {
    ++counts_.blocks_passed;
    counts_.rows_passed += block.RowCount();
  }
  return passed;
}

void Run::ProcessBlock() {
  if (block_.Empty()) return;
  const bool passed = Filter(*session_, block_);
  if (passed) {
    writer_.Rows(block_.Text());
    WriteOutput();
  }
  if (plot_) plot_->Record(block_, columns_, passed, row_number_ + 1);
  row_number_ += block_.RowCount();
  block_.Clear();
}

void Run::ProcessOpenBlocks() {
  if (!Keyed()) return ProcessBlock();
  for (std::size_t i = 0; i < streams_.size(); ++i)
    ProcessKeyBlock(static_cast<int32_t>(i), false);
}

int32_t Run::KeyIndex(const Record& record) {
  // A row without the key column has the empty key, as an empty field does.
  std::string_view key;
  for (const Field& field : record.fields) {
    if (field.column != key_column_) continue;
    key = field.value.text;
    break;
  }
  const std::string where = current_file_ + ":" + std::to_string(record.line) + ": ";
  int32_t index = 0;
  try {
    index = instances_->Find(key);
  } catch (const KeyLimitError& e) {
    throw RunError(where + e.what());
  } catch (const InstanceSetupError& e) {
    throw RunError(where + "key \"" + std::string(key) + "\": " + e.what());
  }
  if (static_cast<std::size_t>(index) == streams_.size()) {
    KeyStream* stream = &streams_.emplace_back(options_.block_rows, options_.block_by);
    stream->counts.key = std::string(key);
    if (plot_ && (!options_.plot_key || *options_.plot_key == key)) {
      stream->plot = std::make_unique<PlotRecorder>(settings_);
      stream->plot->ChooseX(columns_, record, options_.plot_x);
      stream->plot->SetTitlePrefix(columns_[static_cast<std::size_t>(key_column_)] + "=" + std::string(key) +
                                   ": ");
    }
  }
  return index;
}

void Run::AddKeyed(const Record& record) {
  const int32_t index = KeyIndex(record);
  KeyStream& stream = streams_[static_cast<std::size_t>(index)];
  if (options_.block_rows == 1 && options_.block_by.empty()) {
    // Every row a block, decided at once: the key's own block is not needed, nor are its bytes.
    block_.Clear();
    block_.Add(record);
    return ProcessKeyBlock(index, true, &block_);
  }
  if (stream.blocker.StartsNewBlock(stream.block, record, columns_)) ProcessKeyBlock(index, false);
  if (stream.block.Empty()) {
    stream.blocker.Remember(record, columns_);
    stream.output_block = ordered_.OpenBlock();
  }
  stream.block.Add(record);
  const bool complete = stream.blocker.IsComplete(stream.block);
  if (complete && ordered_.Empty()) return ProcessKeyBlock(index, true);
  ordered_.Hold(stream.output_block, record.raw);
  if (complete) ProcessKeyBlock(index, false);
}

void Run::ProcessKeyBlock(int32_t index, bool direct, Block* other) {
  KeyStream& stream = streams_[static_cast<std::size_t>(index)];
  Block& block = other != nullptr ? *other : stream.block;
  if (block.Empty()) return;
  const bool passed = Filter(instances_->Session(index), block);
  stream.counts.rows_read += block.RowCount();
  if (passed) stream.counts.rows_passed += block.RowCount();
  bool wrote = direct && passed;
  if (wrote) {
    writer_.Rows(block.Text());
  } else if (!direct) {
    ordered_.Decide(stream.output_block, passed);
    ordered_.Release([this, &wrote](std::string_view row) {
      writer_.Rows(row);
      wrote = true;
    });
  }
  if (wrote) WriteOutput();
  if (stream.plot) stream.plot->Record(block, columns_, passed, stream.row_number + 1);
  stream.row_number += block.RowCount();
  block.Clear();
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
  if (!live_ && !time_limit_warned_) {
    for (int i = 0; i < kSlotCount && !time_limit_warned_; ++i) {
      if (!settings_.Active(i) || settings_.slots[static_cast<std::size_t>(i)].type != 2) continue;
      time_limit_warned_ = true;
      Warn("slot " + std::to_string(i + 1) + " (" + settings_.slots[static_cast<std::size_t>(i)].name +
           ") has a time limit, which measures the wall clock: on a file it passes by how fast the file is "
           "read, not by the times in it");
    }
  }
  first_byte_ = -1;
  int* first_byte = &first_byte_;
  InputBuffer::ReadFn read = [source, file_name, first_byte](char* buffer, std::size_t size) {
    std::string read_error;
    const std::ptrdiff_t n = source->Read(buffer, size, &read_error);
    if (n == sys::InputFile::kStopped) throw Stopped{};
    if (n < 0) throw InputError("cannot read " + file_name + ": " + read_error);
    if (n > 0 && *first_byte < 0) *first_byte = static_cast<unsigned char>(buffer[0]);
    return n;
  };
  try {
    ReadRecords(read, format);
  } catch (const InputError& e) {
    // JSON Lines read as CSV fail at the first quote of a key.
    if (format != InputFormat::kCsv || options_.format != InputFormat::kAuto || first_byte_ != '{') throw;
    throw InputError(std::string(e.what()) +
                     "; the input begins with \"{\": for JSON Lines use --format jsonl");
  }
}

void Run::ReadRecords(const InputBuffer::ReadFn& read, InputFormat format) {
  std::unique_ptr<RecordReader> reader;
  if (format == InputFormat::kJsonl) {
    reader = std::make_unique<JsonlReader>(current_file_, read);
  } else {
    reader = std::make_unique<CsvReader>(current_file_, read, options_.trim);
  }
  if (!columns_checked_ && !reader->Columns().empty()) CheckColumns(reader->Columns());
  if (output_format_ == InputFormat::kAuto) {
    output_format_ = format;
    writer_.Header(reader->Header());
    WriteOutput();
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
    if (!columns_checked_) CheckColumns(columns);
    if (!first_row_checked_) CheckFirstRow(columns, record);
    while (remap.size() < columns.size()) {
      const std::string& column = columns[remap.size()];
      auto [it, added] = column_index_.try_emplace(column, static_cast<int32_t>(columns_.size()));
      if (added) columns_.push_back(column);
      remap.push_back(it->second);
    }
    for (Field& field : record.fields)
      field.column = remap[static_cast<std::size_t>(field.column)];
    if (Keyed() && key_column_ < 0) {
      for (std::size_t i = 0; i < columns_.size() && key_column_ < 0; ++i) {
        if (Key(columns_[i]) == Key(options_.key) && columns_[i].size() == options_.key.size())
          key_column_ = static_cast<int32_t>(i);
      }
    }
    if (!loaded_) {
      if (plot_ && !plot_->ChooseX(columns_, record, options_.plot_x))
        throw UsageError("--plot-x " + options_.plot_x + ": no such column");
      StartModule(record);
    }
    if (Keyed()) {
      AddKeyed(record);
      if (progress_) progress_->Update(bytes_before_ + reader->BytesRead(), total_bytes_, counts_.rows_read);
      continue;
    }
    if (blocker_.StartsNewBlock(block_, record, columns_)) ProcessBlock();
    if (block_.Empty()) blocker_.Remember(record, columns_);
    block_.Add(record);
    if (blocker_.IsComplete(block_)) ProcessBlock();
    if (progress_) progress_->Update(bytes_before_ + reader->BytesRead(), total_bytes_, counts_.rows_read);
  }
  // A block does not go on into the next input.
  ProcessOpenBlocks();
  bytes_before_ += reader->BytesRead();
}

void Run::WarnOfSettings(const StoreLocation& location) {
  for (const std::string& note : CheckStoredSettings(location, settings_))
    Warn(DescribeLocation(location) + ": " + note);
  bool any_active = false;
  for (int i = 0; i < kSlotCount; ++i) {
    if (!settings_.Active(i)) continue;
    any_active = true;
    const SlotSetting& slot = settings_.slots[static_cast<std::size_t>(i)];
    for (int earlier = 0; earlier < i; ++earlier) {
      if (!settings_.Active(earlier) ||
          Key(settings_.slots[static_cast<std::size_t>(earlier)].name) != Key(slot.name)) {
        continue;
      }
      Warn("slot " + std::to_string(i + 1) + " watches " + Key(slot.name) + " as slot " +
           std::to_string(earlier + 1) + " does: only slot " + std::to_string(earlier + 1) + " is evaluated" +
           (slot.type == 2 ? "; for a heartbeat put the time limit on a column present in every row, such as "
                             "the time column"
                           : ""));
      break;
    }
  }
  if (!any_active) {
    Warn("no watched variable in " + DescribeLocation(location) +
         (settings_found_ ? "" : " (nothing stored)") + "; every block will be dropped");
  }
}

void Run::CheckColumns(const std::vector<std::string>& columns) {
  columns_checked_ = true;
  auto find = [&](const std::string& name) {
    for (const std::string& column : columns) {
      if (Key(column) == Key(name) && column.size() == name.size()) return true;
    }
    return false;
  };
  const bool jsonl =
      options_.format == InputFormat::kJsonl || FormatOfName(current_file_) == InputFormat::kJsonl;
  const std::string where = jsonl ? "the first row's keys" : "the columns";
  if (!options_.block_by.empty() && !find(options_.block_by))
    throw UsageError("--block-by " + options_.block_by + ": no such column; " + where + ": " +
                     ColumnList(columns));
  if (!options_.key.empty() && !find(options_.key))
    throw UsageError("--key " + options_.key + ": no such column; " + where + ": " + ColumnList(columns));
  if (!options_.plot_x.empty() && !find(options_.plot_x))
    throw UsageError("--plot-x " + options_.plot_x + ": no such column; " + where + ": " +
                     ColumnList(columns));
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string& name = columns[i];
    if (Key(name).size() != name.size()) {
      Warn("column " + std::to_string(i + 1) + " \"" + name + "\" has blanks around its name, so it can be " +
           "watched only with them; --trim removes them");
    }
    for (std::size_t j = 0; j < i; ++j) {
      // Element names are not trimmed: " a" and "a" are two names.
      if (columns[j].size() != name.size() || Key(columns[j]) != Key(name)) continue;
      Warn("columns " + std::to_string(j + 1) + " \"" + columns[j] + "\" and " + std::to_string(i + 1) +
           " \"" + name +
           "\" have one name to the module (names ignore case): each row holds two values of it");
      break;
    }
  }
  for (int i = 0; i < kSlotCount; ++i) {
    if (!settings_.Active(i)) continue;
    const std::string key = Key(settings_.slots[static_cast<std::size_t>(i)].name);
    bool present = false;
    for (const std::string& column : columns)
      present = present || Key(column) == key;
    if (!present) {
      Warn("slot " + std::to_string(i + 1) + " watches " + key + ", which is not in " + where + " (" +
           ColumnList(columns) + ")");
    }
  }
}

void Run::CheckFirstRow(const std::vector<std::string>& columns, const Record& record) {
  first_row_checked_ = true;
  for (const Field& field : record.fields) {
    const FieldValue& value = field.value;
    if (value.kind != ValueKind::kText) continue;
    const std::string text(value.text);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    const std::size_t last = text.find_last_not_of(" \t");
    FieldValue number;
    if ((first == 0 && last + 1 == text.size()) ||
        !ParseNumber(std::string_view(text).substr(first, last - first + 1), &number)) {
      continue;
    }
    Warn(current_file_ + ":" + std::to_string(record.line) + ": the value \"" + text + "\" of \"" +
         columns[static_cast<std::size_t>(field.column)] +
         "\" has blanks, so it is text, measured by its length; --trim removes them");
  }
}

void Run::WritePlot(int* status) {
  if (plot_file_ == nullptr) return;
  if (!plot_) {
    // The run did not start: no picture.
    std::fclose(plot_file_);
    plot_file_ = nullptr;
    std::remove(options_.plot.c_str());
    return;
  }
  std::string svg;
  if (Keyed()) {
    std::vector<PlotRecorder*> recorders;
    for (const auto& stream : streams_) {
      if (stream.plot) recorders.push_back(stream.plot.get());
    }
    const std::string empty = plot_->SeriesCount() == 0 ? "No watched variables in the settings."
                              : options_.plot_key       ? "No row has the key \"" + *options_.plot_key + "\"."
                                                        : "No rows.";
    svg = PlotRecorder::Svg(recorders, empty);
  } else {
    svg = plot_->Svg();
  }
  errno = 0;
  bool written = std::fwrite(svg.data(), 1, svg.size(), plot_file_) == svg.size();
  written = written && std::fflush(plot_file_) == 0;
  std::string why = written ? "" : std::strerror(errno);
  if (std::fclose(plot_file_) != 0 && written) {
    written = false;
    why = std::strerror(errno);
  }
  plot_file_ = nullptr;
  if (!written) {
    Print("kvo-host: cannot write the plot " + options_.plot + ": " + why);
    *status = 1;
  } else if (!options_.quiet) {
    Print("kvo-host: plot written to " + options_.plot);
  }
}

int Run::Execute() {
  const double start = Seconds();
  std::vector<std::string> inputs = options_.inputs;
  if (inputs.empty()) inputs.push_back("-");
  // A run must not quietly fall back on another store.
  if (!options_.ini_file.empty() && !platform::FileExists(options_.ini_file)) {
    Print("kvo-host: " + options_.ini_file + ": no such settings file; create it with kvo-host configure");
    return 1;
  }
  if (!options_.plot.empty()) {
    plot_file_ = std::fopen(options_.plot.c_str(), "wb");
    if (plot_file_ == nullptr) {
      Print("kvo-host: cannot write the plot " + options_.plot + ": " + std::strerror(errno));
      return 1;
    }
  }
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
    WarnOfSettings(location);
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
    try {
      for (const std::string& name : inputs) {
        const InputFormat format = options_.format != InputFormat::kAuto ? options_.format
                                   : name == "-"                         ? InputFormat::kCsv
                                                                         : FormatOfName(name);
        ReadInput(name, format);
      }
    } catch (const Stopped&) {
      // As at the end of the input: the rows of the open block have arrived whole, so it is processed.
      status = 128 + sys::InputFile::StopSignal();
      ProcessOpenBlocks();
    }
  } catch (const UsageError& e) {
    status = 2;
    plot_.reset();
    if (progress_) progress_->Clear();
    Print(std::string("kvo-host: ") + e.what());
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
  const bool failed_before = writer_.Failed();
  if (!writer_.Flush() && !failed_before) {
    Print("kvo-host: cannot write the output: " + writer_.Error());
    if (status == 0) status = 1;
  }
  if (instances_) {
    instances_->UnloadAll();
  } else if (loaded_) {
    session_->Unload();
    if (log_) log_->Poll(*session_);
  }
  const double seconds = Seconds() - start;
  WritePlot(&status);
  if (options_.stats && !options_.quiet) {
    std::string summary = SummaryText(counts_, seconds);
    if (Keyed()) {
      std::vector<KeyCounts> keys;
      keys.reserve(streams_.size());
      for (const auto& stream : streams_)
        keys.push_back(stream.counts);
      summary += KeySummaryText(keys);
    }
    io_.err(summary);
  }
  if (status == 0 && sys::InputFile::StopSignal() != 0) status = 128 + sys::InputFile::StopSignal();
  return status;
}

}  // namespace

InputFormat FormatOfName(const std::string& name) {
  const std::string extension = LowerExtension(name);
  if (extension == "jsonl" || extension == "ndjson" || extension == "json") return InputFormat::kJsonl;
  return InputFormat::kCsv;
}

int RunFilter(const FilterOptions& options, FilterIo& io) {
  sys::InputFile::WatchStopSignals();
  Run run(options, io);
  return run.Execute();
}

}  // namespace kvo::host
