#include "hostsim/key_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hostsim {

void KeyCurve::setConstant(double value) {
    keys_.assign(1, Key{0.0, value});
}

bool KeyCurve::setKey(double time, double value) {
    if (std::isnan(time)) {
        return false;
    }
    auto place = std::lower_bound(keys_.begin(), keys_.end(), time,
                                  [](const Key& key, double t) { return key.time < t; });
    if (place != keys_.end() && place->time == time) {
        place->value = value;
    } else {
        keys_.insert(place, Key{time, value});
    }
    return true;
}

bool KeyCurve::setKeys(std::vector<Key> keys) {
    if (std::any_of(keys.begin(), keys.end(),
                    [](const Key& key) { return std::isnan(key.time); })) {
        return false;
    }
    keys_.clear();
    for (const Key& key : keys) {
        setKey(key.time, key.value);
    }
    return true;
}

double KeyCurve::valueAt(double time) const {
    if (keys_.empty()) {
        return valueWithoutKeys_;
    }
    if (std::isnan(time)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const auto after = std::upper_bound(keys_.begin(), keys_.end(), time,
                                        [](double t, const Key& key) { return t < key.time; });
    if (after == keys_.begin()) {
        return keys_.front().value;
    }
    const Key& before = *(after - 1);
    if (after == keys_.end() || before.time == time) {
        return before.value;
    }
    const double fraction = (time - before.time) / (after->time - before.time);
    return before.value + (after->value - before.value) * fraction;
}

} // namespace hostsim
