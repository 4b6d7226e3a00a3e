// Pixel samples: film, lens and time stratified, lens samples on the unit disc, the film
// mapping of pixels, and determinism for a seed.
#include "hostsim/render/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace hostsim::render {
namespace {

TEST(Sampling, ConcentricMapStaysInsideTheUnitDisc) {
    const double justBelowOne = std::nextafter(1.0, 0.0);
    const Point2 corners[] = {{0.0, 0.0},          {justBelowOne, 0.0},
                              {0.0, justBelowOne}, {justBelowOne, justBelowOne},
                              {0.5, 0.5},          {0.5, 0.0}};
    for (const Point2 corner : corners) {
        const Point2 p = concentricDisc(corner);
        EXPECT_LE(std::hypot(p.x, p.y), 1.0);
    }
    SampleRandom random(7);
    for (int i = 0; i < 2000; ++i) {
        const Point2 p = concentricDisc({random.uniform(), random.uniform()});
        ASSERT_LE(std::hypot(p.x, p.y), 1.0);
    }
    // The rim is reached: the square's edge maps onto the circle.
    const Point2 rim = concentricDisc({justBelowOne, 0.5});
    EXPECT_NEAR(std::hypot(rim.x, rim.y), 1.0, 1e-12);
}

// With a square sample count every stratum holds exactly one sample: one per film cell, one per
// time interval, and on the lens equal shares per quadrant and (grids of 4 x 4 and up) inside
// radius 1/2, a quarter of the aperture's area.
TEST(Sampling, SquareCountsFillEveryStratumOnce) {
    for (const int n : {4, 16, 64}) {
        SCOPED_TRACE(n);
        const int side = static_cast<int>(std::lround(std::sqrt(n)));
        for (int pixel = 0; pixel < 20; ++pixel) {
            const std::vector<CameraSample> samples = pixelSamples(99, pixel, 3 * pixel, n);
            ASSERT_EQ(samples.size(), static_cast<std::size_t>(n));
            std::set<std::pair<int, int>> filmCells;
            std::set<int> timeStrata;
            int quadrant[4] = {0, 0, 0, 0};
            int inner = 0;
            for (const CameraSample& s : samples) {
                ASSERT_GE(s.pixelX, 0.0);
                ASSERT_LT(s.pixelX, 1.0);
                ASSERT_GE(s.pixelY, 0.0);
                ASSERT_LT(s.pixelY, 1.0);
                ASSERT_GE(s.timeFraction, 0.0);
                ASSERT_LT(s.timeFraction, 1.0);
                filmCells.insert(
                    {static_cast<int>(s.pixelX * side), static_cast<int>(s.pixelY * side)});
                timeStrata.insert(static_cast<int>(s.timeFraction * n));
                const double r = std::hypot(s.lensX, s.lensY);
                ASSERT_LE(r, 1.0);
                inner += r < 0.5 ? 1 : 0;
                ++quadrant[(s.lensX < 0.0 ? 1 : 0) + (s.lensY < 0.0 ? 2 : 0)];
            }
            EXPECT_EQ(filmCells.size(), static_cast<std::size_t>(n));
            EXPECT_EQ(timeStrata.size(), static_cast<std::size_t>(n));
            if (side % 4 == 0) { // radius 1/2 then falls on cell borders
                EXPECT_EQ(inner, n / 4);
            }
            for (const int count : quadrant) {
                EXPECT_EQ(count, n / 4);
            }
        }
    }
}

TEST(Sampling, OtherCountsStillUseDistinctStrata) {
    for (const int n : {1, 2, 3, 7, 10}) {
        SCOPED_TRACE(n);
        const int columns = static_cast<int>(std::ceil(std::sqrt(n)));
        const int rows = (n + columns - 1) / columns;
        const std::vector<CameraSample> samples = pixelSamples(5, 11, 12, n);
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(n));
        std::set<std::pair<int, int>> filmCells;
        std::set<int> timeStrata;
        for (const CameraSample& s : samples) {
            filmCells.insert(
                {static_cast<int>(s.pixelX * columns), static_cast<int>(s.pixelY * rows)});
            timeStrata.insert(static_cast<int>(s.timeFraction * n));
            EXPECT_LE(std::hypot(s.lensX, s.lensY), 1.0);
        }
        EXPECT_EQ(filmCells.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(timeStrata.size(), static_cast<std::size_t>(n));
    }
    EXPECT_TRUE(pixelSamples(5, 0, 0, 0).empty());
}

bool sameSamples(const std::vector<CameraSample>& a, const std::vector<CameraSample>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].pixelX != b[i].pixelX || a[i].pixelY != b[i].pixelY || a[i].lensX != b[i].lensX ||
            a[i].lensY != b[i].lensY || a[i].timeFraction != b[i].timeFraction) {
            return false;
        }
    }
    return true;
}

TEST(Sampling, SamplesFollowFromSeedAndPixelAlone) {
    const std::vector<CameraSample> reference = pixelSamples(42, 10, 20, 16);
    EXPECT_TRUE(sameSamples(pixelSamples(42, 10, 20, 16), reference));
    EXPECT_FALSE(sameSamples(pixelSamples(43, 10, 20, 16), reference));
    EXPECT_FALSE(sameSamples(pixelSamples(42, 11, 20, 16), reference));
    EXPECT_FALSE(sameSamples(pixelSamples(42, 20, 10, 16), reference));
}

TEST(Sampling, PixelsMapOntoTheFilmLeftToRightAndTopToBottom) {
    const int width = 300;
    const int height = 200;
    const double filmWidth = 0.036;
    const double filmHeight = 0.024;
    const double pixel = filmWidth / width; // square pixels on this film
    struct Case {
        const char* name;
        int px;
        int py;
        double offsetX;
        double offsetY;
        double filmX;
        double filmY;
    };
    const Case cases[] = {
        {"top-left corner", 0, 0, 0.0, 0.0, -filmWidth / 2, filmHeight / 2},
        {"top-right corner", width - 1, 0, 1.0, 0.0, filmWidth / 2, filmHeight / 2},
        {"bottom-left corner", 0, height - 1, 0.0, 1.0, -filmWidth / 2, -filmHeight / 2},
        {"bottom-right corner", width - 1, height - 1, 1.0, 1.0, filmWidth / 2, -filmHeight / 2},
        {"centre of the top-left pixel", 0, 0, 0.5, 0.5, -filmWidth / 2 + pixel / 2,
         filmHeight / 2 - pixel / 2},
        {"centre of the film", width / 2, height / 2, 0.0, 0.0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FilmPoint p =
            filmPosition(c.px, c.py, c.offsetX, c.offsetY, width, height, filmWidth, filmHeight);
        EXPECT_NEAR(p.x, c.filmX, 1e-15);
        EXPECT_NEAR(p.y, c.filmY, 1e-15);
    }
}

} // namespace
} // namespace hostsim::render
