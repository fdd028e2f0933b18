// The deadband module's start-up: its instances are TaPlugin.
#include "deadband/deadband_plugin.h"

namespace {

[[maybe_unused]] const bool kRegistered = (kvo::RegisterDeadbandPlugin(), true);

}  // namespace
