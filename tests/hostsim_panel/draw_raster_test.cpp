// The host's drawing raster: Bresenham lines with both end points, boxes, and clipping that
// shows exactly the part of a drawing that falls inside the area, whatever coordinates the
// module passes. Also the PNG file the thumbnail is saved to.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/draw_raster.h"
#include "hostsim/png_writer.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using hostsim::DrawRaster;
using hostsim::Rgb;

constexpr Rgb kInk{255, 0, 0};

struct Line {
    int x1, y1, x2, y2;
};

// Every lit pixel of a raster, as (x, y).
std::vector<std::pair<int, int>> litPixels(const DrawRaster& raster) {
    std::vector<std::pair<int, int>> lit;
    for (int y = 0; y < raster.height(); ++y) {
        for (int x = 0; x < raster.width(); ++x) {
            if (raster.pixel(x, y) == kInk) {
                lit.emplace_back(x, y);
            }
        }
    }
    return lit;
}

TEST(DrawRaster, LinesLightOnePixelPerMajorStepNearTheIdealLineWithBothEnds) {
    const Line lines[] = {
        {10, 10, 60, 10}, {10, 10, 10, 60}, {5, 5, 45, 45},   {45, 5, 5, 45}, {0, 0, 99, 37},
        {99, 37, 0, 0},   {20, 90, 27, 3},  {40, 59, 34, 58}, {3, 3, 3, 3},   {60, 20, 10, 35},
    };
    for (const Line& l : lines) {
        SCOPED_TRACE(testing::Message() << l.x1 << "," << l.y1 << " -> " << l.x2 << "," << l.y2);
        DrawRaster raster(100, 100);
        raster.line(kInk, l.x1, l.y1, l.x2, l.y2);
        const int dx = l.x2 - l.x1;
        const int dy = l.y2 - l.y1;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        const auto lit = litPixels(raster);
        EXPECT_EQ(static_cast<int>(lit.size()), steps + 1);
        EXPECT_EQ(raster.pixel(l.x1, l.y1), kInk);
        EXPECT_EQ(raster.pixel(l.x2, l.y2), kInk);
        for (const auto& [x, y] : lit) {
            if (steps == 0) {
                break; // a single point: both ends, checked above
            }
            // Distance from the ideal line along the minor axis is at most half a pixel.
            if (std::abs(dx) >= std::abs(dy)) {
                const double ideal = l.y1 + static_cast<double>(dy) * (x - l.x1) / dx;
                EXPECT_LE(std::fabs(y - ideal), 0.5) << x << "," << y;
            } else {
                const double ideal = l.x1 + static_cast<double>(dx) * (y - l.y1) / dy;
                EXPECT_LE(std::fabs(x - ideal), 0.5) << x << "," << y;
            }
        }
    }
}

TEST(DrawRaster, ClippedLinesShowExactlyTheVisiblePartOfTheUnclippedLine) {
    const Line lines[] = {
        {-50, 30, 150, 70}, {40, -20, 60, 130},     {-10, -10, 110, 110}, {120, -30, -40, 90},
        {-5, 50, 3, 50},    {95, 95, 180, 101},     {-60, -60, -1, -1},   {100, 0, 100, 99},
        {30, 140, 31, 99},  {-200, 199, 199, -200},
    };
    constexpr int kOffset = 250; // a raster big enough to hold each line whole
    for (const Line& l : lines) {
        SCOPED_TRACE(testing::Message() << l.x1 << "," << l.y1 << " -> " << l.x2 << "," << l.y2);
        DrawRaster clipped(100, 100);
        clipped.line(kInk, l.x1, l.y1, l.x2, l.y2);
        DrawRaster whole(600, 600);
        whole.line(kInk, l.x1 + kOffset, l.y1 + kOffset, l.x2 + kOffset, l.y2 + kOffset);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                ASSERT_EQ(clipped.pixel(x, y), whole.pixel(x + kOffset, y + kOffset))
                    << x << "," << y;
            }
        }
    }
}

