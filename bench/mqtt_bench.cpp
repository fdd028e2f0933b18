// Messages per second through one broker on loopback, QoS 0, small numeric payloads over 100 topics:
//   Direct:     publisher -> broker -> subscriber
//   PlainRelay: publisher -> broker -> relay (subscribe, republish under a prefix) -> broker -> subscriber
//   Bridge:     publisher -> broker -> kvo-host mqtt (every message passes) -> broker -> subscriber
// The bridge should carry at least 0.8x the plain relay: then the broker, not the filter, is the limit.
// Time runs from the first publish to the last message received.
// The machine's load moves these figures; compare in one run, interleaved:
//   kvo-bench-mqtt --benchmark_repetitions=6 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "kvo-host/child_process.h"
#include "kvo-host/mqtt_test_support.h"

namespace kvo::host {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMessages = 20000;
constexpr int kTopics = 100;

std::filesystem::path Scratch() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / ("kvo-bench-mqtt-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return path;
}

testing::MosquittoBroker& Broker() {
  static testing::MosquittoBroker* broker = [] {
    auto* b = new testing::MosquittoBroker(Scratch() / "broker");
    if (!b->Start()) std::abort();
    std::atexit([] {
      Broker().Stop();
      std::error_code ignored;
      std::filesystem::remove_all(Scratch(), ignored);
    });
    return b;
  }();
  return *broker;
}

// Counts what arrives on a filter and notes when the last message came.
class Counter {
 public:
  explicit Counter(const std::string& filter) {
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message*) {
      auto* c = static_cast<Counter*>(self);
      c->last_ = Clock::now();
      c->count_.fetch_add(1, std::memory_order_release);
    });
    mosquitto_connect(mosq_, "127.0.0.1", Broker().Port(), 60);
    mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 0);
    // The SUBACK comes before any message it lets through.
    for (int i = 0; i < 50; ++i)
      mosquitto_loop(mosq_, 20, 1);
    mosquitto_loop_start(mosq_);
  }
  ~Counter() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, true);
    mosquitto_destroy(mosq_);
  }
  // Waits for `n` messages or 3 s without one; the time of the last.
  Clock::time_point WaitFor(int n) {
    int seen = 0;
    auto quiet_since = Clock::now();
    while (count_.load(std::memory_order_acquire) < n &&
           Clock::now() - quiet_since < std::chrono::seconds(3)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const int now = count_.load(std::memory_order_acquire);
      if (now != seen) quiet_since = Clock::now(), seen = now;
    }
    return last_;
  }
  int Count() const { return count_.load(std::memory_order_acquire); }

 private:
  mosquitto* mosq_;
  std::atomic<int> count_{0};
  Clock::time_point last_{};  // written before the count is raised
};

// Republishes everything on in/# under relay/, as the bridge would if it passed every message.
class PlainRelay {
 public:
  PlainRelay() {
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(mosq_, [](mosquitto* m, void*, const mosquitto_message* message) {
      const std::string topic = std::string("relay/") + message->topic;
      mosquitto_publish(m, nullptr, topic.c_str(), message->payloadlen, message->payload, message->qos,
                        message->retain);
    });
    mosquitto_connect(mosq_, "127.0.0.1", Broker().Port(), 60);
    mosquitto_subscribe(mosq_, nullptr, "in/#", 0);
    for (int i = 0; i < 50; ++i)
      mosquitto_loop(mosq_, 20, 1);
    mosquitto_loop_start(mosq_);
  }
  ~PlainRelay() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, true);
    mosquitto_destroy(mosq_);
  }

 private:
  mosquitto* mosq_;
};

void Pipeline(benchmark::State& state, const std::string& out_filter) {
  mosquitto* publisher = mosquitto_new(nullptr, true, nullptr);
  mosquitto_connect(publisher, "127.0.0.1", Broker().Port(), 60);
  mosquitto_loop_start(publisher);
  std::string topics[kTopics];
  for (int t = 0; t < kTopics; ++t)
    topics[t] = "in/tag" + std::to_string(t);
  int lost = 0;
  for (auto _ : state) {
    Counter counter(out_filter);
    const auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
      // Each topic alternates between 0 and 1, so a band of 0.5 passes every message.
      const char* payload = (i / kTopics) % 2 ? "1" : "0";
      mosquitto_publish(publisher, nullptr, topics[i % kTopics].c_str(), 1, payload, 0, false);
    }
    const auto last = counter.WaitFor(kMessages);
    lost += kMessages - counter.Count();
    state.SetIterationTime(std::chrono::duration<double>(last - start).count());
  }
  mosquitto_disconnect(publisher);
  mosquitto_loop_stop(publisher, true);
  mosquitto_destroy(publisher);
  state.counters["msgs_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kMessages, benchmark::Counter::kIsRate);
  state.counters["lost"] = lost;
}

void BM_Direct(benchmark::State& state) {
  mosquitto_lib_init();
  Pipeline(state, "in/#");
}
BENCHMARK(BM_Direct)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PlainRelay(benchmark::State& state) {
  mosquitto_lib_init();
  PlainRelay relay;
  Pipeline(state, "relay/#");
}
BENCHMARK(BM_PlainRelay)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Bridge(benchmark::State& state) {
  mosquitto_lib_init();
  const std::string ini = (Scratch() / "f.ini").string();
  std::ofstream(ini) << "[Common]\r\nVar1=value\r\nType1=0\r\nVal1=0.5\r\nRelationship=0\r\n";
  testing::ChildProcess bridge(
      KVO_HOST_PROGRAM,
      {"mqtt", "--broker", Broker().Url(), "--subscribe", "in/#", "--publish-prefix", "bridge", "--ini", ini},
      {"KVO_REGISTRY_DIR=" + (Scratch() / "registry").string()});
  if (!bridge.ReadErrorsUntil("subscribed to", 60000)) {
    state.SkipWithError("the bridge did not subscribe");
    return;
  }
  Pipeline(state, "bridge/#");
  bridge.Signal(SIGTERM);
  bridge.Finish();
}
BENCHMARK(BM_Bridge)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvo::host
