// Where on the film, where on the lens and when in the exposure each camera ray of a pixel
// starts. Every dimension is stratified so that a few samples per pixel already give smooth
// anti-aliasing, depth of field and motion blur, and everything follows from a seed and the
// pixel's coordinates alone, so an image does not depend on how rows are spread over threads.
#pragma once

#include <cstdint>
#include <vector>

namespace hostsim::render {

// A small deterministic generator (SplitMix64): fast, good enough for sample jitter.
class SampleRandom {
  public:
    explicit SampleRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform();                         // in [0, 1)
    std::uint32_t below(std::uint32_t bound); // in [0, bound), bound > 0

  private:
    std::uint64_t state_;
};

// Generator for one pixel of one render.
SampleRandom pixelRandom(std::uint64_t seed, int px, int py);

struct Point2 {
    double x;
    double y;
};

// n points in [0,1)^2, one in each of n distinct cells of a grid of about sqrt(n) x sqrt(n)
// cells (exactly one per cell when n is a square), jittered within the cell, in random order.
std::vector<Point2> stratifiedSquare(SampleRandom& random, int n);

// n values in [0,1), one jittered in each interval [i/n, (i+1)/n), in random order.
std::vector<double> stratifiedLine(SampleRandom& random, int n);

// Shirley and Chiu's concentric map from [0,1)^2 onto the unit disc. It keeps areas and keeps
// neighbouring points together, so square strata stay strata on the lens; quadrants of the
// square map to the same quadrants of the disc, and the square ring max(|u|,|v|) < r (in [-1,1]
// coordinates) to the disc of radius r.
Point2 concentricDisc(Point2 square);

struct CameraSample {
    double pixelX; // offset within the pixel, [0,1), left to right
    double pixelY; // offset within the pixel, [0,1), top to bottom
    double lensX;  // on the unit disc: aperture radius units, as the host passes them
    double lensY;
    double timeFraction; // [0,1) of the exposure
};

// The samples of one pixel: film, lens and time each stratified, paired at random so that no
// two dimensions line up.
std::vector<CameraSample> pixelSamples(std::uint64_t seed, int px, int py, int samplesPerPixel);

struct FilmPoint {
    double x;
    double y;
};

// Film position of a point inside pixel (px, py) of a width x height image, in film units with
// the centre of the film at 0: x runs from -filmWidth/2 at the left edge to +filmWidth/2 at the
// right, y from +filmHeight/2 at the top to -filmHeight/2 at the bottom.
FilmPoint filmPosition(int px, int py, double pixelX, double pixelY, int width, int height,
                       double filmWidth, double filmHeight);

} // namespace hostsim::render
