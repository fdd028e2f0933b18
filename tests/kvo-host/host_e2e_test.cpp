// kvo-host as a process: prepared files in, exact rows, messages and exit status out; settings written by
// `configure` to an INI file or the registry and used by a run; a live stream through a pipe.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "kvo-host/child_process.h"

namespace kvo::host {
namespace {

using testing::ChildProcess;

class HostProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << "kvo-host-e2e-" << getpid() << "-" << counter.fetch_add(1);
    scratch_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(scratch_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = (scratch_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Never a display: a dialog must not wait for a person.
  std::vector<std::string> Environment() const {
    return {"KVO_REGISTRY_DIR=" + (scratch_ / "registry").string(),
            "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  }
  // Runs kvo-host to its end with `input` on standard input.
  int Run(const std::vector<std::string>& arguments, const std::string& input = "") {
    ChildProcess child(KVO_HOST_PROGRAM, arguments, Environment());
    EXPECT_TRUE(child.Started());
    child.Write(input);
    const int status = child.Finish();
    output_ = child.Output();
    errors_ = child.Errors();
    return status;
  }

  // `text` with "{dir}" standing for the scratch folder.
  std::string InScratch(std::string text) const {
    for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;)
      text.replace(at, 5, scratch_.string());
    return text;
  }
  std::vector<std::string> InScratch(const std::vector<std::string>& texts) const {
    std::vector<std::string> out;
    for (const std::string& text : texts)
      out.push_back(InScratch(text));
    return out;
  }

  std::filesystem::path scratch_;
  std::string output_;
  std::string errors_;
};

const char* const kSample =
    "time,temperature,pressure,status\n"
    "1,20.0,1000,ok\n"
    "2,20.1,1000,ok\n"
    "3,20.6,1001,\"ok, fine\"\n"
    "4,20.7,1030,ok\n"
    "5,21.5,1030,\"say \"\"hi\"\"\"\n";
const char* const kTemperatureIni =
    "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=0.5\r\nRelationship=0\r\n";

TEST_F(HostProgram, WritesTheRowsOfPassedBlocksAsRead) {
  const std::string csv = Write("in.csv", kSample);
  const std::string ini = Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run({"--ini", ini, "--stats", csv}), 0) << errors_;
  EXPECT_EQ(output_,
            "time,temperature,pressure,status\n"
            "1,20.0,1000,ok\n"
            "3,20.6,1001,\"ok, fine\"\n"
            "5,21.5,1030,\"say \"\"hi\"\"\"\n");
  EXPECT_NE(errors_.find("blocks: 5 read, 3 passed, 2 dropped\n"), std::string::npos) << errors_;
  EXPECT_NE(errors_.find("rows:   5 read, 3 passed, 2 dropped\nreduction: 40.0%\n"), std::string::npos)
      << errors_;
}

TEST_F(HostProgram, ReadsStandardInputAsCsv) {
  const std::string ini = Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run({"--ini", ini, "--quiet"}, kSample), 0) << errors_;
  EXPECT_EQ(output_,
            "time,temperature,pressure,status\n1,20.0,1000,ok\n3,20.6,1001,\"ok, fine\"\n"
            "5,21.5,1030,\"say \"\"hi\"\"\"\n");
  EXPECT_EQ(errors_, "");
}

TEST_F(HostProgram, FiltersJsonLinesAndKeepsTheirText) {
  const std::string jsonl = Write("in.jsonl",
                                  "{\"temperature\": 20.0, \"s\": \"a\"}\n"
                                  "{\"temperature\": 20.2, \"s\": \"b\"}\n"
                                  "{\"s\": \"c\",   \"temperature\": 21}\n");
  const std::string ini = Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run({"--ini", ini, jsonl}), 0) << errors_;
  EXPECT_EQ(output_, "{\"temperature\": 20.0, \"s\": \"a\"}\n{\"s\": \"c\",   \"temperature\": 21}\n");
}

TEST_F(HostProgram, BlockByColumnPassesWholeBlocks) {
  const std::string csv = Write("in.csv",
                                "t,temperature\n"
                                "1,20.0\n1,20.1\n2,20.2\n2,20.3\n3,20.4\n3,21.0\n");
  const std::string ini = Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run({"--ini", ini, "--block-by", "t", csv}), 0) << errors_;
  EXPECT_EQ(output_, "t,temperature\n1,20.0\n1,20.1\n3,20.4\n3,21.0\n");
}

