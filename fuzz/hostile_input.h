// The fuzz input read as what a host hands a camera module: counts, ids, choices and doubles. A
// double is most often one of the values hosts get wrong (zero of either sign, NaN, infinities,
// the extremes of the range, negatives) and otherwise any bit pattern, so the fuzzer reaches the
// hostile cases at once instead of waiting to hit them by chance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "host/host_records.h"

namespace vellary_fuzz {

// Motion-step counts the new-frame callback is given are kept at most this large, so a frame
// never allocates more than a few thousand samples, except counts so large that the table
// cannot be allocated at all: those are kept, to drive the overflow path.
inline constexpr std::int32_t kMaxFuzzedMotionSteps = 64;

class HostileInput {
  public:
    HostileInput(const std::uint8_t* data, std::size_t size) : provider_(data, size) {}

    bool exhausted() { return provider_.remaining_bytes() == 0; }
    std::uint8_t byte() { return provider_.ConsumeIntegral<std::uint8_t>(); }
    bool flag() { return provider_.ConsumeBool(); }
    // 0 .. count - 1; 0 when count is 0.
    std::size_t index(std::size_t count) {
        return count == 0 ? 0 : provider_.ConsumeIntegralInRange<std::size_t>(0, count - 1);
    }
    std::int32_t int32() { return provider_.ConsumeIntegral<std::int32_t>(); }
    std::uint32_t uint32() { return provider_.ConsumeIntegral<std::uint32_t>(); }

    double hostileDouble();
    // A double that is a usable key time of the host's animation: never NaN.
    double keyTime();
    DVec3 hostileVector();
    // A motion-step count: negative, zero, small, or beyond what any table can hold.
    std::int32_t motionSteps();
    // A panel control id: one of the panel's own, a neighbour of them, or any word.
    std::uint32_t panelId();

  private:
    FuzzedDataProvider provider_;
};

} // namespace vellary_fuzz
