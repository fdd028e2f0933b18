// Property: no sequence of export calls crashes, leaks or hangs, whatever the parameter lists hold (names
// in any case, every kind of value, huge and empty texts, row markers, lists that are not live), and every
// integer export answers one of its documented results. The deadband module runs in this process, as the
// host would load it; its settings go to a private temporary folder and no dialog is ever shown.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "deadband/deadband_plugin.h"
#include "kvo/kvo_plugin.h"
#include "params/params_list.h"
#include "plugin/plugin_registry.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

using kvo::TParamsList;
using kvo::Variant;

// Reads the fuzz input front to back; past its end every read gives zeros.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t U32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value = (value << 8) | Byte();
    return value;
  }
  double Double() {
    uint64_t bits = (static_cast<uint64_t>(U32()) << 32) | U32();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string Bytes(size_t max) {
    const size_t n = std::min<size_t>({Byte() % (max + 1), size_ - std::min(pos_, size_)});
    std::string text(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return text;
  }
  // Huge texts are few per input: converting hundreds of megabytes under coverage instrumentation made
  // inputs time out without finding anything.
  bool TakeHugeText() {
    if (huge_texts_left_ == 0) return false;
    --huge_texts_left_;
    return true;
  }

 private:
  int huge_texts_left_ = 2;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

constexpr const char* kCommands[] = {"LOAD",
                                     "UNLOAD",
                                     "SET ITEMS",
                                     "ITEMS",
                                     "SET-STATE",
                                     "EVENTS-SUPPORT",
                                     "EVENT",
                                     "SAVE-SETTINGS-NOW",
                                     "LOAD-SETTINGS-NOW"};

constexpr const char* kNames[] = {"COMMAND",
                                  "TYPE",
                                  "INI-FILE",
                                  "RegistryPath",
                                  "INISectionPrefix",
                                  "LANGUAGE",
                                  "ITEMS",
                                  "RESULT",
                                  "EVENT-TYPE",
                                  "SERIAL-PORTS-IN-CFG",
                                  "SERIAL-PORTS-IN-CFG2",
                                  "TEMPORARY-LOAD",
                                  "ModuleIndex",
                                  "ApplicationName",
                                  "HANDLE",
                                  "MessagesProcessorHandle",
                                  "$NEW_ROW$",
                                  "Value",
                                  "Name"};

constexpr const char* kTexts[] = {"EN",    "DE",        "32",        "4",
                                  "0",     "-1",        "String",    "a|b|Integer|x\r\nc|d",
                                  "True",  "$NEW_ROW$", "..\\..\\x", "Software\\kvo\\Fuzz",
                                  "%41&B", " "};

// The event list GetEvents handed out last in this input; only passed back, never read here.
TParamsList* last_events = nullptr;

std::filesystem::path& ScratchFolder() {
  static std::filesystem::path folder;
  return folder;
}

// Flips the letter case of `text` where the mask says so, as a careless host might spell a name.
std::string CaseVariant(std::string text, uint8_t mask) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (((mask >> (i % 8)) & 1) == 0) continue;
    if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 32);
    if (c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c + 32);
  }
  return text;
}

std::string Text(Input& in) {
  switch (in.Byte() % 6) {
    case 0:
      return in.Bytes(48);
    case 1:
      return {};
    case 2: {
      if (!in.TakeHugeText()) return in.Bytes(48);
      // Huge: up to a megabyte of one repeated byte.
      const size_t n = (static_cast<size_t>(in.Byte()) << 12) | in.Byte();
      return std::string(n, static_cast<char>(in.Byte()));
    }
    case 3:
      return CaseVariant(kTexts[in.Byte() % std::size(kTexts)], in.Byte());
    case 4:
      return CaseVariant(kCommands[in.Byte() % std::size(kCommands)], in.Byte() & in.Byte());
    default:
      return std::string(kTexts[in.Byte() % std::size(kTexts)]) + in.Bytes(8);
  }
}

// An INI file name that stays inside the scratch folder: a plain name, the folder itself, or a name in a
// folder that does not exist.
std::string IniFile(Input& in) {
  const std::filesystem::path& folder = ScratchFolder();
  switch (in.Byte() % 4) {
    case 0:
      return folder.string();
    case 1:
      return (folder / "missing" / "x.ini").string();
    default:
      return (folder / (std::string(1, static_cast<char>('a' + in.Byte() % 4)) + ".ini")).string();
  }
}