TEST_F(HostProgram, BlockByColumnIgnoresLetterCase) {
  const std::string csv = Write("in.csv", "t,temperature\n1,20.0\n1,20.1\n2,20.2\n2,20.3\n3,20.4\n3,21.0\n");
  EXPECT_EQ(Run({"--ini", Write("f.ini", kTemperatureIni), "--block-by", "T", csv}), 0) << errors_;
  EXPECT_EQ(output_, "t,temperature\n1,20.0\n1,20.1\n3,20.4\n3,21.0\n");
}

TEST_F(HostProgram, TrimmedColumnsAndValuesAreWatchedAsTheyLook) {
  const std::string csv = Write("in.csv", "time, temperature\n1, 20.0\n2, 20.2\n3, 20.6\n");
  EXPECT_EQ(Run({"--ini", Write("f.ini", kTemperatureIni), "--trim", csv}), 0) << errors_;
  EXPECT_EQ(output_, "time, temperature\n1, 20.0\n3, 20.6\n");
  EXPECT_EQ(errors_, "");
}

// A fault of the settings store or a file named on the command line: a message and exit 1, no output.
struct StoreFault {
  const char* name;
  std::vector<std::string> arguments;  // "{dir}": the scratch folder, which holds in.csv
  const char* message;
};

class HostStoreFault : public HostProgram, public ::testing::WithParamInterface<StoreFault> {};

