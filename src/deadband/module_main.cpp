// The deadband module's start-up: its instances are TaPlugin, and the property store knows combo boxes.
#include "deadband/deadband_plugin.h"
#include "forms/combo_box_store.h"

namespace {

[[maybe_unused]] const bool kRegistered =
    (kvo::RegisterDeadbandPlugin(), kvo::RegisterComboBoxStoreHandler(), true);

}  // namespace
