// Settings sources for building the deadband items.
#include "deadband/deadband_settings.h"

#include <charconv>
#include <cmath>

#include "text/text_utils.h"

namespace kvo {

DeadbandSettings::~DeadbandSettings() = default;

double BandFromText(std::string_view text) noexcept {
  text = text::Trim(text);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return 0.0;
  }
  return value;
}

void MemoryDeadbandSettings::SetSlot(int n, std::string_view name, int32_t type_index, double band) {
  SlotValues& slot = MutableSlot(n);
  slot = SlotValues{};
  slot.names_variable = true;
  slot.var_text = name;
  slot.selects_type = true;
  slot.type_index = type_index;
  slot.val_exists = true;
  slot.val_number = band;
}

SlotValues& MemoryDeadbandSettings::MutableSlot(int n) {
  return slots_.at(static_cast<size_t>(n - 1));
}

bool MemoryDeadbandSettings::Slot(int n, SlotValues* out) const {
  if (n < 1 || n > kDeadbandSlotCount) return false;
  *out = slots_[static_cast<size_t>(n - 1)];
  return true;
}

}  // namespace kvo
