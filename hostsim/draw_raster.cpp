#include "hostsim/draw_raster.h"

#include <algorithm>
#include <cstdlib>

namespace hostsim {

namespace {

// floor(steps * minorSpan / majorSpan) as a quotient and a remainder, without overflowing even
// for the extreme coordinates a faulty module may pass (spans up to 2^32, steps up to 2^33):
// binary multiplication that keeps every partial sum reduced modulo majorSpan.
struct Fraction {
    long long quotient = 0;
    long long remainder = 0;
};

Fraction scaledSteps(long long steps, long long minorSpan, long long majorSpan) {
    Fraction result;
    Fraction addend{minorSpan / majorSpan, minorSpan % majorSpan};
    for (long long bits = steps; bits > 0; bits >>= 1) {
        if ((bits & 1) != 0) {
            result.quotient += addend.quotient;
            result.remainder += addend.remainder;
            if (result.remainder >= majorSpan) {
                result.remainder -= majorSpan;
                ++result.quotient;
            }
        }
        addend.quotient *= 2;
        addend.remainder *= 2;
        if (addend.remainder >= majorSpan) {
            addend.remainder -= majorSpan;
            ++addend.quotient;
        }
    }
    return result;
}

// The steps i in [0, span] at which start + direction * i lies in [0, size).
struct StepRange {
    long long first;
    long long last;
};

StepRange visibleSteps(long long start, int direction, long long span, long long size) {
    long long first = direction > 0 ? -start : start - (size - 1);
    long long last = direction > 0 ? size - 1 - start : start;
    return StepRange{std::max(first, 0LL), std::min(last, span)};
}

} // namespace

Rgb colourFromWord(std::uint32_t word) {
    return Rgb{static_cast<std::uint8_t>((word >> 16) & 0xFF),
               static_cast<std::uint8_t>((word >> 8) & 0xFF),
               static_cast<std::uint8_t>(word & 0xFF)};
}

DrawRaster::DrawRaster(int width, int height, Rgb background) {
    image_.width = std::max(width, 0);
    image_.height = std::max(height, 0);
    image_.pixels.resize(static_cast<std::size_t>(image_.width) * image_.height * 3);
    box(background, 0, 0, image_.width, image_.height);
}

bool DrawRaster::contains(long long x, long long y) const {
    return x >= 0 && y >= 0 && x < image_.width && y < image_.height;
}

Rgb DrawRaster::pixel(int x, int y) const {
    if (!contains(x, y)) {
        return Rgb{};
    }
    const std::size_t at = (static_cast<std::size_t>(y) * image_.width + x) * 3;
    return Rgb{image_.pixels[at], image_.pixels[at + 1], image_.pixels[at + 2]};
}

void DrawRaster::plot(long long x, long long y, Rgb colour) {
    if (!contains(x, y)) {
        return;
    }
    const std::size_t at = (static_cast<std::size_t>(y) * image_.width + x) * 3;
    image_.pixels[at] = colour.red;
    image_.pixels[at + 1] = colour.green;
    image_.pixels[at + 2] = colour.blue;
}

// Midpoint form of Bresenham's line: at step i along the major axis the minor coordinate moves
// by round(i * minorSpan / majorSpan), halves rounded towards the end point. Being a closed
// form, the walk can start at the first visible step, so a line from far outside costs no more
// than one across the raster.
void DrawRaster::line(Rgb colour, int x1, int y1, int x2, int y2) {
    const long long dx = static_cast<long long>(x2) - x1;
    const long long dy = static_cast<long long>(y2) - y1;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long majorStart = xMajor ? x1 : y1;
    const long long minorStart = xMajor ? y1 : x1;
    const long long majorSpan = std::llabs(xMajor ? dx : dy);
    const long long minorSpan = std::llabs(xMajor ? dy : dx);
    const int majorDirection = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorDirection = (xMajor ? dy : dx) < 0 ? -1 : 1;
    if (majorSpan == 0) {
        plot(x1, y1, colour);
        return;
    }
    const StepRange steps =
        visibleSteps(majorStart, majorDirection, majorSpan, xMajor ? image_.width : image_.height);
    if (steps.first > steps.last) {
        return;
    }
    Fraction along = scaledSteps(steps.first, minorSpan, majorSpan);
    for (long long i = steps.first; i <= steps.last; ++i) {
        const long long minorOffset = along.quotient + (2 * along.remainder >= majorSpan ? 1 : 0);
        const long long major = majorStart + majorDirection * i;
        const long long minor = minorStart + minorDirection * minorOffset;
        if (xMajor) {
            plot(major, minor, colour);
        } else {
            plot(minor, major, colour);
        }
        along.remainder += minorSpan;
        if (along.remainder >= majorSpan) {
            along.remainder -= majorSpan;
            ++along.quotient;
        }
    }
}

void DrawRaster::box(Rgb colour, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, image_.width);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + height, image_.height);
    for (long long row = top; row < bottom; ++row) {
        for (long long column = left; column < right; ++column) {
            plot(column, row, colour);
        }
    }
}

} // namespace hostsim
