// The deadband filter's settings vocabulary, in one table: how many slots there are and, for each setting,
// the dialog control that holds it, the control's property, the store's value name and the kind of value
// the store keeps. The dialog's property map, its slot reading and a host program's settings commands are
// all made from it, so a setting is added or renamed here only.
//
// Thread contract: [any-thread], constant data and functions of no shared state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

inline constexpr int kDeadbandSlotCount = 8;

enum class DeadbandSetting : uint8_t { kVar, kType, kVal, kRelationship };

// The form in which the store keeps a value.
enum class StoredKind : uint8_t { kText, kInteger, kFloat };

struct DeadbandSettingRow {
  DeadbandSetting setting;
  std::string_view control;   // a slot's control name is this followed by the slot number
  std::string_view property;  // the control's published property that holds the value
  std::string_view key;       // the store's value name; a slot's is this followed by the slot number
  StoredKind kind;
  bool per_slot;
};

// In the order of the property map: every slot of a row, then the next row.
inline constexpr std::array<DeadbandSettingRow, 4> kDeadbandSettingRows{{
    {DeadbandSetting::kVar, "var", "Text", "Var", StoredKind::kText, true},
    {DeadbandSetting::kType, "type", "ItemIndex", "Type", StoredKind::kInteger, true},
    {DeadbandSetting::kVal, "val", "Value", "Val", StoredKind::kFloat, true},
    {DeadbandSetting::kRelationship, "comboRel", "ItemIndex", "Relationship", StoredKind::kInteger, false},
}};

// The deadband types by index, as the dialog's type lists show them.
inline constexpr std::array<std::string_view, 4> kDeadbandTypeCaptions{"Absolute", "Percent",
                                                                       "Time limit (s)", "Count limit"};
// The relationships by index: 0 AND, 1 OR.
inline constexpr std::array<std::string_view, 2> kRelationshipCaptions{"AND", "OR"};

constexpr const DeadbandSettingRow& RowOf(DeadbandSetting setting) noexcept {
  return kDeadbandSettingRows[static_cast<std::size_t>(setting)];
}

// The control name and the store key of a setting in slot `n` (1-8); a setting of no slot ignores `n`.
std::string SettingControl(DeadbandSetting setting, int n);
std::string SettingKey(DeadbandSetting setting, int n);

// One line of the property map: which setting, and its slot (0 for a setting of no slot).
struct SettingLine {
  DeadbandSetting setting;
  int slot;
};
// Every line of the property map in order, and the map's "control.Property,Key" text of one.
const std::vector<SettingLine>& SettingLines();
std::string PropertyMapLine(const SettingLine& line);

// The caption of deadband type `type`; "" for a number that is none.
std::string_view DeadbandTypeCaption(int32_t type) noexcept;

}  // namespace kvo
