// The text of a floating-point number in the settings stores, as people write it in a file they edit
// by hand: plain decimal notation ("100000", "0.0001") unless the decimal exponent is below -5 or at
// least 15 ("1e-06", "1e+15"), with the fewest digits that read back as the same number, and "." as the
// decimal separator whatever the locale. NaN and the infinities give "nan", "inf" and "-inf".
//
// Thread contract: [any-thread]; a pure function.
#pragma once

#include <string>

namespace kvo {

std::string FloatText(double value);

}  // namespace kvo
