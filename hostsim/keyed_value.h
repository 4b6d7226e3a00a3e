// A setting given on the command line either as one value ("20") or as keys over host time
// ("0:0,1:20" for 0 at time 0 and 20 at time 1), as the host animates a channel.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hostsim/key_curve.h"

namespace hostsim {

struct ValueLimits {
    double minimum;
    double maximum;
};

// The keys the text describes, each value multiplied by scale (degrees to radians, say) after
// it has been checked against the limits; a single value becomes one key at time 0. Nothing,
// with the reason in *error, for malformed text, a time or value that is not a finite number,
// a value outside the limits, or a time given twice.
std::optional<std::vector<Key>> parseKeyedValue(const std::string& text, ValueLimits limits,
                                                double scale, std::string* error);

} // namespace hostsim
