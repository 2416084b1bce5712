#pragma once

#include <string>

namespace platform {

/// The text form of a double: shortest digits that read back as the same value, a whole value with
/// ".0" ("1.0", "-0.0"), exponent form for magnitudes from 2^53 up or below 1e-4 ("1e+16",
/// "1e-05"), and "nan", "inf", "-inf".
std::string describeDouble(double value);

}  // namespace platform