TEST_P(HostStoreFault, SaysWhichFileAndWhyAndExitsWithOne) {
  Write("in.csv", kSample);
  // /proc/self/mem is a file that exists and cannot be read (from offset 0), even for root.
  EXPECT_EQ(Run(InScratch(GetParam().arguments)), 1);
  EXPECT_EQ(errors_, InScratch(GetParam().message));
  EXPECT_EQ(output_, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostStoreFault,
    ::testing::Values(
        StoreFault{"settings_of_unreadable_ini",
                   {"settings", "--ini", "/proc/self/mem"},
                   "kvo-host settings: cannot read INI file /proc/self/mem: Input/output error\n"},
        StoreFault{"configure_of_unreadable_ini",
                   {"configure", "--ini", "/proc/self/mem", "Var1=a"},
                   "kvo-host configure: cannot read INI file /proc/self/mem: Input/output error\n"},
        StoreFault{
            "configure_into_missing_folder",
            {"configure", "--ini", "{dir}/no-folder/x.ini", "Var1=a"},
            "kvo-host configure: cannot write INI file {dir}/no-folder/x.ini: No such file or directory\n"},
        StoreFault{"run_with_missing_ini",
                   {"--ini", "{dir}/missing.ini", "{dir}/in.csv"},
                   "kvo-host: {dir}/missing.ini: no such settings file; create it with kvo-host configure\n"},
        StoreFault{"run_with_folder_as_ini",
                   {"--ini", "{dir}", "{dir}/in.csv"},
                   "kvo-host: {dir}: no such settings file; create it with kvo-host configure\n"}),
    [](const ::testing::TestParamInfo<StoreFault>& param_info) {
      return std::string(param_info.param.name);
    });

// A command line the input cannot serve: exit 2 before any output, the message says what would do.
struct UsageMistake {
  const char* name;
  std::vector<std::string> arguments;
  const char* message;
};

class HostUsageMistake : public HostProgram, public ::testing::WithParamInterface<UsageMistake> {};

TEST_P(HostUsageMistake, ExitsWithTwoAndSaysWhatWouldDo) {
  Write("in.csv", kSample);
  Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run(InScratch(GetParam().arguments)), 2);
  EXPECT_EQ(errors_, GetParam().message);
  EXPECT_EQ(output_, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostUsageMistake,
    ::testing::Values(
        UsageMistake{"block_by_unknown_column",
                     {"--ini", "{dir}/f.ini", "--block-by", "tmp", "{dir}/in.csv"},
                     "kvo-host: --block-by tmp: no such column; the columns: time, temperature, pressure, "
                     "status\n"},
        UsageMistake{"plot_x_unknown_column",
                     {"--ini", "{dir}/f.ini", "--plot", "{dir}/p.svg", "--plot-x", "when", "{dir}/in.csv"},
                     "kvo-host: --plot-x when: no such column; the columns: time, temperature, pressure, "
                     "status\n"},
        UsageMistake{
            "key_unknown_column",
            {"--ini", "{dir}/f.ini", "--key", "tag", "{dir}/in.csv"},
            "kvo-host: --key tag: no such column; the columns: time, temperature, pressure, status\n"},
        UsageMistake{"plot_key_without_key",
                     {"--plot-key", "a", "{dir}/in.csv"},
                     "kvo-host: --max-keys and --plot-key need --key\n"},
        UsageMistake{"block_rows_zero",
                     {"--block-rows", "0", "{dir}/in.csv"},
                     "kvo-host: --block-rows must be a whole number of at least 1\n"},
        UsageMistake{"block_rows_not_whole",
                     {"--block-rows", "2.5", "{dir}/in.csv"},
                     "kvo-host: --block-rows must be a whole number of at least 1\n"},
        UsageMistake{"mistyped_subcommand",
                     {"setting", "--ini", "{dir}/f.ini"},
                     "kvo-host: no file or subcommand \"setting\"; did you mean \"kvo-host settings\"?\n"}),
    [](const ::testing::TestParamInfo<UsageMistake>& param_info) {
      return std::string(param_info.param.name);
    });

// Settings or input that the module reads otherwise than they look: the run goes on, with one warning line
// before the first row.
struct Surprise {
  const char* name;
  const char* ini;
  const char* csv;
  const char* warning;  // "{dir}": the scratch folder, which holds f.ini and in.csv
};

class HostSurprise : public HostProgram, public ::testing::WithParamInterface<Surprise> {};

TEST_P(HostSurprise, IsNamedInOneWarningLine) {
  const Surprise& c = GetParam();
  EXPECT_EQ(Run({"--ini", Write("f.ini", c.ini), Write("in.csv", c.csv)}), 0) << errors_;
  EXPECT_EQ(errors_, InScratch(std::string("kvo-host: warning: ") + c.warning + "\n"));
}

constexpr const char* kIni = "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=0.5\r\n";
constexpr const char* kCsv = "time,temperature\n1,20.0\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HostSurprise,
    ::testing::Values(
        Surprise{"type_in_words", "[Common]\r\nVar1=temperature\r\nType1=pct\r\nVal1=2\r\n", kCsv,
                 "INI file {dir}/f.ini, section [Common]: Type1=pct is not a number 0-3: the module reads it "
                 "as 0 (Absolute); kvo-host configure writes the number"},
        Surprise{"type_out_of_range",
                 "[Common]\r\nVar1=temperature\r\nType1=7\r\nVal1=2\r\nVar2=time\r\nType2=3\r\nVal2=1\r\n",
                 kCsv,
                 "INI file {dir}/f.ini, section [Common]: Type1=7 is not 0-3: the module ignores slot 1 "
                 "(temperature)"},
        Surprise{
            "band_not_a_number", "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=abc\r\n", kCsv,
            "INI file {dir}/f.ini, section [Common]: Val1=abc is not a number: the module reads the band "
            "as 0"},
        Surprise{
            "relationship_in_words",
            "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=1\r\nRelationship=OR\r\n", kCsv,
            "INI file {dir}/f.ini, section [Common]: Relationship=OR is not 0 (AND) or 1 (OR): the module "
            "reads it as AND; kvo-host configure writes the number"},
        Surprise{"watched_variable_not_a_column", kIni, "time,temp\n1,20.0\n",
                 "slot 1 watches temperature, which is not in the columns (time, temp)"},
        Surprise{"duplicate_column_names", kIni, "temperature,Temperature\n1,20.0\n",
                 "columns 1 \"temperature\" and 2 \"Temperature\" have one name to the module (names ignore "
                 "case): each row holds two values of it"},
        Surprise{"blank_before_a_name", "[Common]\r\nVar1=time\r\nType1=3\r\nVal1=1\r\n", "time, temp\n1,2\n",
                 "column 2 \" temp\" has blanks around its name, so it can be watched only with them; --trim "
                 "removes them"},
        Surprise{
            "blank_before_a_number", kIni, "time,temperature\n1, 20.0\n",
            "{dir}/in.csv:2: the value \" 20.0\" of \"temperature\" has blanks, so it is text, measured by "
            "its length; --trim removes them"},
        Surprise{"slot_repeats_a_variable",
                 "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=1\r\nVar2=Temperature\r\nType2=3\r\nVal2=5"
                 "\r\n",
                 kCsv, "slot 2 watches temperature as slot 1 does: only slot 1 is evaluated"},
        Surprise{
            "time_limit_on_a_file", "[Common]\r\nVar1=time\r\nType1=2\r\nVal1=60\r\n", kCsv,
            "slot 1 (time) has a time limit, which measures the wall clock: on a file it passes by how fast "
            "the file is read, not by the times in it"}),
    [](const ::testing::TestParamInfo<Surprise>& param_info) { return std::string(param_info.param.name); });

