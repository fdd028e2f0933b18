// The combo box "ItemIndex" handler of the property store.
#include "forms/combo_box_store.h"

#include <charconv>
#include <memory>
#include <mutex>
#include <string>

#include "forms/controls.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

// The text as a decimal integer (blanks around it allowed), or -2 when it is none.
int32_t IndexFromText(std::string_view text) {
  text = text::Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t index = -2;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return -2;
  return index;
}

}  // namespace

bool TWregComboBoxProp::GetValue(TObject& component, const std::string&, bool, Variant& value) {
  auto* box = dynamic_cast<TComboBox*>(&component);
  if (!box) return false;
  value = Variant::FromInt(box->ItemIndex());
  return true;
}

void TWregComboBoxProp::SetValue(TObject& component, const std::string&, const Variant& value) {
  if (IsMissing(value)) return;
  auto* box = dynamic_cast<TComboBox*>(&component);
  if (!box) return;
  std::string text;
  try {
    text = value.ToText();
  } catch (...) {
    return;
  }
  if (text.empty()) return;
  const int32_t index = IndexFromText(text);
  if (index != -2) box->SetItemIndex(index);
}

void RegisterComboBoxStoreHandler() {
  static std::once_flag registered;
  std::call_once(registered,
                 [] { RegisterCustomProp("ItemIndex", tkInteger, std::make_unique<TWregComboBoxProp>()); });
}

}  // namespace kvo