Variant Value(Input& in, std::string_view name) {
  if (name == "INI-FILE" && in.Byte() % 8 != 0) return Variant::FromText(IniFile(in));
  // Handles the host owns and vouches for: a window (on POSIX a socket) and the host's module. The harness
  // has neither, so it passes none.
  if (name == "MessagesProcessorHandle") return Variant::FromInt(0);
  switch (in.Byte() % 9) {
    case 0:
      return Variant::Null();
    case 1:
      return Variant();
    case 2:
      return Variant::FromInt(static_cast<int32_t>(in.U32()));
    case 3:
      return Variant::FromInt(in.Byte());
    case 4:
      return Variant::FromDouble(in.Double());
    case 5:
      return Variant::FromBool((in.Byte() & 1) != 0);
    case 6:
      return Variant::FromInt64((static_cast<int64_t>(in.U32()) << 32) | in.U32());
    case 7:
      return Variant::FromDate(in.Double());
    default:
      return Variant::FromText(Text(in));
  }
}

std::string Name(Input& in) {
  const uint8_t pick = in.Byte();
  if (pick % 5 == 0) return in.Bytes(16);
  return CaseVariant(kNames[pick % std::size(kNames)], (pick % 3 == 0) ? in.Byte() : 0);
}

std::unique_ptr<TParamsList> List(Input& in, bool rows) {
  std::unique_ptr<TParamsList> list(rows ? new kvo::TRowsParamsList() : new TParamsList());
  const int count = in.Byte() % 10;
  for (int i = 0; i < count; ++i) {
    const std::string name = Name(in);
    if (name == kvo::kNewRowMarker) {
      list->NewRow();
    } else {
      list->Add(name, Value(in, name));
    }
  }
  return list;
}

// A parameter list for a command: a "COMMAND" of the framework, a case variant or random text, first or
// later among the other parameters.
std::unique_ptr<TParamsList> CommandList(Input& in) {
  std::unique_ptr<TParamsList> list = List(in, false);
  const uint8_t pick = in.Byte();
  std::string command;
  if (pick % 4 == 0) {
    command = Text(in);
  } else {
    command = kCommands[in.Byte() % std::size(kCommands)];
    if (pick % 4 == 1) command = CaseVariant(command, in.Byte());
  }
  list->Add(pick % 8 == 0 ? "command" : "COMMAND", Variant::FromText(command));
  if (pick % 16 == 5 && list->Count() > 1) {
    // Put it first by rebuilding: the first "COMMAND" found is the one used.
    auto front = std::make_unique<TParamsList>();
    front->Add("COMMAND", Variant::FromText(command));
    front->AppendList(list.get());
    return front;
  }
  return list;
}

// While alive, the list's signature word holds another value, as a destroyed or foreign list would.
class BrokenSignature {
 public:
  BrokenSignature(TParamsList& list, uint32_t value)
      : word_(reinterpret_cast<uint32_t*>(&list) + (2 * sizeof(void*) + 8) / 4) {
    if (*word_ != kvo::kParamsListSignature) std::abort();  // the layout moved
    *word_ = value == kvo::kParamsListSignature ? 0 : value;
  }
  ~BrokenSignature() { *word_ = kvo::kParamsListSignature; }
  BrokenSignature(const BrokenSignature&) = delete;
  BrokenSignature& operator=(const BrokenSignature&) = delete;

 private:
  uint32_t* word_;
};

