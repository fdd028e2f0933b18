// The SETTING arguments of `kvo-host configure`: a key of the filter's settings table and its value,
// "<Key><n>=value" for a slot n (1-8). Key names ignore letter case. Types are the dialog's captions, their
// short forms (abs, pct, time, count) or their numbers; relationships their captions or numbers; clearing
// a slot's variable clears the slot.
//
// Thread contract: [any-thread], no shared state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kvo-host/filter_settings.h"

namespace kvo::host {

// Applies the arguments in order to `settings`. On the first invalid one returns false with `error` set
// (naming the argument and listing the valid values); `settings` may then be partly changed, so callers
// apply to a copy.
bool ApplySettingArguments(const std::vector<std::string>& arguments, FilterSettings* settings,
                           std::string* error);

// The deadband types, each with its short form and number, for messages and help.
std::string ValidDeadbandTypes();

// The deadband type a text names, or -1.
int32_t ParseDeadbandType(std::string_view text);
// 0 for AND, 1 for OR, -1 for anything else.
int32_t ParseRelationship(std::string_view text);

}  // namespace kvo::host
