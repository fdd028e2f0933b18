// kvo-host as a process: prepared files in, exact rows, messages and exit status out; settings written by
// `configure` to an INI file or the registry and used by a run; a live stream through a pipe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "host_cli/child_process.h"

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
                 "{\"temperature\": 20}\n", ":2: nested value in \"temperature\""}),
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
  EXPECT_EQ(Run({"options", "--ini", ini, "--items", csv}), 0) << errors_;
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

TEST_F(HostProgram, InfoDescribesTheModule) {
  EXPECT_EQ(Run({"info"}), 0) << errors_;
  EXPECT_NE(output_.find("description:        Deadband\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("module type:        filter (32)\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("minimum host:       3.6\n"), std::string::npos) << output_;
}

}  // namespace
}  // namespace kvo::host