TEST(DrawRaster, ExtremeCoordinatesAreClippedWithoutOverflowOrLongWalks) {
    DrawRaster across(100, 100);
    across.line(kInk, INT_MIN, 50, INT_MAX, 50);
    EXPECT_EQ(litPixels(across).size(), 100u);
    EXPECT_EQ(across.pixel(0, 50), kInk);
    EXPECT_EQ(across.pixel(99, 50), kInk);

    DrawRaster diagonal(100, 100);
    diagonal.line(kInk, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    const auto lit = litPixels(diagonal);
    EXPECT_EQ(lit.size(), 100u);
    for (const auto& [x, y] : lit) {
        EXPECT_EQ(y, x);
    }

    // Rising by one row over 2^32 - 1 columns: the ideal line passes y = 1/2 at x = -1/2,
    // halfway between columns -1 and 0, so every visible column shows row 1.
    DrawRaster shallow(100, 100);
    shallow.line(kInk, INT_MIN, 0, INT_MAX, 1);
    const auto shallowLit = litPixels(shallow);
    EXPECT_EQ(shallowLit.size(), 100u);
    for (const auto& [x, y] : shallowLit) {
        EXPECT_EQ(y, 1) << x;
    }

    DrawRaster outside(100, 100);
    outside.line(kInk, INT_MIN, INT_MIN, INT_MIN + 5, INT_MAX);
    outside.box(kInk, INT_MAX, INT_MAX, INT_MAX, INT_MAX);
    outside.box(kInk, INT_MIN, INT_MIN, 10, 10);
    EXPECT_TRUE(litPixels(outside).empty());
}

TEST(DrawRaster, BoxesCoverTheirRectangleClippedAndNothingWhenEmpty) {
    struct Box {
        int x, y, width, height;
    };
    const Box boxes[] = {
        {0, 0, 100, 100},      {10, 20, 5, 3},
        {38, -1, 5, 5},        {-3, -3, 5, 5},
        {97, 98, 10, 10},      {40, 0, 1, 61},
        {0, 30, 81, 1},        {20, 20, 0, 5},
        {20, 20, 5, 0},        {20, 20, -5, 5},
        {-10, 40, INT_MAX, 2}, {100, 0, 5, 5},
        {0, 100, 5, 5},        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
    };
    for (const Box& b : boxes) {
        SCOPED_TRACE(testing::Message() << b.x << "," << b.y << " " << b.width << "x" << b.height);
        DrawRaster raster(100, 100);
        raster.box(kInk, b.x, b.y, b.width, b.height);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                const bool inside = x >= b.x && y >= b.y &&
                                    x < static_cast<long long>(b.x) + b.width &&
                                    y < static_cast<long long>(b.y) + b.height;
                ASSERT_EQ(raster.pixel(x, y) == kInk, inside) << x << "," << y;
            }
        }
    }
}

TEST(DrawRaster, ColourWordIgnoresItsTopByte) {
    EXPECT_EQ(hostsim::colourFromWord(0x01C8C8C8), (Rgb{200, 200, 200}));
    EXPECT_EQ(hostsim::colourFromWord(0xFF123456), (Rgb{0x12, 0x34, 0x56}));
    EXPECT_EQ(hostsim::colourFromWord(0x00FF0080), (Rgb{255, 0, 128}));
}

TEST(PngWriter, WritesPixelsThatReadBackUnchanged) {
    DrawRaster raster(7, 5, Rgb{1, 2, 3});
    raster.line(Rgb{250, 100, 50}, 0, 0, 6, 4);
    raster.box(Rgb{9, 8, 7}, 5, 0, 2, 2);
    const std::string path =
        (std::filesystem::temp_directory_path() / "hostsim_png_test.png").string();
    std::string error;
    ASSERT_TRUE(hostsim::writePng(path, raster.image(), &error)) << error;

    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 5);
    EXPECT_EQ(std::vector<unsigned char>(pixels, pixels + 7 * 5 * 3), raster.image().pixels);
    stbi_image_free(pixels);
    std::filesystem::remove(path);
}

TEST(PngWriter, ReportsAnUnwritablePathAndAMalformedImage) {
    std::string error;
    const DrawRaster raster(4, 4);
    EXPECT_FALSE(hostsim::writePng("/no/such/directory/x.png", raster.image(), &error));
    EXPECT_THAT(error, testing::HasSubstr("/no/such/directory/x.png"));

    hostsim::RgbImage wrongSize = raster.image();
    wrongSize.pixels.pop_back();
    error.clear();
    EXPECT_FALSE(hostsim::writePng("unused.png", wrongSize, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists("unused.png"));
}

} // namespace