// A failed write ends the run at once with the system's reason.
struct WriteFault {
  const char* name;
  bool output_to_full_disk;
  std::vector<std::string> arguments;  // after --ini and before the input
  const char* message;
  bool reads_every_row;  // a plot is written at the end
};

class HostWriteFault : public HostProgram, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(HostWriteFault, StopsWithTheSystemsReason) {
  const WriteFault& c = GetParam();
  std::string csv = "time,temperature\n";
  for (int i = 0; i < 20000; ++i)
    csv += std::to_string(i) + "," + std::to_string(i % 7) + "\n";
  std::vector<std::string> arguments = {
      "--ini", Write("f.ini", "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=0\r\n"), "--stats"};
  for (const std::string& argument : InScratch(c.arguments))
    arguments.push_back(argument);
  arguments.push_back(Write("in.csv", csv));
  if (c.output_to_full_disk) {
    arguments.insert(arguments.begin(), {"-c", "exec \"$0\" \"$@\" >/dev/full", KVO_HOST_PROGRAM});
    ChildProcess child("/bin/sh", arguments, Environment());
    EXPECT_EQ(child.Finish(), 1);
    errors_ = child.Errors();
  } else {
    EXPECT_EQ(Run(arguments), 1);
  }
  EXPECT_NE(errors_.find(InScratch(c.message)), std::string::npos) << errors_;
  // Every row passes, so a run that goes on after a failed output write reads them all.
  EXPECT_EQ(errors_.find("rows:   20000 read") != std::string::npos, c.reads_every_row) << errors_;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostWriteFault,
    ::testing::Values(
        WriteFault{"output_to_a_full_disk",
                   true,
                   {},
                   "kvo-host: cannot write the output: No space left on device\n",
                   false},
        WriteFault{"plot_into_a_missing_folder",
                   false,
                   {"--plot", "{dir}/no-folder/p.svg"},
                   "kvo-host: cannot write the plot {dir}/no-folder/p.svg: No such file or directory\n",
                   false},
        WriteFault{"plot_to_a_full_disk",
                   false,
                   {"--plot", "/dev/full"},
                   "kvo-host: cannot write the plot /dev/full: No space left on device\n",
                   true}),
    [](const ::testing::TestParamInfo<WriteFault>& param_info) {
      return std::string(param_info.param.name);
    });

struct BadInput {
  const char* name;
  const char* file;
  const char* text;
  const char* output;
  const char* message;
};

class HostBadInput : public HostProgram, public ::testing::WithParamInterface<BadInput> {};

TEST_P(HostBadInput, StopsWithFileAndLineAndKeepsWrittenRows) {
  const BadInput& c = GetParam();
  const std::string path = Write(c.file, c.text);
  const std::string ini = Write("f.ini", kTemperatureIni);
  EXPECT_EQ(Run({"--ini", ini, path}), 1);
  EXPECT_EQ(output_, c.output);
  EXPECT_EQ(errors_, "kvo-host: " + path + c.message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostBadInput,
    ::testing::Values(
        BadInput{"unterminated", "u.csv", "temperature,s\n20,a\n30,\"open\n40,b\n", "temperature,s\n20,a\n",
                 ":3: unterminated quoted field"},
        BadInput{"field_count", "f.csv", "temperature,s\n20,a\n30\n", "temperature,s\n20,a\n",
                 ":3: 1 fields, expected 2 as in the header"},
        BadInput{
            "invalid_json", "j.jsonl", "{\"temperature\": 20}\n{\"temperature\": }\n",
            "{\"temperature\": 20}\n",
            ":2: invalid JSON, column 17: syntax error while parsing value - unexpected '}'; expected '[', "
            "'{', or a literal"},
        BadInput{"nested_json", "n.jsonl", "{\"temperature\": 20}\n{\"temperature\": [1]}\n",
                 "{\"temperature\": 20}\n", ":2: nested value in \"temperature\""},
        BadInput{
            "json_lines_read_as_csv", "j.txt", "{\"temperature\": 20}\n", "",
            ":1: quote inside an unquoted field; the input begins with \"{\": for JSON Lines use --format "
            "jsonl"}),
    [](const ::testing::TestParamInfo<BadInput>& param_info) { return std::string(param_info.param.name); });

TEST_F(HostProgram, ReportsAModuleThatCannotBeLoaded) {
  const std::string csv = Write("in.csv", kSample);
  const std::string missing = (scratch_ / "no-such-module.so").string();
  EXPECT_EQ(Run({"--module", missing, csv}), 1);
  EXPECT_EQ(output_, "");
  EXPECT_EQ(errors_.rfind("kvo-host: cannot load module " + missing + ": ", 0), 0u) << errors_;
}

TEST_F(HostProgram, ReportsAModuleWithoutTheExportsByName) {
  const std::string csv = Write("in.csv", kSample);
  EXPECT_EQ(Run({"--module", KVO_NOT_A_MODULE, csv}), 1);
  EXPECT_EQ(errors_,
            std::string("kvo-host: module ") + KVO_NOT_A_MODULE +
                " lacks the export(s) GetPluginInterfaceVersion, GetAppMinVersion, GetModuleDescription, "
                "GetModuleType, MultiThreadSupport, GetLogEx, GetCustomCommands, ShowOptionsDialog, "
                "ExecutePluginCommand, GetData, GetEvents, ProcessData\n");
}

TEST_F(HostProgram, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run({"--no-such-option"}), 2);
  EXPECT_EQ(Run({"--format", "xml"}), 2);
  EXPECT_EQ(Run({"configure", "Type1=fast"}), 2);
  EXPECT_NE(errors_.find("valid: Absolute (abs, 0)"), std::string::npos) << errors_;
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(output_.find("Examples:"), std::string::npos);
}

