// The MQTT bridge (built where libmosquitto is): one network loop on the calling thread, so the module's
// calls, the library's callbacks and the publishes all happen on it; no locks.
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "kvo-host/block.h"
#include "kvo-host/filter_settings.h"
#include "kvo-host/keyed_instances.h"
#include "kvo-host/log_reader.h"
#include "kvo-host/module_driver.h"
#include "kvo-host/mqtt_bridge.h"
#include "kvo-host/mqtt_payload.h"
#include "kvo-host/params_block.h"
#include "kvo-host/platform/input_file.h"
#include "kvo-host/run_stats.h"
#include "platform/files.h"

namespace kvo::host {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds() {
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

class BridgeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// libmosquitto's global state, for the run.
struct MosquittoLibrary {
  MosquittoLibrary() { mosquitto_lib_init(); }
  ~MosquittoLibrary() { mosquitto_lib_cleanup(); }
};

struct PropertiesDeleter {
  void operator()(mosquitto_property* p) const { mosquitto_property_free_all(&p); }
};

class Bridge {
 public:
  Bridge(const MqttOptions& options, const MqttPrint& err)
      : options_(options), err_(err), parser_(options.payload), prefix_(options.publish_prefix + "/") {}
  ~Bridge() {
    instances_.reset();
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
  }
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  int Run();

 private:
  void Print(const std::string& line) { err_(line + "\n"); }
  void Note(const std::string& line) {
    if (!options_.quiet) Print("kvo-host mqtt: " + line);
  }
  void Setup();
  // Runs `f` on the bridge of a callback: no exception may cross the library's C frames.
  template <typename F>
  static void Guarded(void* self, F f) {
    auto* bridge = static_cast<Bridge*>(self);
    try {
      f(*bridge);
    } catch (const std::exception& e) {
      bridge->fatal_ = e.what();
    }
  }
  void Connected(int reason);
  void Subscribed(int mid, int count, const int* granted);
  void Message(const mosquitto_message& message);
  // The topic's instance number; made on its first message.
  int32_t TopicFor(const std::string& topic, const Record& first);
  // Runs the network loop while `more` holds, for `seconds` at most, until the connection drops.
  void LoopWhile(const std::function<bool()>& more, double seconds);
  std::string Reason(int rc) const {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
  }

  const MqttOptions& options_;
  const MqttPrint& err_;
  std::unique_ptr<PluginModule> module_;
  std::unique_ptr<LogReader> log_;
  LoadOptions load_;
  PayloadParser parser_;
  std::string prefix_;                               // PREFIX/
  std::unique_ptr<KeyedInstances> instances_;        // one per topic
  std::unordered_map<std::string, int32_t> topics_;  // their instance numbers
  std::vector<KeyCounts> topic_counts_;              // by instance number
  Block block_;
  ParamsBlock params_;
  Record record_;
  std::string error_;

  mosquitto* mosq_ = nullptr;
  bool persistent_ = false;
  bool socket_up_ = false;  // a TCP connection exists (not yet or no longer necessarily accepted)
  bool outage_ = false;     // lost since the last accepted connection
  std::string fatal_;       // why the run must end
  int subscribe_mid_first_ = 0;
  int subscriptions_pending_ = 0;
  int64_t published_ = 0, acknowledged_ = 0;

