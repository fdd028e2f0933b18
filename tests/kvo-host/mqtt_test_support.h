// A broker of the test's own (the mosquitto program on a free 127.0.0.1 port, with its own configuration
// and persistence folder, stopped by its process id) and a small MQTT client to publish and collect
// messages, for the bridge's tests and benchmark.
//
// Thread contract: a broker is started and stopped by one thread; a client's calls come from one thread,
// its messages arrive on the library's network thread and are guarded by its mutex.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kvo::host::testing {

// A port no one listens on now (the broker binds it a moment later).
inline int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

inline bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

class MosquittoBroker {
 public:
  // `listener_lines`: what the listener allows (anonymous clients, TLS files, a password file).
  MosquittoBroker(std::filesystem::path folder, std::string listener_lines = "allow_anonymous true\n")
      : folder_(std::move(folder)), lines_(std::move(listener_lines)) {}
  ~MosquittoBroker() { Stop(); }
  MosquittoBroker(const MosquittoBroker&) = delete;
  MosquittoBroker& operator=(const MosquittoBroker&) = delete;

  // Starts it (again on the same port after a Stop) and waits until it accepts connections.
  bool Start() {
    if (port_ == 0) port_ = FreeLoopbackPort();
    std::filesystem::create_directories(folder_);
    const std::string conf = (folder_ / "mosquitto.conf").string();
    {
      std::ofstream out(conf);
      // Run as the test's user, so it reads and writes the test's files.
      const passwd* user = getpwuid(getuid());
      if (user != nullptr) out << "user " << user->pw_name << "\n";
      out << "persistence true\npersistence_location " << (folder_ / "").string() << "\n"
          << "log_dest stderr\nmax_queued_messages 0\n"
          << "listener " << port_ << " 127.0.0.1\n"
          << lines_;
    }
    const std::string log = (folder_ / "mosquitto.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string program = KVO_MOSQUITTO_PROGRAM, c = "-c", conf_arg = conf;
    char* argv[] = {program.data(), c.data(), conf_arg.data(), nullptr};
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Accepts(port_)) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
        pid_ = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  // Ends it by its process id (it saves its persistence file first).
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  int Port() const { return port_; }
  std::string Url(const char* scheme = "mqtt") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
  }
  std::string Log() const {
    std::ifstream in(folder_ / "mosquitto.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path folder_;
  std::string lines_;
  int port_ = 0;
  pid_t pid_ = -1;
};

struct MqttMessage {
  std::string topic;
  std::string payload;
  int qos = 0;
  bool retain = false;
};

struct ClientSettings {
  std::string cafile, cert, key;
  std::string username, password;
};

// An MQTT 5 client on its own network thread.
class TestClient {
 public:
  explicit TestClient(int port, const ClientSettings& settings = {}) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (!settings.username.empty())
      mosquitto_username_pw_set(mosq_, settings.username.c_str(), settings.password.c_str());
    if (!settings.cafile.empty()) {
      mosquitto_tls_set(mosq_, settings.cafile.c_str(), nullptr,
                        settings.cert.empty() ? nullptr : settings.cert.c_str(),
                        settings.key.empty() ? nullptr : settings.key.c_str(), nullptr);
    }
    mosquitto_connect_v5_callback_set(
        mosq_, [](mosquitto*, void* self, int rc, int, const mosquitto_property*) {
          static_cast<TestClient*>(self)->Update([&](TestClient& c) { c.connack_ = rc; });
        });
    mosquitto_subscribe_v5_callback_set(
        mosq_, [](mosquitto*, void* self, int, int, const int*, const mosquitto_property*) {
          static_cast<TestClient*>(self)->Update([](TestClient& c) { ++c.subacks_; });
        });
    mosquitto_publish_v5_callback_set(mosq_, [](mosquitto*, void* self, int, int, const mosquitto_property*) {
      static_cast<TestClient*>(self)->Update([](TestClient& c) { ++c.acknowledged_; });
    });
    mosquitto_message_v5_callback_set(
        mosq_, [](mosquitto*, void* self, const mosquitto_message* m, const mosquitto_property*) {
          MqttMessage message{
              m->topic,
              std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
              m->qos, m->retain};
          static_cast<TestClient*>(self)->Update(
              [&](TestClient& c) { c.messages_.push_back(std::move(message)); });
        });
    connected_ = mosquitto_connect(mosq_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
                 mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS &&
                 WaitUntil([this] { return connack_ >= 0; }) && connack_ == 0;
  }
  ~TestClient() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, true);
    mosquitto_destroy(mosq_);
    mosquitto_lib_cleanup();
  }
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  bool Connected() const { return connected_; }
  // Subscribes with the retain flag kept as published; true once the broker acknowledged it.
  bool Subscribe(const std::string& filter, int qos = 1) {
    const int before = Locked([](TestClient& c) { return c.subacks_; });
    return mosquitto_subscribe_v5(mosq_, nullptr, filter.c_str(), qos, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED,
                                  nullptr) == MOSQ_ERR_SUCCESS &&
           WaitUntil([this, before] { return subacks_ > before; });
  }
  // Publishes and waits until the message is sent (QoS 0) or acknowledged.
  bool Publish(const std::string& topic, const std::string& payload, int qos = 1, bool retain = false) {
    const int before = Locked([](TestClient& c) { return c.acknowledged_; });
    return mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                             qos, retain) == MOSQ_ERR_SUCCESS &&
           WaitUntil([this, before] { return acknowledged_ > before; });
  }
  // Waits until a message on `topic` with `payload` has arrived.
  bool WaitFor(const std::string& topic, const std::string& payload, int seconds = 60) {
    return WaitUntil(
        [&] {
          for (const MqttMessage& m : messages_) {
            if (m.topic == topic && m.payload == payload) return true;
          }
          return false;
        },
        seconds);
  }
  std::vector<MqttMessage> Messages() {
    return Locked([](TestClient& c) { return c.messages_; });
  }
  // The payloads received on `topic`, in order.
  std::vector<std::string> Payloads(const std::string& topic) {
    std::vector<std::string> payloads;
    for (const MqttMessage& m : Messages()) {
      if (m.topic == topic) payloads.push_back(m.payload);
    }
    return payloads;
  }

 private:
  template <typename F>
  auto Locked(F f) -> decltype(f(*this)) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(*this);
  }
  template <typename F>
  void Update(F f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      f(*this);
    }
    changed_.notify_all();
  }
  bool WaitUntil(const std::function<bool()>& done, int seconds = 60) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(seconds), done);
  }

  mosquitto* mosq_ = nullptr;
  bool connected_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  int connack_ = -1;                   // guarded by mutex_
  int subacks_ = 0;                    // guarded by mutex_
  int acknowledged_ = 0;               // guarded by mutex_
  std::vector<MqttMessage> messages_;  // guarded by mutex_
};

}  // namespace kvo::host::testing
