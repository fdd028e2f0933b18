// `kvo-host mqtt`: what the bridge is told on the command line, and the broker address it connects to.
//
// Thread contract: plain data and functions without shared state; set up on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/mqtt_payload.h"

namespace kvo::host {

struct BrokerAddress {
  std::string host;
  int port = 1883;
  bool tls = false;  // mqtts://
};

// "mqtt://HOST[:PORT]" (port 1883) or "mqtts://HOST[:PORT]" (port 8883); an IPv6 host in brackets. False
// with `error` set for anything else.
bool ParseBrokerUrl(std::string_view url, BrokerAddress* address, std::string* error);

struct MqttOptions {
  std::string broker;  // the URL as given
  BrokerAddress address;
  std::vector<std::string> subscribe;  // topic filters
  std::string publish_prefix;
  PayloadFormat payload = PayloadFormat::kValue;
  int qos = 0;
  std::string client_id;  // empty: one the library makes up, and a clean session
  int protocol = 5;       // 3 for MQTT 3.1.1, 5 for MQTT 5
  std::string username;
  std::string password_file;  // its first line is the password
  std::string cafile, cert, key;
  int keepalive = 30;  // seconds
  int64_t max_topics = 100000;
  // The settings, as the default action takes them.
  std::string module, ini_file, section_prefix, registry_path, language;
  bool log = false;
  bool quiet = false;
  bool stats = false;
};

}  // namespace kvo::host