  RunCounts counts_;
  int64_t bad_payloads_ = 0;
  int64_t module_failures_ = 0;
  int64_t over_limit_ = 0;  // messages dropped for want of an instance
  int64_t publish_failures_ = 0;
  int64_t reconnects_ = 0;
};

void Bridge::Setup() {
  if (!options_.ini_file.empty() && !platform::FileExists(options_.ini_file))
    throw BridgeError(options_.ini_file + ": no such settings file; create it with kvo-host configure");
  FilterSettings settings;
  const StoreLocation location{options_.ini_file, options_.section_prefix, options_.registry_path};
  LoadFilterSettings(location, &settings);
  bool any_active = false;
  for (int i = 0; i < kSlotCount; ++i)
    any_active = any_active || settings.Active(i);
  if (!any_active)
    Note("warning: no watched variable in " + DescribeLocation(location) + "; every message will be dropped");

  module_ = std::make_unique<PluginModule>(options_.module);
  if (options_.log && !options_.quiet) {
    log_ = std::make_unique<LogReader>([this](std::string_view line) { Print(std::string(line)); });
    std::string error;
    if (!log_->Open(&error)) throw BridgeError("cannot open the log channel: " + error);
  }
  load_.ini_file = options_.ini_file;
  load_.section_prefix = options_.section_prefix;
  load_.registry_path =
      options_.registry_path.empty() ? std::string(kDefaultRegistryPath) : options_.registry_path;
  load_.language = options_.language;
  load_.messages_handle = log_ ? log_->Target() : 0;
  std::function<void(FilterSession&)> poll;
  if (log_) poll = [this](FilterSession& session) { log_->Poll(session); };
  instances_ = std::make_unique<KeyedInstances>(*module_, load_, options_.max_topics, std::move(poll));

  // A session the broker keeps needs a name to find it by and acknowledged delivery to be worth keeping.
  persistent_ = options_.qos >= 1 && !options_.client_id.empty();
  mosq_ =
      mosquitto_new(options_.client_id.empty() ? nullptr : options_.client_id.c_str(), !persistent_, this);
  if (mosq_ == nullptr)
    throw BridgeError(std::string("cannot make the MQTT client: ") + std::strerror(errno));
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION,
                       options_.protocol == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
  if (!options_.username.empty() || !options_.password_file.empty()) {
    std::string password;
    if (!options_.password_file.empty()) {
      std::ifstream file(options_.password_file, std::ios::binary);
      if (!file) throw BridgeError("cannot read the password file " + options_.password_file);
      std::getline(file, password);
      if (!password.empty() && password.back() == '\r') password.pop_back();
    }
    const int rc =
        mosquitto_username_pw_set(mosq_, options_.username.empty() ? nullptr : options_.username.c_str(),
                                  options_.password_file.empty() ? nullptr : password.c_str());
    if (rc != MOSQ_ERR_SUCCESS) throw BridgeError("cannot set the credentials: " + Reason(rc));
  }
  if (options_.address.tls || !options_.cafile.empty() || !options_.cert.empty()) {
    if (options_.cafile.empty()) mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    const int rc = mosquitto_tls_set(mosq_, options_.cafile.empty() ? nullptr : options_.cafile.c_str(),
                                     nullptr, options_.cert.empty() ? nullptr : options_.cert.c_str(),
                                     options_.key.empty() ? nullptr : options_.key.c_str(), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) throw BridgeError("cannot set up TLS: " + Reason(rc));
  }
  mosquitto_connect_v5_callback_set(mosq_,
                                    [](mosquitto*, void* self, int reason, int, const mosquitto_property*) {
                                      Guarded(self, [&](Bridge& b) { b.Connected(reason); });
                                    });
  mosquitto_subscribe_v5_callback_set(
      mosq_, [](mosquitto*, void* self, int mid, int count, const int* granted, const mosquitto_property*) {
        Guarded(self, [&](Bridge& b) { b.Subscribed(mid, count, granted); });
      });
  mosquitto_message_v5_callback_set(
      mosq_, [](mosquitto*, void* self, const mosquitto_message* message, const mosquitto_property*) {
        Guarded(self, [&](Bridge& b) { b.Message(*message); });
      });
  mosquitto_publish_v5_callback_set(mosq_, [](mosquitto*, void* self, int, int, const mosquitto_property*) {
    ++static_cast<Bridge*>(self)->acknowledged_;
  });
}

void Bridge::Connected(int reason) {
  if (reason != 0) {
    fatal_ = "the broker refused the connection: " + std::string(options_.protocol == 5
                                                                     ? mosquitto_reason_string(reason)
                                                                     : mosquitto_connack_string(reason));
    return;
  }
  if (outage_) {
    ++reconnects_;
    Print("kvo-host mqtt: reconnected to " + options_.broker);
  }
  outage_ = false;
  // Subscribing again is harmless for a kept session and needed for a new one.
  int options = 0;
  if (options_.protocol == 5) {
    // Keeps the retain flag on live messages; leaves out this client's own publishes; a kept session's
    // retained messages are not sent again.
    options = MQTT_SUB_OPT_RETAIN_AS_PUBLISHED | MQTT_SUB_OPT_NO_LOCAL | MQTT_SUB_OPT_SEND_RETAIN_NEW;
  }
  subscriptions_pending_ = static_cast<int>(options_.subscribe.size());
  for (std::size_t i = 0; i < options_.subscribe.size(); ++i) {
    int mid = 0;
    const int rc =
        mosquitto_subscribe_v5(mosq_, &mid, options_.subscribe[i].c_str(), options_.qos, options, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
      fatal_ = "cannot subscribe to " + options_.subscribe[i] + ": " + Reason(rc);
      return;
    }
    if (i == 0) subscribe_mid_first_ = mid;
  }
}

void Bridge::Subscribed(int mid, int count, const int* granted) {
  const int index = mid - subscribe_mid_first_;
  if (index < 0 || index >= static_cast<int>(options_.subscribe.size())) return;
  const std::string& filter = options_.subscribe[static_cast<std::size_t>(index)];
  for (int i = 0; i < count; ++i) {
    if (granted[i] > 2) {
      fatal_ = "the broker refused the subscription to " + filter +
               (options_.protocol == 5 ? std::string(": ") + mosquitto_reason_string(granted[i]) : "");
      return;
    }
  }
  if (--subscriptions_pending_ == 0) {
    std::string filters;
    for (const std::string& f : options_.subscribe)
      filters += (filters.empty() ? "" : ", ") + f;
    Note("connected to " + options_.broker + "; subscribed to " + filters);
  }
}

int32_t Bridge::TopicFor(const std::string& topic, const Record& first) {
  auto it = topics_.find(topic);
  if (it != topics_.end()) return it->second;
  // Each topic's items are typed by its own first message; topics may carry different members.
  const std::vector<std::string>& columns = parser_.Columns();
  std::vector<std::string> names;
  std::vector<ValueKind> kinds;
  for (const Field& field : first.fields) {
    names.push_back(columns[static_cast<std::size_t>(field.column)]);
    kinds.push_back(field.value.kind);
  }
  instances_->SetItems(ItemListText(names, kinds));
  const int32_t index = instances_->Find(topic);
  topics_.emplace(topic, index);
  topic_counts_.push_back(KeyCounts{topic, 0, 0});
  return index;
}

void Bridge::Message(const mosquitto_message& message) {
  const std::string topic = message.topic;
  // Our own output, met again under a wide filter.
  if (topic.compare(0, prefix_.size(), prefix_) == 0) return;
  const std::string_view payload(static_cast<const char*>(message.payload),
                                 static_cast<std::size_t>(message.payloadlen));
  if (!parser_.Parse(payload, record_, &error_)) {
    ++bad_payloads_;
    if (options_.log && !options_.quiet)
      Print("kvo-host mqtt: " + topic + ": bad payload dropped: " + error_);
    return;
  }
  try {
    const int32_t index = TopicFor(topic, record_);
    FilterSession& session = instances_->Session(index);
    KeyCounts& topic_counts = topic_counts_[static_cast<std::size_t>(index)];
    block_.Clear();
    block_.Add(record_);
    params_.Fill(block_, parser_.Columns());
    TParamsList* rows = nullptr;
    const int32_t result = session.Process(params_.List(), &rows);
    if (log_) log_->Poll(session);
    ++counts_.blocks_read;
    ++counts_.rows_read;
    ++topic_counts.rows_read;
    if (result < 0) {
      ++module_failures_;
      Print("kvo-host mqtt: " + topic + ": the module failed on this message (result " +
            std::to_string(result) + ")");
      return;
    }
    if (rows == nullptr || kvo_params_count(rows) == 0) return;
    ++topic_counts.rows_passed;
  } catch (const KeyLimitError& e) {
    // Said once: every later message on a new topic would say it again.
    if (over_limit_++ == 0)
      Print("kvo-host mqtt: " + topic + ": " + e.what() + "; such messages are dropped");
    return;
  } catch (const InstanceSetupError& e) {
    ++module_failures_;
    Print("kvo-host mqtt: " + topic + ": " + e.what());
    return;
  }
  ++counts_.blocks_passed;
  ++counts_.rows_passed;
  const std::string out = prefix_ + topic;
  const int rc = mosquitto_publish_v5(mosq_, nullptr, out.c_str(), message.payloadlen, message.payload,
                                      message.qos, message.retain, nullptr);
  if (rc == MOSQ_ERR_SUCCESS) {
    ++published_;
  } else {
    ++publish_failures_;
    Print("kvo-host mqtt: cannot publish on " + out + ": " + Reason(rc));
  }
}

void Bridge::LoopWhile(const std::function<bool()>& more, double seconds) {
  const double until = Seconds() + seconds;
  while (socket_up_ && more() && Seconds() < until) {
    if (mosquitto_loop(mosq_, 100, 1) != MOSQ_ERR_SUCCESS) socket_up_ = false;
  }
}

int Bridge::Run() {
  const double start = Seconds();
  Setup();
  mosquitto_property* properties = nullptr;
  if (persistent_ && options_.protocol == 5) {
    // MQTT 5 ends a session at the disconnect unless told otherwise: keep it as long as the broker allows.
    mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, UINT32_MAX);
  }
  std::unique_ptr<mosquitto_property, PropertiesDeleter> owned(properties);
  int rc = mosquitto_connect_bind_v5(mosq_, options_.address.host.c_str(), options_.address.port,
                                     options_.keepalive, nullptr, properties);
  socket_up_ = rc == MOSQ_ERR_SUCCESS;
  const double first_delay = 0.25, max_delay = 10.0;
  double delay = first_delay;
  double retry_at = 0;
  if (!socket_up_) {
    if (rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_EAI)
      throw BridgeError("cannot connect to " + options_.broker + ": " + Reason(rc));
    Print("kvo-host mqtt: cannot connect to " + options_.broker + ": " + Reason(rc) + "; trying again");
    outage_ = true;
    retry_at = Seconds() + delay;
  }
  while (sys::InputFile::StopSignal() == 0 && fatal_.empty()) {
    if (!socket_up_) {
      if (Seconds() < retry_at) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      rc = mosquitto_reconnect(mosq_);
      if (rc != MOSQ_ERR_SUCCESS) {
        delay = std::min(delay * 2, max_delay);
        retry_at = Seconds() + delay;
        continue;
      }
      socket_up_ = true;
      continue;
    }
    rc = mosquitto_loop(mosq_, 100, 1);
    if (rc == MOSQ_ERR_SUCCESS) {
      if (!outage_) delay = first_delay;
      continue;
    }
    if (!fatal_.empty()) break;
    socket_up_ = false;
    if (!outage_) {
      Print("kvo-host mqtt: lost the connection to " + options_.broker + " (" + Reason(rc) +
            "); reconnecting");
      outage_ = true;
    }
    retry_at = Seconds() + delay;
  }
  if (fatal_.empty()) {
    // Publishes not yet written or acknowledged are completed before the disconnect.
    LoopWhile([this] { return acknowledged_ < published_; }, 10.0);
    if (socket_up_) {
      mosquitto_disconnect_v5(mosq_, 0, nullptr);
      LoopWhile([] { return true; }, 2.0);
    }
  }
  if (options_.stats && !options_.quiet) {
    // Each message is one block of one row: the summary speaks of messages.
    std::string summary = SummaryText(counts_, Seconds() - start);
    summary.erase(0, summary.find('\n') + 1);
    summary.replace(0, std::string_view("rows:   ").size(), "messages: ");
    summary.replace(summary.rfind(" rows/s"), std::string_view(" rows/s").size(), " messages/s");
    summary += "bad payloads: " + std::to_string(bad_payloads_) + "\n";
    summary += KeySummaryText(topic_counts_);
    summary += "reconnects: " + std::to_string(reconnects_) + "\n";
    if (module_failures_ > 0) summary += "module failures: " + std::to_string(module_failures_) + "\n";
    if (over_limit_ > 0) summary += "dropped past --max-keys: " + std::to_string(over_limit_) + "\n";
    if (publish_failures_ > 0) summary += "publish failures: " + std::to_string(publish_failures_) + "\n";
    err_(summary);
  }
  if (!fatal_.empty()) {
    Print("kvo-host mqtt: " + fatal_);
    return 1;
  }
  return 0;
}

}  // namespace

int RunMqttBridge(const MqttOptions& options, const MqttPrint& err) {
  sys::InputFile::WatchStopSignals();
  // A broker that goes away must not end the process by a write to its socket.
  signal(SIGPIPE, SIG_IGN);
  MosquittoLibrary library;
  try {
    Bridge bridge(options, err);
    return bridge.Run();
  } catch (const std::exception& e) {
    err(std::string("kvo-host mqtt: ") + e.what() + "\n");
    return 1;
  }
}

}  // namespace kvo::host
