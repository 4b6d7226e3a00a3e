// A keyed curve of one value over host time, the animation behind a parameter channel and each
// keyed property of a camera item: linear between keys, constant before the first key and after
// the last, and a fixed value (0 unless given) without keys.
#pragma once

#include <vector>

namespace hostsim {

struct Key {
    double time;
    double value;
    bool operator==(const Key&) const = default;
};

class KeyCurve {
  public:
    explicit KeyCurve(double valueWithoutKeys = 0.0) : valueWithoutKeys_(valueWithoutKeys) {}

    // One key at time 0: the curve yields the value at every time.
    void setConstant(double value);
    // Adds a key, or replaces the value of the key at exactly that time. A NaN time is refused
    // (false): a key must have a place on the time line.
    bool setKey(double time, double value);
    // Replaces all keys; keys are sorted by time, the last of equal times wins. False, leaving
    // the curve unchanged, when a time is NaN.
    bool setKeys(std::vector<Key> keys);
    const std::vector<Key>& keys() const { return keys_; }

    // The value at a time. A key's own time yields its value exactly; a NaN time yields NaN.
    double valueAt(double time) const;

  private:
    double valueWithoutKeys_;
    std::vector<Key> keys_; // sorted by time, times distinct and not NaN
};

} // namespace hostsim
