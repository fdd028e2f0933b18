// `kvo-host mqtt` on the command line. Built everywhere, so that a build without the MQTT library still
// knows the command and says why it cannot run it.
#include "kvo-host/mqtt_options.h"

#include "kvo-host/mqtt_bridge.h"

#include <CLI/CLI.hpp>
#include <memory>

#include "kvo-host/commands.h"
#include "kvo-host/filter_settings.h"

namespace kvo::host {

namespace {

constexpr const char* kMqttExamples =
    "Examples:\n"
    "  kvo-host mqtt --broker mqtt://127.0.0.1:1883 --subscribe 'plant/+/temperature' \\\n"
    "      --publish-prefix filtered --ini filter.ini --stats\n"
    "  kvo-host mqtt --broker mqtts://localhost:8883 --cafile ca.pem --username bridge \\\n"
    "      --password-file bridge.pass --subscribe 'plant/#' --publish-prefix filtered --payload json \\\n"
    "      --qos 1 --client-id bridge-1 --ini filter.ini\n"
    "Each topic is filtered by its own module instance; a message that passes is published unchanged on\n"
    "PREFIX/<its topic>. With --qos 1 and --client-id the broker keeps the session while the bridge is away.";

bool ParsePort(std::string_view text, int* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  *port = std::stoi(std::string(text));
  return *port >= 1 && *port <= 65535;
}

}  // namespace

bool ParseBrokerUrl(std::string_view url, BrokerAddress* address, std::string* error) {
  BrokerAddress parsed;
  const std::size_t scheme_end = url.find("://");
  const std::string_view scheme = url.substr(0, scheme_end == std::string_view::npos ? 0 : scheme_end);
  if (scheme == "mqtts") {
    parsed.tls = true;
    parsed.port = 8883;
  } else if (scheme != "mqtt") {
    *error = "the broker must be mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    return false;
  }
  std::string_view rest = url.substr(scheme_end + 3);
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::string_view host = rest, port;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) {
      *error = "the broker's IPv6 address lacks its \"]\"";
      return false;
    }
    host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') {
        *error = "text after the broker's address: " + std::string(rest.substr(close + 1));
        return false;
      }
      port = rest.substr(close + 2);
      if (port.empty()) port = "-";
    }
  } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (port.empty()) port = "-";
  }
  if (host.empty() || host.find_first_of("/?#@ ") != std::string_view::npos) {
    *error = "no broker host in " + std::string(url);
    return false;
  }
  if (!port.empty() && !ParsePort(port, &parsed.port)) {
    *error = "the broker's port must be 1-65535, not " + std::string(port == "-" ? "" : port);
    return false;
  }
  parsed.host = std::string(host);
  *address = parsed;
  return true;
}

#ifndef KVO_HOST_MQTT
int RunMqttBridge(const MqttOptions&, const MqttPrint& err) {
  err("kvo-host mqtt: not available in this build of kvo-host (it was built without the MQTT library)\n");
  return 1;
}
#endif

Subcommand AddMqttCommand(CLI::App& parent) {
  auto options = std::make_shared<MqttOptions>();
  auto payload = std::make_shared<std::string>("value");
  auto protocol = std::make_shared<std::string>("5");
  CLI::App* app = parent.add_subcommand(
      "mqtt",
      "Filters the messages of an MQTT broker: subscribes to topic filters and publishes the messages "
      "that pass under a prefix.");
  app->footer(kMqttExamples);
  MqttOptions& o = *options;
  app->add_option("--broker", o.broker, "the broker: mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (TLS)")
      ->required()
      ->type_name("URL");
  app->add_option("--subscribe", o.subscribe, "a topic filter to read (give it again for more)")
      ->required()
      ->type_name("FILTER");
  app->add_option("--publish-prefix", o.publish_prefix, "passed messages go to PREFIX/<their topic>")
      ->required()
      ->type_name("PREFIX");
  app->add_option("--payload", *payload,
                  "value (default): the payload is one value named \"value\"; json: a flat JSON object")
      ->check(CLI::IsMember({"value", "json"}))
      ->type_name("FORMAT");
  app->add_option("--qos", o.qos, "the subscriptions' quality of service (default 0)")
      ->check(CLI::Range(0, 2))
      ->type_name("0|1|2");
  app->add_option("--client-id", o.client_id,
                  "a fixed client id; with --qos 1 or 2 the broker keeps the session across reconnects")
      ->type_name("ID");
  app->add_option("--mqtt-version", *protocol, "the protocol: 5 (default) or 3.1.1")
      ->check(CLI::IsMember({"5", "3.1.1"}))
      ->type_name("VERSION");
  app->add_option("--username", o.username, "the user name to log in with")->type_name("NAME");
  app->add_option("--password-file", o.password_file, "a file whose first line is the password")
      ->type_name("FILE");
  app->add_option("--cafile", o.cafile, "certificate authorities to trust (PEM); turns TLS on")
      ->type_name("FILE");
  app->add_option("--cert", o.cert, "the client's certificate (PEM)")->type_name("FILE");
  app->add_option("--key", o.key, "the client certificate's private key (PEM)")->type_name("FILE");
  app->add_option("--keepalive", o.keepalive, "seconds between keep-alive pings (default 30)")
      ->check(CLI::Range(5, 65535))
      ->type_name("S");
  app->add_option("--max-keys", o.max_topics,
                  "topics (module instances) at most; a message on one more is dropped and counted "
                  "(default 100000)")
      ->check(CLI::PositiveNumber)
      ->type_name("N");
  app->add_option("--module", o.module, "the plug-in module file (default: the deadband module)")
      ->type_name("PATH");
  app->add_option("--ini", o.ini_file, "INI file with the filter settings")->type_name("FILE");
  app->add_option("--section-prefix", o.section_prefix, "INI section prefix P: settings in [P.Common]")
      ->type_name("P");
  app->add_option("--registry-path", o.registry_path,
                  std::string("registry key of the settings (default ") + kDefaultRegistryPath + ")")
      ->type_name("PATH");
  app->add_option("--language", o.language, "language code for the module's texts")->type_name("CODE");
  app->add_flag("--log", o.log, "print the module's log lines and each bad payload to standard error");
  app->add_flag("--quiet", o.quiet, "print nothing but errors");
  app->add_flag("--stats", o.stats, "print a summary when stopped: messages read, passed, bad; topics");

  auto run = [options, payload, protocol]() {
    auto err = [](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), stderr);
      std::fflush(stderr);
    };
    std::string error;
    if (!ParseBrokerUrl(options->broker, &options->address, &error)) {
      err("kvo-host mqtt: " + error + "\n");
      return 2;
    }
    if ((!options->cert.empty()) != (!options->key.empty())) {
      err("kvo-host mqtt: --cert and --key go together\n");
      return 2;
    }
    options->payload = *payload == "json" ? PayloadFormat::kJson : PayloadFormat::kValue;
    options->protocol = *protocol == "5" ? 5 : 3;
    if (options->module.empty()) options->module = DefaultModulePath();
    return RunMqttBridge(*options, err);
  };
  return {app, run};
}

}  // namespace kvo::host
