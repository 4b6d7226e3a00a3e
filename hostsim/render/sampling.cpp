#include "hostsim/render/sampling.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace hostsim::render {

std::uint64_t SampleRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SampleRandom::uniform() {
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

std::uint32_t SampleRandom::below(std::uint32_t bound) {
    // Multiply-shift: the slight bias for huge bounds does not matter for sample shuffling.
    return static_cast<std::uint32_t>(((next() >> 32) * bound) >> 32);
}

SampleRandom pixelRandom(std::uint64_t seed, int px, int py) {
    // Mix the coordinates through the generator itself so neighbouring pixels (and seeds)
    // start far apart in its sequence.
    SampleRandom mixer(seed ^ 0x5DEECE66Dull);
    mixer = SampleRandom(mixer.next() ^ static_cast<std::uint32_t>(px));
    mixer = SampleRandom(mixer.next() ^
                         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(py)) << 32));
    return SampleRandom(mixer.next());
}

namespace {

template <typename T> void shuffle(SampleRandom& random, std::vector<T>& values) {
    for (std::size_t i = values.size(); i > 1; --i) {
        std::swap(values[i - 1], values[random.below(static_cast<std::uint32_t>(i))]);
    }
}

} // namespace

std::vector<Point2> stratifiedSquare(SampleRandom& random, int n) {
    if (n <= 0) {
        return {};
    }
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + columns - 1) / columns;
    std::vector<int> cells(static_cast<std::size_t>(columns * rows));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = static_cast<int>(i);
    }
    // When n is not a square some cells stay empty; which ones is left to chance.
    shuffle(random, cells);
    std::vector<Point2> points;
    points.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int cell = cells[static_cast<std::size_t>(i)];
        points.push_back({(cell % columns + random.uniform()) / columns,
                          (cell / columns + random.uniform()) / rows});
    }
    return points;
}

std::vector<double> stratifiedLine(SampleRandom& random, int n) {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        values.push_back((i + random.uniform()) / n);
    }
    shuffle(random, values);
    return values;
}

Point2 concentricDisc(Point2 square) {
    const double a = 2.0 * square.x - 1.0;
    const double b = 2.0 * square.y - 1.0;
    if (a == 0.0 && b == 0.0) {
        return {0.0, 0.0};
    }
    constexpr double quarterPi = std::numbers::pi / 4.0;
    double radius;
    double angle;
    if (std::fabs(a) > std::fabs(b)) {
        radius = a;
        angle = quarterPi * (b / a);
    } else {
        radius = b;
        angle = 2.0 * quarterPi - quarterPi * (a / b);
    }
    return {radius * std::cos(angle), radius * std::sin(angle)};
}

std::vector<CameraSample> pixelSamples(std::uint64_t seed, int px, int py, int samplesPerPixel) {
    SampleRandom random = pixelRandom(seed, px, py);
    const std::vector<Point2> film = stratifiedSquare(random, samplesPerPixel);
    const std::vector<Point2> lens = stratifiedSquare(random, samplesPerPixel);
    const std::vector<double> times = stratifiedLine(random, samplesPerPixel);
    std::vector<CameraSample> samples;
    samples.reserve(film.size());
    for (std::size_t i = 0; i < film.size(); ++i) {
        const Point2 disc = concentricDisc(lens[i]);
        samples.push_back({film[i].x, film[i].y, disc.x, disc.y, times[i]});
    }
    return samples;
}

FilmPoint filmPosition(int px, int py, double pixelX, double pixelY, int width, int height,
                       double filmWidth, double filmHeight) {
    const double u = (px + pixelX) / width;
    const double v = (py + pixelY) / height;
    return {(u - 0.5) * filmWidth, (0.5 - v) * filmHeight};
}

} // namespace hostsim::render