TEST_F(HostProgram, ConfigureThenRunFiltersAsConfigured) {
  const std::string ini = (scratch_ / "configured.ini").string();
  ASSERT_EQ(Run({"configure", "--ini", ini, "Var1=pressure", "Type1=Percent", "Val1=2"}), 0) << errors_;
  EXPECT_EQ(Read(ini).find("[Common]\r\nVar1=pressure\r\n"), 0u) << Read(ini);
  const std::string csv = Write("in.csv", kSample);
  EXPECT_EQ(Run({"--ini", ini, csv}), 0) << errors_;
  EXPECT_EQ(output_, "time,temperature,pressure,status\n1,20.0,1000,ok\n4,20.7,1030,ok\n");
  ASSERT_EQ(Run({"settings", "--ini", ini}), 0);
  EXPECT_NE(output_.find("1     pressure  Percent         2\nrelationship: AND\n"), std::string::npos)
      << output_;
}

TEST_F(HostProgram, ARunWithAnIniFileLeavesTheRegistryAlone) {
  const std::string ini = Write("filter.ini", kTemperatureIni);
  const std::string csv = Write("in.csv", kSample);
  ASSERT_EQ(Run({"--ini", ini, csv}), 0) << errors_;
  EXPECT_EQ(Read(ini), kTemperatureIni);
  // "UNLOAD" names the file of "LOAD" again; naming none would save the settings into the registry.
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "registry" / "HKEY_LOCAL_MACHINE.reg"));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "registry" / "HKEY_CURRENT_USER.reg"));
}

TEST_F(HostProgram, OptionsWithoutADisplaySaysWhyAndChangesNothing) {
  const std::string ini = Write("filter.ini", kTemperatureIni);
  const std::string csv = Write("in.csv", kSample);
  EXPECT_EQ(Run({"options", "--ini", ini, "--items", csv}), 1) << errors_;
  EXPECT_NE(errors_.find("cannot be shown"), std::string::npos) << errors_;
  EXPECT_EQ(Read(ini), kTemperatureIni);
}

TEST_F(HostProgram, OptionsRefusesAMissingItemsFileAndTwoStores) {
  EXPECT_EQ(Run({"options", "--items", (scratch_ / "missing.csv").string()}), 1);
  EXPECT_NE(errors_.find("missing.csv"), std::string::npos) << errors_;
  EXPECT_EQ(Run({"options", "--ini", "a.ini", "--registry-path", "Software\\x"}), 2);
}