int32_t HandleOf(Input& in) {
  const uint8_t pick = in.Byte();
  if (pick % 16 == 0) return 0;
  if (pick % 16 == 1) return static_cast<int32_t>(in.U32());
  return 1 + pick % 3;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsCommandResult(int32_t result) {
  return result >= -3;
}

void FetchBuffer(Input& in, bool commands) {
  const int32_t handle = HandleOf(in);
  const uint8_t mode = in.Byte();
  int32_t size = static_cast<int32_t>(in.U32() % 70000) - 1000;
  if (mode % 8 == 0) size = static_cast<int32_t>(in.U32());
  // The real buffer is at most 64 KB; a larger claimed size goes only with a null buffer.
  std::vector<char> buffer(static_cast<size_t>(std::clamp<int32_t>(size, 1, 1 << 16)));
  char* data = (mode & 16) ? nullptr : buffer.data();
  int32_t needed = -77;
  int32_t* needed_ptr = (mode & 32) ? nullptr : &needed;
  // A null buffer with a size claims memory that is not there: the export must not write to it.
  const int32_t claimed = data ? std::min<int32_t>(size, static_cast<int32_t>(buffer.size())) : size;
  const int32_t result = commands ? GetCustomCommands(handle, data, claimed, needed_ptr)
                                  : GetLogEx(handle, data, claimed, needed_ptr);
  Check(result >= 0);
  if (result > 0) {
    Check(data != nullptr && needed_ptr != nullptr && result == needed && result <= claimed);
  }
  if (needed_ptr) Check(needed >= 0);
}

void DataCall(Input& in, uint8_t op) {
  const int32_t handle = HandleOf(in);
  std::unique_ptr<TParamsList> parameters = List(in, false);
  const uint8_t type_pick = in.Byte();
  if (type_pick % 4 != 0) {
    parameters->Add(type_pick % 8 == 1 ? "type" : "TYPE",
                    type_pick % 16 == 2 ? Value(in, "TYPE") : Variant::FromInt(in.Byte()));
  }
  std::unique_ptr<TParamsList> block = List(in, (in.Byte() & 1) != 0);
  const uint8_t shape = in.Byte();
  void* data = (shape & 1) ? nullptr : block.get();
  TParamsList previous;  // what the host's variable held before: the export overwrites it
  TParamsList* rows = &previous;
  const bool null_out = (shape % 32) == 2;
  const bool broken_parameters = (shape % 32) == 3;
  const bool broken_block = (shape % 32) == 4;
  auto** host_rows = reinterpret_cast<::TParamsList**>(&rows);
  auto* host_parameters = reinterpret_cast<::TParamsList*>(parameters.get());
  int32_t result;
  {
    std::unique_ptr<BrokenSignature> broken;
    if (broken_parameters) broken = std::make_unique<BrokenSignature>(*parameters, in.U32());
    if (broken_block) broken = std::make_unique<BrokenSignature>(*block, in.U32());
    if (op == 0) {
      result = ProcessData(handle, in.U32(), host_parameters, null_out ? nullptr : &data,
                           null_out ? nullptr : host_rows);
    } else {
      result = GetData(handle, in.U32(), host_parameters, null_out ? nullptr : &data,
                       null_out ? nullptr : host_rows);
    }
  }
  Check(IsCommandResult(result));
  if (null_out || broken_parameters) Check(result == -1 || result == -3);
  if (broken_parameters && handle != 0) Check(result == -3);
  // Whatever the module hands back it keeps owning; reading it must be safe.
  if (result >= 0 && rows) Check(rows->Signature() == kvo::kParamsListSignature);
}

void EventsCall(Input& in) {
  const int32_t handle = HandleOf(in);
  std::unique_ptr<TParamsList> parameters = List(in, false);
  const uint8_t shape = in.Byte();
  ::TParamsList* events = (shape & 1) ? reinterpret_cast<::TParamsList*>(last_events) : nullptr;
  const int32_t result = GetEvents(handle, 0, reinterpret_cast<::TParamsList*>(parameters.get()),
                                   (shape % 16) == 2 ? nullptr : &events);
  Check(IsCommandResult(result));
  if (result >= 0) last_events = reinterpret_cast<TParamsList*>(events);
}

void CommandCall(Input& in) {
  const int32_t handle = HandleOf(in);
  std::unique_ptr<TParamsList> parameters = CommandList(in);
  const uint8_t shape = in.Byte();
  int32_t result;
  if (shape % 16 == 0) {
    BrokenSignature broken(*parameters, in.U32());
    result = ExecutePluginCommand(handle, reinterpret_cast<::TParamsList*>(parameters.get()));
    Check(result == (handle == 0 ? -1 : -3));
  } else {
    result = ExecutePluginCommand(handle, reinterpret_cast<::TParamsList*>(parameters.get()));
  }
  Check(IsCommandResult(result));
}

void Queries(Input& in) {
  const int32_t handle = HandleOf(in);
  (void)GetPluginInterfaceVersion(handle);
  (void)GetAppMinVersion(handle);
  const char* description = GetModuleDescription(handle);
  if (description) (void)std::strlen(description);
  (void)GetModuleType(handle);
  (void)MultiThreadSupport(handle);
}

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  // A dialog or message box would wait for a user who is not there.
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    ::unsetenv(name);
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("kvo-fuzz-exports-" + std::to_string(static_cast<long>(::getpid())));
  std::filesystem::create_directories(folder / "registry");
  ScratchFolder() = folder;
  ::setenv("KVO_REGISTRY_DIR", (folder / "registry").c_str(), 1);
  // Any value may arrive as "INI-FILE"; the module writes a relative name where the host runs, so the
  // harness runs in its scratch folder (scripts/fuzz.sh hands libFuzzer absolute paths).
  std::filesystem::current_path(folder);
  kvo::RegisterDeadbandPlugin();
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(ScratchFolder(), ec);
  });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetUpOnce();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();  // the replay runner does not call LLVMFuzzerInitialize
  Input in(data, size);
  for (int step = 0; step < 48 && !in.Done(); ++step) {
    const uint8_t op = in.Byte() % 8;
    switch (op) {
      case 0:
      case 1:
        DataCall(in, op);
        break;
      case 2:
        EventsCall(in);
        break;
      case 3:
        FetchBuffer(in, false);
        break;
      case 4:
        FetchBuffer(in, true);
        break;
      case 5:
        Queries(in);
        break;
      default:
        CommandCall(in);
        break;
    }
  }
  // Every input starts from an empty registry, so instances neither pile up nor carry state across inputs.
  kvo::ShutdownPluginInstances();
  last_events = nullptr;
  return 0;
}
