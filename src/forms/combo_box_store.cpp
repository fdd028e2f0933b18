// The combo box "ItemIndex" handler of the property store.
#include "forms/combo_box_store.h"

#include <memory>
#include <mutex>
#include <string>

#include "forms/controls.h"
#include "settings/big_ini.h"
#include "text/text_utils.h"

namespace kvo {
namespace {

// The text as an integer in the forms the INI store reads (blanks around it allowed), or -2 when it is
// none.
int32_t IndexFromText(std::string_view text) {
  text = text::Trim(text);
  int32_t index = -2;
  if (text.empty() || !IniIntegerFromText(text, index)) return -2;
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