TEST_F(HostProgram, ConfigureRefusesInvalidValuesAndWritesNothing) {
  const std::string ini = (scratch_ / "refused.ini").string();
  EXPECT_EQ(Run({"configure", "--ini", ini, "Var1=x", "Relationship=XOR"}), 2);
  EXPECT_NE(errors_.find("valid: AND (0), OR (1)"), std::string::npos) << errors_;
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(HostProgram, ConfigureThroughTheRegistryWithSectionlessPath) {
  const std::string key = "Software\\kvo-e2e\\Line1";
  ASSERT_EQ(Run({"configure", "--registry-path", key, "Var1=temperature", "Type1=abs", "Val1=1",
                 "Var2=status", "Type2=count", "Val2=2", "Relationship=OR"}),
            0)
      << errors_;
  const std::string csv = Write("in.csv", kSample);
  EXPECT_EQ(Run({"--registry-path", key, csv}), 0) << errors_;
  // Row 1 passes (first value); status counts to 2 at row 3; temperature is 1 above 20.0 at row 5.
  EXPECT_EQ(output_,
            "time,temperature,pressure,status\n1,20.0,1000,ok\n3,20.6,1001,\"ok, fine\"\n"
            "5,21.5,1030,\"say \"\"hi\"\"\"\n");
  EXPECT_EQ(Run({"settings", "--registry-path", key}), 0);
  EXPECT_NE(output_.find("2     status       Count limit     2\nrelationship: OR\n"), std::string::npos)
      << output_;
}

TEST_F(HostProgram, LiveStreamWritesEachPassedBlockBeforeTheInputEnds) {
  const std::string ini = Write("f.ini", kTemperatureIni);
  ChildProcess child(KVO_HOST_PROGRAM, {"--ini", ini}, Environment());
  ASSERT_TRUE(child.Started());
  ASSERT_TRUE(child.Write("time,temperature\n"));
  ASSERT_TRUE(child.ReadOutputUntil("time,temperature\n", 20000));
  const std::vector<std::pair<std::string, bool>> rows = {
      {"1,20.0\n", true}, {"2,20.2\n", false}, {"3,20.5\n", true}, {"4,20.9\n", false}, {"5,21.0\n", true}};
  for (const auto& [row, passes] : rows) {
    ASSERT_TRUE(child.Write(row));
    // A passed row must arrive while standard input is still open; a dropped one is seen by the next.
    if (passes) {
      EXPECT_TRUE(child.ReadOutputUntil(row, 20000)) << row;
    }
  }
  EXPECT_EQ(child.Finish(), 0) << child.Errors();
  EXPECT_EQ(child.Output(), "time,temperature\n1,20.0\n3,20.5\n5,21.0\n");
}

class HostStopSignal : public HostProgram, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(HostStopSignal, FinishesTheOpenBlockAndPrintsTheSummary) {
  const auto [signal_number, status] = GetParam();
  ChildProcess child(KVO_HOST_PROGRAM,
                     {"--ini", Write("f.ini", kTemperatureIni), "--stats", "--block-rows", "2"},
                     Environment());
  ASSERT_TRUE(child.Started());
  // One write, so the fifth row has arrived with the fourth; it stays in the open block.
  ASSERT_TRUE(child.Write("time,temperature\n1,20.0\n2,20.1\n3,21.0\n4,21.1\n5,21.6\n"));
  ASSERT_TRUE(child.ReadOutputUntil("4,21.1\n", 20000));
  child.Signal(signal_number);
  EXPECT_EQ(child.Finish(), status) << child.Errors();
  EXPECT_EQ(child.Output(), "time,temperature\n1,20.0\n2,20.1\n3,21.0\n4,21.1\n5,21.6\n");
  EXPECT_NE(child.Errors().find("rows:   5 read, 5 passed, 0 dropped\n"), std::string::npos)
      << child.Errors();
}

INSTANTIATE_TEST_SUITE_P(Signals, HostStopSignal,
                         ::testing::Values(std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}));

TEST_F(HostProgram, LogLinesGoToStandardErrorWithLog) {
  const std::string csv = Write("in.csv", "a,b\n1,x\n2,y\n");
  EXPECT_EQ(Run({"--module", KVO_ECHO_MODULE, "--ini", Write("f.ini", kTemperatureIni), "--log", csv}), 0);
  EXPECT_EQ(output_, "a,b\n1,x\n2,y\n");
  EXPECT_NE(errors_.find("Echo. Block of 3 element(s)||2\nEcho. Block of 3 element(s)||2\n"),
            std::string::npos)
      << errors_;
  // Without --log, or with --quiet, no log line is shown.
  EXPECT_EQ(Run({"--module", KVO_ECHO_MODULE, "--quiet", "--log", csv}), 0);
  EXPECT_EQ(errors_, "");
}

TEST_F(HostProgram, PlotShowsEachWatchedVariable) {
  const std::string csv = Write("in.csv", kSample);
  const std::string ini = Write("f.ini", kTemperatureIni);
  const std::string svg = (scratch_ / "plot.svg").string();
  EXPECT_EQ(Run({"--ini", ini, "--plot", svg, csv}), 0) << errors_;
  const std::string picture = Read(svg);
  EXPECT_EQ(picture.rfind("<svg ", 0), 0u);
  EXPECT_NE(picture.find("temperature: Absolute 0.5, 3 of 5 values kept (40.0% fewer)"), std::string::npos);
  EXPECT_EQ(errors_, "kvo-host: plot written to " + svg + "\n");
}

