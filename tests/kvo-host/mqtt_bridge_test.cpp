// `kvo-host mqtt` against a real broker of the test's own: per-topic filtering, both payload formats, the
// retain flag, bad payloads, a broker restart, a kept session, credentials and TLS, the stop by SIGTERM.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kvo-host/child_process.h"
#include "kvo-host/mqtt_test_support.h"
#include "support/scratch_folder.h"

namespace kvo::host {
namespace {

using testing::ChildProcess;
using testing::ClientSettings;
using testing::MosquittoBroker;
using testing::TestClient;

constexpr int kWaitMs = 60000;
const char* const kValueIni = "[Common]\r\nVar1=value\r\nType1=0\r\nVal1=0.5\r\nRelationship=0\r\n";

class MqttBridge : public ::testing::Test {
 protected:
  void SetUp() override { ini_ = Write("f.ini", kValueIni); }
  void TearDown() override { broker_.reset(); }

  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = (scratch_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  void StartBroker(const std::string& listener_lines = "allow_anonymous true\n") {
    broker_ = std::make_unique<MosquittoBroker>(scratch_ / "broker", listener_lines);
    ASSERT_TRUE(broker_->Start());
  }
  // The bridge on in/# to out/..., once it has subscribed.
  std::unique_ptr<ChildProcess> StartBridge(std::vector<std::string> arguments, const std::string& url = "") {
    std::vector<std::string> all = {"mqtt",        "--broker", url.empty() ? broker_->Url() : url,
                                    "--subscribe", "in/#",     "--publish-prefix",
                                    "out",         "--ini",    ini_,
                                    "--stats"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    auto bridge = std::make_unique<ChildProcess>(
        KVO_HOST_PROGRAM, all, std::vector<std::string>{"KVO_REGISTRY_DIR=" + scratch_.string()});
    EXPECT_TRUE(bridge->ReadErrorsUntil("subscribed to in/#", kWaitMs)) << bridge->Errors();
    return bridge;
  }
  // SIGTERM: the bridge completes its publishes, prints its summary and exits 0. Returns standard error.
  std::string StopBridge(ChildProcess& bridge) {
    bridge.Signal(SIGTERM);
    EXPECT_EQ(bridge.Finish(kWaitMs), 0) << bridge.Errors();
    EXPECT_NE(bridge.Errors().find("reduction:"), std::string::npos) << bridge.Errors();
    return bridge.Errors();
  }
  // What the default action passes of `values` as a CSV column "value": a topic filtered alone.
  std::vector<std::string> FilteredAlone(const std::vector<std::string>& values) {
    std::string csv = "value\n";
    for (const std::string& v : values)
      csv += v + "\n";
    ChildProcess run(KVO_HOST_PROGRAM, {"--ini", ini_, "--quiet", Write("alone.csv", csv)},
                     {"KVO_REGISTRY_DIR=" + scratch_.string()});
    EXPECT_EQ(run.Finish(kWaitMs), 0) << run.Errors();
    std::vector<std::string> passed;
    std::istringstream lines(run.Output());
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line))
      passed.push_back(line);
    return passed;
  }

