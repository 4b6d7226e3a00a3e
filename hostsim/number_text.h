// Numbers in scene files, written so that reading them back gives the same bits: the shortest
// decimal text that round-trips ("2.6217", "-0", "inf"), and NaNs with their payload
// ("nan:7fc00000"), since a NaN's bits can matter to the module.
#pragma once

#include <string>
#include <string_view>

namespace hostsim {

std::string doubleText(double value);
std::string floatText(float value);

// False when the whole text is not one number as written above.
bool parseDouble(std::string_view text, double* value);
bool parseFloat(std::string_view text, float* value);

} // namespace hostsim
