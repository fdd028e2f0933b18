#include "kvo-host/setting_args.h"

#include <cctype>
#include <iterator>

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

// The short names of the deadband types, by index, beside the captions.
constexpr std::string_view kTypeShortNames[] = {"abs", "pct", "time", "count"};
static_assert(std::size(kTypeShortNames) == kDeadbandTypeCaptions.size());

// Every key: a slot's as the range of its first and last slot.
std::string ValidKeys() {
  std::string keys;
  for (const DeadbandSettingRow& row : kDeadbandSettingRows) {
    if (!keys.empty()) keys += ", ";
    keys += row.per_slot ? SettingKey(row.setting, 1) + ".." + SettingKey(row.setting, kSlotCount)
                         : SettingKey(row.setting, 0);
  }
  return keys;
}

// "AND (0), OR (1)"
std::string ValidRelationships() {
  std::string valid;
  for (std::size_t i = 0; i < kRelationshipCaptions.size(); ++i)
    valid += (i == 0 ? "" : ", ") + std::string(kRelationshipCaptions[i]) + " (" + std::to_string(i) + ")";
  return valid;
}

// The table's setting whose key has this stem (lower case), if it is one of a slot.
const DeadbandSettingRow* SlotRowOf(const std::string& stem) {
  for (const DeadbandSettingRow& row : kDeadbandSettingRows)
    if (row.per_slot && Lower(row.key) == stem) return &row;
  return nullptr;
}

}  // namespace

std::string ValidDeadbandTypes() {
  std::string valid;
  for (std::size_t i = 0; i < kDeadbandTypeCaptions.size(); ++i) {
    const std::string caption(kDeadbandTypeCaptions[i]);
    if (i != 0) valid += ", ";
    valid += caption.find(' ') == std::string::npos ? caption : "\"" + caption + "\"";
    valid += " (" + std::string(kTypeShortNames[i]) + ", " + std::to_string(i) + ")";
  }
  return valid;
}

int32_t ParseDeadbandType(std::string_view text) {
  const std::string t = Lower(text);
  for (std::size_t i = 0; i < kDeadbandTypeCaptions.size(); ++i) {
    if (t == Lower(kDeadbandTypeCaptions[i]) || t == kTypeShortNames[i] || t == std::to_string(i))
      return static_cast<int32_t>(i);
  }
  // The time limit's caption without its unit.
  if (t == "time limit") return 2;
  return -1;
}

int32_t ParseRelationship(std::string_view text) {
  const std::string t = Lower(text);
  for (std::size_t i = 0; i < kRelationshipCaptions.size(); ++i) {
    if (t == Lower(kRelationshipCaptions[i]) || t == std::to_string(i)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool ApplySettingArguments(const std::vector<std::string>& arguments, FilterSettings* settings,
                           std::string* error) {
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
      *error = "\"" + argument + "\" is not KEY=VALUE; keys: " + ValidKeys();
      return false;
    }
    const std::string key = Lower(argument.substr(0, equals));
    const std::string value = argument.substr(equals + 1);
    std::string stem;
    int slot = 0;
    SplitKey(key, &stem, &slot);
    if (key == Lower(SettingKey(DeadbandSetting::kRelationship, 0))) {
      const int32_t relationship = ParseRelationship(value);
      if (relationship < 0) {
        *error = argument + ": not a relationship; valid: " + ValidRelationships();
        return false;
      }
      settings->relationship = relationship;
      continue;
    }
    const DeadbandSettingRow* row = SlotRowOf(stem);
    if (row == nullptr || slot < 1 || slot > kSlotCount) {
      *error = "\"" + argument.substr(0, equals) + "\" is not a setting; valid: " + ValidKeys();
      return false;
    }
    SlotSetting& target = settings->slots[static_cast<std::size_t>(slot - 1)];
    if (row->setting == DeadbandSetting::kVar) {
      if (value.find_first_not_of(" \t") == std::string::npos) {
        target = SlotSetting{};
      } else {
        target.name = value;
      }
    } else if (row->setting == DeadbandSetting::kType) {
      const int32_t type = ParseDeadbandType(value);
      if (type < 0) {
        *error = argument + ": not a deadband type; valid: " + ValidDeadbandTypes();
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
