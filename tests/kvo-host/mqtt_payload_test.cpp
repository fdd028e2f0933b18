// MQTT payloads as rows: the value and JSON forms, and what makes a payload bad.
#include <gtest/gtest.h>

#include <string>

#include "kvo-host/mqtt_options.h"
#include "kvo-host/mqtt_payload.h"

namespace kvo::host {
namespace {

struct PayloadCase {
  PayloadFormat format;
  const char* payload;
  const char* result;  // "name=Type ..." for a good payload, the error for a bad one
};

class MqttPayload : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(MqttPayload, GivesFieldsOrSaysWhatIsWrong) {
  const PayloadCase& c = GetParam();
  PayloadParser parser(c.format);
  Record record;
  std::string error;
  std::string result;
  if (parser.Parse(c.payload, record, &error)) {
    for (const Field& field : record.fields) {
      result += (result.empty() ? "" : " ") + parser.Columns()[static_cast<std::size_t>(field.column)] + "=" +
                std::string(ItemTypeName(field.value.kind));
    }
  } else {
    result = error;
  }
  EXPECT_EQ(result, c.result) << c.payload;
}

constexpr PayloadFormat kValue = PayloadFormat::kValue;
constexpr PayloadFormat kJson = PayloadFormat::kJson;

INSTANTIATE_TEST_SUITE_P(Cases, MqttPayload,
                         ::testing::Values(PayloadCase{kValue, "21.5", "value=Float"},
                                           PayloadCase{kValue, "7", "value=Integer"},
                                           PayloadCase{kValue, "on", "value=String"},
                                           PayloadCase{kValue, "\xe2\x82\xac", "value=String"},
                                           PayloadCase{kValue, "", "empty payload"},
                                           PayloadCase{kValue, "a\xc3", "not UTF-8"},
                                           PayloadCase{kValue, "\xc0\xaf", "not UTF-8"},      // overlong "/"
                                           PayloadCase{kValue, "\xed\xa0\x80", "not UTF-8"},  // a surrogate
                                           PayloadCase{kJson, "{\"t\": 1, \"ok\": true, \"s\": \"x\"}",
                                                       "t=Integer ok=Boolean s=String"},
                                           PayloadCase{kJson, "[1]", "not a JSON object"},
                                           PayloadCase{kJson, "{\"a\": [1]}", "nested value in \"a\""},
                                           PayloadCase{kJson, "{\"a\": \"\xff\"}", "not UTF-8"}));

TEST(MqttPayloadColumns, NamesAreSharedByTheMessagesThatFollow) {
  PayloadParser parser(kJson);
  Record record;
  std::string error;
  ASSERT_TRUE(parser.Parse("{\"b\": 1, \"a\": 2}", record, &error));
  ASSERT_TRUE(parser.Parse("{\"a\": 3}", record, &error));
  ASSERT_EQ(record.fields.size(), 1u);
  EXPECT_EQ(record.fields[0].column, 1);
  EXPECT_EQ(record.fields[0].value.integer, 3);
}

struct UrlCase {
  const char* url;
  const char* result;  // "host port tls" or the error's start
};

class BrokerUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(BrokerUrl, GivesHostPortAndTls) {
  BrokerAddress address;
  std::string error;
  const std::string result =
      ParseBrokerUrl(GetParam().url, &address, &error)
          ? address.host + " " + std::to_string(address.port) + (address.tls ? " tls" : "")
          : error.substr(0, error.find(','));
  EXPECT_EQ(result, GetParam().result) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokerUrl,
    ::testing::Values(UrlCase{"mqtt://127.0.0.1:1884", "127.0.0.1 1884"},
                      UrlCase{"mqtt://plant", "plant 1883"}, UrlCase{"mqtts://plant/", "plant 8883 tls"},
                      UrlCase{"mqtt://[::1]:2000", "::1 2000"},
                      UrlCase{"tcp://plant", "the broker must be mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"},
                      UrlCase{"mqtt://plant:0", "the broker's port must be 1-65535"},
                      UrlCase{"mqtt://plant:", "the broker's port must be 1-65535"},
                      UrlCase{"mqtt://:1883", "no broker host in mqtt://:1883"}));

}  // namespace
}  // namespace kvo::host
