// The MQTT bridge: subscribes to topic filters, filters each topic's messages through its own module
// instance (one per distinct topic, all loaded with the same settings) and publishes those that pass,
// unchanged, under a prefix. Reconnects with back-off when the broker goes away.
//
// Thread contract: runs on the calling thread, which also makes every call into the module.
#pragma once

#include <functional>
#include <string_view>

#include "kvo-host/mqtt_options.h"

namespace kvo::host {

// The bridge's messages (whole lines).
using MqttPrint = std::function<void(std::string_view)>;

// Runs the bridge until SIGINT or SIGTERM; returns the exit status (0 stopped by a signal, 1 the module or
// the broker failed it: refused the connection or the subscription, 2 a usage error).
int RunMqttBridge(const MqttOptions& options, const MqttPrint& err);

}  // namespace kvo::host
