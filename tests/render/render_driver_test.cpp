// The threaded render loop, driven by simple ray functions written here: a pinhole looking
// down the default scene must show the tower against the sky, images must not depend on the
// thread count, refused rays and failures must be reported.
#include "hostsim/render/default_scene.h"
#include "hostsim/render/render_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

namespace hostsim::render {
namespace {

// The default camera as a pinhole, level and unrotated: the direction is left unnormalised
// with the length of the film point's distance from the pinhole, as build test1 hands it over.
RayFunction pinhole(const DefaultCamera& camera) {
    return [camera](double filmX, double filmY, double, double, double, RayRecord* ray) {
        ray->origin = camera.position;
        ray->direction = {filmX, filmY, camera.focalLength()};
        ray->auxDirection = ray->direction;
        return true;
    };
}

// A thin lens focused at 10 m that also moves sideways during the exposure, so that every
// sample dimension changes the picture.
bool lensAndMotion(double filmX, double filmY, double lensX, double lensY, double time,
                   RayRecord* ray) {
    const double focal = 0.0384;
    const double apertureRadius = 0.05;
    const double focus = 10.0;
    const DVec3 focusPoint{filmX / focal * focus + 0.3 * time, 1.6 + filmY / focal * focus, focus};
    ray->origin = {lensX * apertureRadius + 0.3 * time, 1.6 + lensY * apertureRadius, 0.0};
    ray->direction = sub(focusPoint, ray->origin);
    return true;
}

struct Region {
    int left;
    int top;
    int right; // exclusive
    int bottom;
};

Rgb meanColour(const Image& image, Region r) {
    Rgb sum;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            sum = sum + image.pixel(x, y);
        }
    }
    return sum * (1.0 / ((r.right - r.left) * (r.bottom - r.top)));
}

TEST(RenderImage, PinholeShowsTheTowerAgainstTheSky) {
    const DefaultCamera camera = defaultCamera();
    RenderSettings settings;
    settings.width = 96;
    settings.height = 64;
    settings.samplesPerPixel = 4;
    settings.threads = 2;
    settings.filmWidth = camera.filmWidth;
    settings.filmHeight = camera.filmHeight;
    const RenderResult result = renderImage(settings, defaultScene(), pinhole(camera));

    // Project the tower's front face through the pinhole to find its columns; take rows
    // between the horizon and the top of the picture, where beside it there is only sky.
    const double f = camera.focalLength();
    const double frontZ = layout::towerCentreZ - layout::towerWidth / 2;
    auto column = [&](double worldX) {
        const double filmX = worldX / frontZ * f;
        return (filmX / camera.filmWidth + 0.5) * settings.width;
    };
    const int towerLeft = static_cast<int>(std::ceil(column(layout::towerCentreX - 1.0))) + 1;
    const int towerRight = static_cast<int>(std::floor(column(layout::towerCentreX + 1.0))) - 1;
    ASSERT_GT(towerRight, towerLeft + 2) << "the tower spans several columns";
    const Region tower{towerLeft, 2, towerRight, settings.height / 2 - 4};
    const Region sky{0, 2, 4, settings.height / 2 - 4};

    const Rgb towerColour = meanColour(result.image, tower);
    const Rgb skyColour = meanColour(result.image, sky);
    EXPECT_GT(skyColour.b, skyColour.r) << "sky is blue";
    const double difference = std::fabs(towerColour.r - skyColour.r) +
                              std::fabs(towerColour.g - skyColour.g) +
                              std::fabs(towerColour.b - skyColour.b);
    EXPECT_GT(difference, 0.15);

    // The ground fills the bottom rows: the checker makes them differ from the sky too.
    const Rgb ground =
        meanColour(result.image, {0, settings.height - 4, settings.width, settings.height});
    EXPECT_LT(ground.b, skyColour.b);

    EXPECT_EQ(result.stats.cameraRays, 96u * 64u * 4u);
    EXPECT_EQ(result.stats.failedRays, 0u);
    EXPECT_EQ(result.stats.threads, 2);
    EXPECT_GT(result.stats.raysPerSecond, 0.0);
}

