#include "kvo-host/setting_args.h"

#include <cctype>

#include "kvo-host/value.h"

namespace kvo::host {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// "var3" -> ("var", 3); slot 0 when there is no number.
void SplitKey(const std::string& key, std::string* stem, int* slot) {
  std::size_t digits = key.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(key[digits - 1])))
    --digits;
  *stem = key.substr(0, digits);
  *slot = 0;
  if (digits < key.size() && key.size() - digits <= 2) *slot = std::stoi(key.substr(digits));
}

constexpr const char* kValidKeys = "Var1..Var8, Type1..Type8, Val1..Val8, Relationship";
constexpr const char* kValidTypes =
    "Absolute (abs, 0), Percent (pct, 1), \"Time limit (s)\" (time, 2), \"Count limit\" (count, 3)";

}  // namespace

int32_t ParseDeadbandType(std::string_view text) {
  const std::string t = Lower(text);
  if (t == "absolute" || t == "abs" || t == "0") return 0;
  if (t == "percent" || t == "pct" || t == "1") return 1;
  if (t == "time limit (s)" || t == "time limit" || t == "time" || t == "2") return 2;
  if (t == "count limit" || t == "count" || t == "3") return 3;
  return -1;
}

int32_t ParseRelationship(std::string_view text) {
  const std::string t = Lower(text);
  if (t == "and" || t == "0") return 0;
  if (t == "or" || t == "1") return 1;
  return -1;
}

bool ApplySettingArguments(const std::vector<std::string>& arguments, FilterSettings* settings,
                           std::string* error) {
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
      *error = "\"" + argument + "\" is not KEY=VALUE; keys: " + kValidKeys;
      return false;
    }
    const std::string key = Lower(argument.substr(0, equals));
    const std::string value = argument.substr(equals + 1);
    std::string stem;
    int slot = 0;
    SplitKey(key, &stem, &slot);
    if (key == "relationship") {
      const int32_t relationship = ParseRelationship(value);
      if (relationship < 0) {
        *error = argument + ": not a relationship; valid: AND (0), OR (1)";
        return false;
      }
      settings->relationship = relationship;
      continue;
    }
    if ((stem != "var" && stem != "type" && stem != "val") || slot < 1 || slot > kSlotCount) {
      *error = "\"" + argument.substr(0, equals) + "\" is not a setting; valid: " + kValidKeys;
      return false;
    }
    SlotSetting& target = settings->slots[static_cast<std::size_t>(slot - 1)];
    if (stem == "var") {
      if (value.find_first_not_of(" \t") == std::string::npos) {
        target = SlotSetting{};
      } else {
        target.name = value;
      }
    } else if (stem == "type") {
      const int32_t type = ParseDeadbandType(value);
      if (type < 0) {
        *error = argument + ": not a deadband type; valid: " + kValidTypes;
        return false;
      }
      target.type = type;
    } else {
      FieldValue number;
      if (!ParseNumber(value, &number)) {
        *error = argument + ": not a number; valid: a decimal number such as 0.5 or 2";
        return false;
      }
      double band = 0;
      number.AsDouble(&band);
      target.band = band;
    }
  }
  return true;
}

}  // namespace kvo::host
