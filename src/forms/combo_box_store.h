// The property store's handler for a combo box's "ItemIndex": the selection is stored as its index and
// restored only from text that is a whole number in a form the INI store reads as an integer (decimal, or
// hexadecimal after "$" or "0x"), so a damaged or empty value leaves the box as it is.
//
// Thread contract: registration is [any-thread] and idempotent; the handler runs under the store's
// process-wide handler lock.
#pragma once

#include "settings/wreg.h"

namespace kvo {

class TWregComboBoxProp : public TWregCustomProp {
 public:
  // Saving: the box's ItemIndex as an integer; false for anything that is not a combo box.
  bool GetValue(TObject& component, const std::string& name, bool flag, Variant& value) override;
  // Loading: a value that is neither missing nor empty text becomes the box's ItemIndex when its text
  // reads as an integer.
  void SetValue(TObject& component, const std::string& name, const Variant& value) override;
};

// Registers TWregComboBoxProp for "ItemIndex" (kind integer) once per process; the module's start-up
// calls it. Later calls do nothing.
void RegisterComboBoxStoreHandler();

}  // namespace kvo