TEST(RenderImage, ImageDoesNotDependOnTheThreadCount) {
    RenderSettings settings;
    settings.width = 40;
    settings.height = 30;
    settings.samplesPerPixel = 9;
    settings.seed = 2024;
    const Scene scene = defaultScene();
    settings.threads = 1;
    const RgbImage one = renderImage(settings, scene, lensAndMotion).image.toRgbImage();
    settings.threads = 3;
    const RgbImage three = renderImage(settings, scene, lensAndMotion).image.toRgbImage();
    EXPECT_EQ(one.pixels, three.pixels);

    settings.seed = 2025;
    const RgbImage otherSeed = renderImage(settings, scene, lensAndMotion).image.toRgbImage();
    EXPECT_NE(one.pixels, otherSeed.pixels) << "the seed moves the samples";
}

TEST(RenderImage, RefusedRaysCountAndStayBlack) {
    RenderSettings settings;
    settings.width = 20;
    settings.height = 10;
    settings.samplesPerPixel = 4;
    const DefaultCamera camera = defaultCamera();
    const RayFunction onlyRightHalf = [&](double x, double y, double lx, double ly, double t,
                                          RayRecord* ray) {
        return x > 0.0 && pinhole(camera)(x, y, lx, ly, t, ray);
    };
    const RenderResult result = renderImage(settings, defaultScene(), onlyRightHalf);
    EXPECT_EQ(result.stats.failedRays, result.stats.cameraRays / 2);
    const Rgb left = result.image.pixel(3, 2);
    EXPECT_EQ(left.r + left.g + left.b, 0.0);
    const Rgb right = result.image.pixel(settings.width - 3, 2);
    EXPECT_GT(right.r + right.g + right.b, 0.0);
}

TEST(RenderImage, ProgressRisesToTheLastRowOnTheCallingThread) {
    RenderSettings settings;
    settings.width = 8;
    settings.height = 25;
    settings.samplesPerPixel = 1;
    settings.threads = 3;
    std::vector<int> reports;
    const auto caller = std::this_thread::get_id();
    bool sameThread = true;
    renderImage(settings, defaultScene(), pinhole(defaultCamera()), [&](int done, int total) {
        EXPECT_EQ(total, settings.height);
        sameThread = sameThread && std::this_thread::get_id() == caller;
        reports.push_back(done);
    });
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(std::adjacent_find(reports.begin(), reports.end()), reports.end());
    EXPECT_EQ(reports.back(), settings.height);
    EXPECT_TRUE(sameThread);
}

TEST(RenderImage, FailuresInsideWorkersReachTheCaller) {
    RenderSettings settings;
    settings.width = 16;
    settings.height = 16;
    settings.threads = 2;
    const RayFunction throwing = [](double, double y, double, double, double, RayRecord*) {
        if (y < 0.0) {
            throw std::runtime_error("camera failed");
        }
        return false;
    };
    EXPECT_THROW(renderImage(settings, defaultScene(), throwing), std::runtime_error);
    EXPECT_THROW(renderImage(settings, defaultScene(), pinhole(defaultCamera()),
                             [](int, int) { throw std::runtime_error("terminal gone"); }),
                 std::runtime_error);
}

TEST(RenderImage, DegenerateSettingsGiveAnEmptyOrMinimalImage) {
    RenderSettings settings;
    settings.width = 0;
    settings.height = 5;
    EXPECT_EQ(renderImage(settings, defaultScene(), pinhole(defaultCamera())).image.height(), 0);
    settings.width = 3;
    settings.height = 2;
    settings.samplesPerPixel = 0; // taken as one
    const RenderResult result = renderImage(settings, defaultScene(), pinhole(defaultCamera()));
    EXPECT_EQ(result.stats.cameraRays, 6u);
}

TEST(ImageEncoding, LinearValuesBecomeSrgbBytesAndNaNIsBlack) {
    Image image(2, 1);
    image.setPixel(0, 0, {0.0, 0.2158605, 1.0});
    image.setPixel(1, 0, {std::nan(""), -1.0, 1e300});
    const RgbImage out = image.toRgbImage();
    ASSERT_EQ(out.pixels.size(), 6u);
    EXPECT_EQ(out.pixels[0], 0);
    EXPECT_EQ(out.pixels[1], 128); // the linear value of sRGB code 128
    EXPECT_EQ(out.pixels[2], 255);
    EXPECT_EQ(out.pixels[3], 0);
    EXPECT_EQ(out.pixels[4], 0);
    EXPECT_EQ(out.pixels[5], 255);
}

} // namespace
} // namespace hostsim::render