struct PlotAxis {
  const char* name;
  std::string csv;
  std::vector<std::string> arguments;
  std::vector<std::string> texts;  // in the picture
  std::size_t most_points;
};

class HostPlotAxis : public HostProgram, public ::testing::WithParamInterface<PlotAxis> {};

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

TEST_P(HostPlotAxis, UsesTheTimeColumnAndThinsThePoints) {
  const PlotAxis& c = GetParam();
  const std::string svg = (scratch_ / "plot.svg").string();
  std::vector<std::string> arguments = {
      "--ini", Write("f.ini", "[Common]\r\nVar1=temperature\r\nType1=0\r\nVal1=0\r\n"), "--plot", svg};
  arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
  arguments.push_back(Write("in.csv", c.csv));
  ASSERT_EQ(Run(arguments), 0) << errors_;
  const std::string picture = Read(svg);
  for (const std::string& text : c.texts)
    EXPECT_NE(picture.find(text), std::string::npos) << text;
  EXPECT_LE(Count(picture, "<circle"), c.most_points);
  EXPECT_GT(Count(picture, "<circle"), 0u);
}

std::string LongInput() {
  std::string csv = "time,temperature\n";
  for (int i = 0; i < 4000; ++i)
    csv += std::to_string(1000000 + i) + "," + (i == 7 ? "" : std::to_string(i % 10)) + "\n";
  return csv;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostPlotAxis,
    ::testing::Values(
        // 4000 points kept: at most the lowest and highest of each of the 890 pixel columns.
        PlotAxis{"time_column_by_name",
                 LongInput(),
                 {},
                 {">time 1000000<", ">time 1003999<", "3999 of 3999 values kept"},
                 2 * 890},
        PlotAxis{"dates_by_value",
                 "day,temperature\n2024-05-19,1\n2024-05-26T12:00:00Z,2\n",
                 {},
                 {">2024-05-19<", ">2024-05-26 12:00:00<"},
                 2},
        PlotAxis{"chosen_column", "n,temperature\n5,1\n9,2\n", {"--plot-x", "N"}, {">n 5<", ">n 9<"}, 2},
        PlotAxis{"row_numbers", "n,temperature\n5,1\n9,2\n", {}, {">row 1<", ">row 2<"}, 2}),
    [](const ::testing::TestParamInfo<PlotAxis>& param_info) { return std::string(param_info.param.name); });

// Long-format rows, one tag per row, interleaved; each tag drifts at its own pace.
struct KeyedCase {
  const char* name;
  std::string input;  // its first line the header (CSV) or a first row (JSON Lines)
  std::string file;   // the input's file name; "-" for standard input
  std::vector<std::string> arguments;
};

class HostKeyed : public HostProgram, public ::testing::WithParamInterface<KeyedCase> {};

// The lines of `text`, each with its line end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line + "\n");
  return lines;
}

TEST_P(HostKeyed, FiltersEachKeyAsIfItsRowsWereAlone) {
  const KeyedCase& c = GetParam();
  const bool csv = c.file != "in.jsonl";
  const std::vector<std::string> lines = Lines(c.input);
  // What each tag's rows give when filtered alone, without --key.
  std::vector<std::string> passed_alone;
  for (const char* tag : {"a", "b", "c"}) {
    std::string alone = csv ? lines[0] : "";
    for (std::size_t i = csv ? 1 : 0; i < lines.size(); ++i) {
      if (lines[i].find(std::string("\"") + tag + "\"") != std::string::npos ||
          lines[i].find(std::string(",") + tag + ",") != std::string::npos)
        alone += lines[i];
    }
    std::vector<std::string> arguments = {"--ini", Write("f.ini", kTemperatureIni)};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    arguments.push_back(Write(csv ? "alone.csv" : "alone.jsonl", alone));
    ASSERT_EQ(Run(arguments), 0) << errors_;
    for (const std::string& line : Lines(output_))
      passed_alone.push_back(line);
  }
  std::string expected = csv ? lines[0] : "";
  for (std::size_t i = csv ? 1 : 0; i < lines.size(); ++i) {
    if (std::find(passed_alone.begin(), passed_alone.end(), lines[i]) != passed_alone.end())
      expected += lines[i];
  }
  std::vector<std::string> arguments = {"--ini", Write("f.ini", kTemperatureIni), "--key", "tag"};
  arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
  const bool from_stdin = c.file == "-";
  arguments.push_back(from_stdin ? "-" : Write(c.file, c.input));
  ASSERT_EQ(Run(arguments, from_stdin ? c.input : ""), 0) << errors_;
  EXPECT_EQ(output_, expected);
  // Some rows of every case are dropped, or the comparison shows nothing.
  EXPECT_LT(Lines(output_).size(), lines.size());
}

