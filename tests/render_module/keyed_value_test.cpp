// The render command's settings as typed: one value or TIME:VALUE keys, in the limits given.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostsim/keyed_value.h"

namespace {

using hostsim::Key;
using hostsim::parseKeyedValue;
using hostsim::ValueLimits;

constexpr ValueLimits kTilt{-90.0, 90.0};

struct GoodCase {
    const char* text;
    double scale;
    std::vector<Key> keys;
};

TEST(KeyedValue, ReadsValuesAndKeys) {
    const GoodCase cases[] = {
        {"20", 1.0, {{0.0, 20.0}}},
        {" -90 ", 1.0, {{0.0, -90.0}}},
        {"0:0,1:20", 1.0, {{0.0, 0.0}, {1.0, 20.0}}},
        {"1:20, 0.5:-3", 2.0, {{1.0, 40.0}, {0.5, -6.0}}},
        {"+1e1", 1.0, {{0.0, 10.0}}},
    };
    for (const GoodCase& c : cases) {
        std::string error;
        const auto keys = parseKeyedValue(c.text, kTilt, c.scale, &error);
        ASSERT_TRUE(keys.has_value()) << c.text << ": " << error;
        EXPECT_EQ(*keys, c.keys) << c.text;
    }
}

TEST(KeyedValue, RefusesWhatIsNotAFiniteValueWithinTheLimits) {
    const char* bad[] = {
        "",         // nothing
        "nan",      // not finite
        "inf",      // not finite
        "1e400",    // overflows to infinity
        "91",       // above the limit (checked before scaling)
        "0:0,1:95", // a key above the limit
        "20deg",    // trailing text
        "1:",       // a key without its value
        "0:1,0:2",  // a time keyed twice
        "0:1,-0:2", // -0 is the same time
        "1,2",      // two values without times
        "0:1,",     // a trailing comma
        "nan:3",    // a time that is not a number
        "0:1:2",    // too many fields
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(parseKeyedValue(text, kTilt, 1.0, &error).has_value()) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

} // namespace
