#include "panel/focal_length_readout.h"

#include <cmath>
#include <cstdio>

namespace {
// Below this, "%0.1f" needs at most 17 digits, a sign, a point and a decimal, and fits the
// 40-character read-out beside "Focal Length " and "mm".
constexpr double kLargestFixedMillimetres = 1e15;
} // namespace

void formatFocalLength(char* text, std::size_t size, double millimetres) {
    if (std::isnan(millimetres)) {
        std::snprintf(text, size, "Focal Length -- mm");
    } else if (std::isinf(millimetres)) {
        std::snprintf(text, size, "Focal Length %sinf mm", millimetres < 0 ? "-" : "");
    } else if (std::fabs(millimetres) < kLargestFixedMillimetres) {
        std::snprintf(text, size, "Focal Length %0.1fmm", millimetres);
    } else {
        std::snprintf(text, size, "Focal Length %0.3emm", millimetres);
    }
}