std::string KeyedCsv() {
  std::string csv = "time,tag,temperature\n";
  for (int i = 0; i < 60; ++i) {
    const char* tag = i % 5 == 0 ? "c" : i % 2 == 0 ? "a" : "b";
    csv += std::to_string(i) + "," + tag + "," + std::to_string(20 + i * (tag[0] - 'a' + 1) * 0.07) + "\n";
  }
  return csv;
}

std::string KeyedJsonl() {
  std::string jsonl;
  for (int i = 0; i < 40; ++i) {
    const char* tag = i % 3 == 0 ? "c" : i % 2 == 0 ? "a" : "b";
    jsonl += "{\"tag\": \"" + std::string(tag) + "\", \"temperature\": " + std::to_string(20 + i * 0.04) +
             ", \"n\": " + std::to_string(i) + "}\n";
  }
  return jsonl;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostKeyed,
    ::testing::Values(KeyedCase{"one_row_blocks", KeyedCsv(), "in.csv", {}},
                      KeyedCase{
                          "blocks_of_three_rows_held_in_order", KeyedCsv(), "in.csv", {"--block-rows", "3"}},
                      KeyedCase{"blocks_by_column", KeyedCsv(), "-", {"--block-by", "time"}},
                      KeyedCase{"json_lines_member", KeyedJsonl(), "in.jsonl", {"--block-rows", "2"}}),
    [](const ::testing::TestParamInfo<KeyedCase>& param_info) { return std::string(param_info.param.name); });

TEST_F(HostProgram, KeyedStatsCountRowsPerKeyMostFirst) {
  const std::string csv = Write("in.csv", "tag,temperature\nb,1\na,1\na,1\nc,5\na,9\nb,1\n");
  EXPECT_EQ(Run({"--ini", Write("f.ini", kTemperatureIni), "--key", "tag", "--stats", csv}), 0) << errors_;
  EXPECT_EQ(output_, "tag,temperature\nb,1\na,1\nc,5\na,9\n");
  EXPECT_NE(errors_.find("rows:   6 read, 4 passed, 2 dropped\n"), std::string::npos) << errors_;
  EXPECT_NE(errors_.find("keys: 3\ntop 3 keys by rows:\n  a: 3 read, 2 passed\n  b: 2 read, 1 passed\n"
                         "  c: 1 read, 1 passed\n"),
            std::string::npos)
      << errors_;
}

TEST_F(HostProgram, TheKeyPastMaxKeysStopsTheRunAndKeepsWrittenRows) {
  const std::string csv = Write("in.csv", "tag,temperature\na,1\nb,1\na,3\nc,1\na,5\n");
  EXPECT_EQ(Run({"--ini", Write("f.ini", kTemperatureIni), "--key", "tag", "--max-keys", "2", csv}), 1);
  EXPECT_EQ(output_, "tag,temperature\na,1\nb,1\na,3\n");
  EXPECT_EQ(errors_, "kvo-host: " + csv + ":5: key \"c\" is one more than --max-keys 2 allows\n");
}

TEST_F(HostProgram, KeyedPlotHasAPanelPerKeyOrOnlyTheChosenKey) {
  const std::string csv = Write("in.csv", "tag,temperature\na,1\nb,1\na,3\n");
  const std::string svg = (scratch_ / "plot.svg").string();
  const std::string ini = Write("f.ini", kTemperatureIni);
  ASSERT_EQ(Run({"--ini", ini, "--key", "tag", "--plot", svg, csv}), 0) << errors_;
  EXPECT_NE(Read(svg).find("tag=a: temperature: Absolute 0.5, 2 of 2 values kept"), std::string::npos);
  EXPECT_NE(Read(svg).find("tag=b: temperature: Absolute 0.5, 1 of 1 values kept"), std::string::npos);
  ASSERT_EQ(Run({"--ini", ini, "--key", "tag", "--plot", svg, "--plot-key", "b", csv}), 0) << errors_;
  EXPECT_EQ(Read(svg).find("tag=a:"), std::string::npos);
  EXPECT_NE(Read(svg).find("tag=b:"), std::string::npos);
}

TEST_F(HostProgram, InfoDescribesTheModule) {
  EXPECT_EQ(Run({"info"}), 0) << errors_;
  EXPECT_NE(output_.find("description:        Deadband\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("module type:        filter (32)\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("minimum host:       3.6\n"), std::string::npos) << output_;
}

}  // namespace
}  // namespace kvo::host
