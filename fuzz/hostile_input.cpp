#include "fuzz/hostile_input.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace vellary_fuzz {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Values a careless or broken host passes, and the ordinary ones around them.
constexpr double kSpecialValues[] = {
    0.0,
    -0.0,
    kNaN,
    -kNaN,
    kInf,
    -kInf,
    std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(),
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    std::numeric_limits<double>::epsilon(),
    1e300,
    -1e300,
    1e-300,
    1.0,
    -1.0,
    0.5,
    2.0,
    0.024,
    0.036,
    3.2,
    1.5707963267948966,
    -1.5707963267948966,
    3.141592653589793,
    1e9,
    -1e9,
    4294967296.0,
    2147483648.0,
    0.999999999,
    1.000000001,
};
constexpr std::size_t kSpecialCount = sizeof(kSpecialValues) / sizeof(kSpecialValues[0]);

} // namespace

double HostileInput::hostileDouble() {
    const std::uint8_t choice = byte();
    if (choice < 2 * kSpecialCount) {
        return kSpecialValues[choice % kSpecialCount];
    }
    if (choice < 2 * kSpecialCount + 40) {
        // A small ordinary number: -8 .. 8 in steps of 1/16.
        return static_cast<double>(static_cast<std::int8_t>(byte())) / 16.0;
    }
    const std::uint64_t bits = provider_.ConsumeIntegral<std::uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

double HostileInput::keyTime() {
    const double time = hostileDouble();
    return std::isnan(time) ? 0.0 : time;
}

DVec3 HostileInput::hostileVector() {
    DVec3 v;
    v.x = hostileDouble();
    v.y = hostileDouble();
    v.z = hostileDouble();
    return v;
}

namespace {

// A count whose table would fit the address space but not this machine's memory is folded
// back into 0 .. kMaxFuzzedMotionSteps; 2^30 and more overflow the 32-bit sample count.
std::int32_t boundedMotionSteps(std::int32_t steps) {
    if (steps > kMaxFuzzedMotionSteps && steps < (1 << 30)) {
        return steps % (kMaxFuzzedMotionSteps + 1);
    }
    return steps;
}

} // namespace

std::int32_t HostileInput::motionSteps() {
    switch (byte() % 8) {
    case 0:
        return boundedMotionSteps(int32());
    case 1:
        return -static_cast<std::int32_t>(byte()) - 1;
    case 2:
        return std::numeric_limits<std::int32_t>::max() - static_cast<std::int32_t>(byte());
    case 3:
        return (1 << 30) + static_cast<std::int32_t>(byte()); // 4 x steps passes 2^32
    default: {
        const std::int32_t steps = static_cast<std::int32_t>(byte());
        return steps % (kMaxFuzzedMotionSteps + 1);
    }
    }
}

std::uint32_t HostileInput::panelId() {
    const std::uint8_t choice = byte();
    if (choice < 200) {
        return 0x8000u + choice % 16u; // the panel's ids 0x8001 .. 0x800B and their neighbours
    }
    return uint32();
}

} // namespace vellary_fuzz
