// The types that the component property store shares with the plug-in framework: the registry roots it
// may use and the hooks through which its owner supplies and receives values that belong to no property.
//
// Thread contract: [any-thread], declarations only.
#pragma once

#include <cstdint>
#include <string>

#include "params/variant.h"
#include "runtime/event.h"
#include "runtime/type_kind.h"

namespace kvo {

class TObject;

// The property store's hooks: `name` is the property name the map line reached ("" when its path did not
// resolve), `index` the line's 0-based position in the map.
using TSetValueProc =
    Event<void(TObject& sender, const std::string& name, int32_t index, const Variant& value)>;
using TGetValueProc = Event<void(TObject& sender, const std::string& name, int32_t index, Variant& value)>;
using TBeforeProcessItemProc =
    Event<void(TObject& sender, const std::string& name, int32_t index, bool& is_require_processing,
               bool& is_virtual, TTypeKind& item_type)>;

// Where the settings live in the registry store; the order matches platform::RegistryRoot, and rrNone
// opens nothing.
enum TRegistryRoot : uint8_t {
  rrHKEY_CLASSES_ROOT,
  rrHKEY_CURRENT_USER,
  rrHKEY_LOCAL_MACHINE,
  rrHKEY_USERS,
  rrHKEY_CURRENT_CONFIG,
  rrNone,
};

}  // namespace kvo