  kvo::testing::ScratchFolder folder_;
  const std::filesystem::path& scratch_ = folder_.Path();
  std::string ini_;
  std::unique_ptr<MosquittoBroker> broker_;
};

TEST_F(MqttBridge, EachTopicIsFilteredAsIfItWereAlone) {
  StartBroker();
  // Far apart, so that one state shared by both topics would pass nearly every message.
  const std::vector<std::string> a = {"0", "0.3", "0.6", "0.7", "1.2", "1.3", "1000"};
  const std::vector<std::string> b = {"50", "50.4", "49.8", "50.1", "48", "48.2", "2000"};
  TestClient out(broker_->Port());
  ASSERT_TRUE(out.Subscribe("out/#"));
  auto bridge = StartBridge({"--qos", "1"});
  TestClient in(broker_->Port());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_TRUE(in.Publish("in/a", a[i]));
    ASSERT_TRUE(in.Publish("in/b", b[i]));
  }
  ASSERT_TRUE(out.WaitFor("out/in/a", "1000"));
  ASSERT_TRUE(out.WaitFor("out/in/b", "2000"));
  EXPECT_EQ(out.Payloads("out/in/a"), FilteredAlone(a));
  EXPECT_EQ(out.Payloads("out/in/b"), FilteredAlone(b));
  for (const testing::MqttMessage& m : out.Messages()) {
    EXPECT_EQ(m.qos, 1) << m.topic;
    EXPECT_FALSE(m.retain) << m.topic;
  }
  const std::string errors = StopBridge(*bridge);
  EXPECT_NE(errors.find("keys: 2\n"), std::string::npos) << errors;
}

TEST_F(MqttBridge, JsonPayloadsPassUnchangedAndBadOnesAreCountedAndDropped) {
  StartBroker();
  TestClient out(broker_->Port());
  ASSERT_TRUE(out.Subscribe("out/#"));
  auto bridge = StartBridge({"--payload", "json", "--log", "--qos", "1"});
  TestClient in(broker_->Port());
  const std::vector<std::string> payloads = {"{\"value\": 20.0, \"s\": \"a\"}",
                                             "{\"value\": 20.2, \"s\": \"b\"}",
                                             "20.9",  // a number, but no JSON object
                                             "{\"value\": {\"x\": 1}}",
                                             "{\"value\": 30, \"s\": \"\xff\"}",
                                             "",
                                             "{\"s\": \"c\",  \"value\": 21}"};
  for (const std::string& payload : payloads)
    ASSERT_TRUE(in.Publish("in/j", payload));
  ASSERT_TRUE(out.WaitFor("out/in/j", payloads.back()));
  EXPECT_EQ(out.Payloads("out/in/j"), (std::vector<std::string>{payloads[0], payloads.back()}));
  const std::string errors = StopBridge(*bridge);
  EXPECT_NE(errors.find("messages: 3 read, 2 passed, 1 dropped\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("bad payloads: 4\n"), std::string::npos) << errors;
  for (const char* why : {"not a JSON object", "nested value in \"value\"", "not UTF-8", "empty payload"})
    EXPECT_NE(errors.find("in/j: bad payload dropped: " + std::string(why)), std::string::npos) << why;
}

TEST_F(MqttBridge, RetainedMessagesKeepTheirFlag) {
  StartBroker();
  TestClient in(broker_->Port());
  ASSERT_TRUE(in.Publish("in/r", "5", 1, true));
  TestClient out(broker_->Port());
  ASSERT_TRUE(out.Subscribe("out/#"));
  auto bridge = StartBridge({"--qos", "1"});
  ASSERT_TRUE(in.Publish("in/r", "7", 1, true));
  ASSERT_TRUE(in.Publish("in/r", "9", 1, false));
  ASSERT_TRUE(out.WaitFor("out/in/r", "9"));
  std::vector<std::pair<std::string, bool>> got;
  for (const testing::MqttMessage& m : out.Messages())
    got.emplace_back(m.payload, m.retain);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{{"5", true}, {"7", true}, {"9", false}}));
  StopBridge(*bridge);
}

TEST_F(MqttBridge, ReconnectsAfterTheBrokerRestartsAndKeepsEachTopicsState) {
  StartBroker();
  auto bridge = StartBridge({"--qos", "1", "--client-id", "kvo-test-restart"});
  {
    TestClient out(broker_->Port());
    ASSERT_TRUE(out.Subscribe("out/#"));
    TestClient in(broker_->Port());
    ASSERT_TRUE(in.Publish("in/k", "0"));
    ASSERT_TRUE(out.WaitFor("out/in/k", "0"));
  }
  broker_->Stop();
  ASSERT_TRUE(bridge->ReadErrorsUntil("lost the connection", kWaitMs)) << bridge->Errors();
  ASSERT_TRUE(broker_->Start());
  ASSERT_TRUE(bridge->ReadErrorsUntil("reconnected to", kWaitMs)) << bridge->Errors();
  ASSERT_TRUE(bridge->ReadErrorsUntil("subscribed to in/#", kWaitMs)) << bridge->Errors();
  TestClient out(broker_->Port());
  ASSERT_TRUE(out.Subscribe("out/#"));
  TestClient in(broker_->Port());
  // 0.3 is within the band of the 0 before the restart: a new instance would pass it.
  for (const char* value : {"0.3", "0.6", "2"})
    ASSERT_TRUE(in.Publish("in/k", value));
  ASSERT_TRUE(out.WaitFor("out/in/k", "2"));
  EXPECT_EQ(out.Payloads("out/in/k"), (std::vector<std::string>{"0.6", "2"}));
  const std::string errors = StopBridge(*bridge);
  EXPECT_NE(errors.find("reconnects: 1\n"), std::string::npos) << errors;
}

TEST_F(MqttBridge, AKeptSessionDeliversWhatCameWhileTheBridgeWasAway) {
  StartBroker();
  const std::vector<std::string> kept = {"--qos", "1", "--client-id", "kvo-test-session"};
  StopBridge(*StartBridge(kept));
  TestClient out(broker_->Port());
  ASSERT_TRUE(out.Subscribe("out/#"));
  TestClient in(broker_->Port());
  ASSERT_TRUE(in.Publish("in/s", "1"));
  ASSERT_TRUE(in.Publish("in/s", "5"));
  auto bridge = StartBridge(kept);
  ASSERT_TRUE(out.WaitFor("out/in/s", "5"));
  EXPECT_EQ(out.Payloads("out/in/s"), (std::vector<std::string>{"1", "5"}));
  StopBridge(*bridge);
}

TEST_F(MqttBridge, LogsInWithAPasswordAndAClientCertificateOverTls) {
  const auto run = [this](const std::string& command) {
    ASSERT_EQ(std::system(("cd '" + scratch_.string() + "' && " + command + " >>tools.log 2>&1").c_str()), 0)
        << command;
  };
  Write("ip.ext", "subjectAltName=IP:127.0.0.1\n");
  const std::string key = "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
  run(key + "-x509 -days 2 -subj /CN=kvo-test-ca -keyout ca.key -out ca.crt");
  for (const char* who : {"server", "client"}) {
    const std::string w = who;
    run(key + "-subj /CN=127.0.0.1 -keyout " + w + ".key -out " + w + ".csr");
    run("openssl x509 -req -days 2 -in " + w +
        ".csr -CA ca.crt -CAkey ca.key -CAcreateserial -extfile ip.ext -out " + w + ".crt");
  }
  run(std::string(KVO_MOSQUITTO_PASSWD_PROGRAM) + " -c -b passwords bridge 's3cret'");
  const std::string dir = scratch_.string() + "/";
  StartBroker("allow_anonymous false\npassword_file " + dir + "passwords\ncafile " + dir +
              "ca.crt\ncertfile " + dir + "server.crt\nkeyfile " + dir +
              "server.key\nrequire_certificate true\n");
  const ClientSettings tls{dir + "ca.crt", dir + "client.crt", dir + "client.key", "bridge", "s3cret"};
  TestClient out(broker_->Port(), tls);
  ASSERT_TRUE(out.Subscribe("out/#"));
  const std::vector<std::string> login = {
      "--cafile",         dir + "ca.crt", "--cert", dir + "client.crt", "--key",
      dir + "client.key", "--username",   "bridge", "--password-file",  Write("pass", "s3cret\n")};
  auto bridge = StartBridge(login, broker_->Url("mqtts"));
  TestClient in(broker_->Port(), tls);
  ASSERT_TRUE(in.Publish("in/t", "42"));
  ASSERT_TRUE(out.WaitFor("out/in/t", "42"));
  StopBridge(*bridge);

  std::vector<std::string> wrong = login;
  wrong.back() = Write("wrong", "guess\n");
  wrong.insert(wrong.begin(), {"mqtt", "--broker", broker_->Url("mqtts"), "--subscribe", "in/#",
                               "--publish-prefix", "out", "--ini", ini_});
  ChildProcess refused(KVO_HOST_PROGRAM, wrong, {"KVO_REGISTRY_DIR=" + scratch_.string()});
  EXPECT_EQ(refused.Finish(kWaitMs), 1);
  EXPECT_NE(refused.Errors().find("the broker refused the connection"), std::string::npos)
      << refused.Errors();
}

}  // namespace
}  // namespace kvo::host
