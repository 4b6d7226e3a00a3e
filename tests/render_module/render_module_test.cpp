// Pictures rendered through each built module file, checked for what only a working camera
// gives: with the lens closed down it is exactly a pinhole; a tilt puts the whole row of spheres
// into focus while the untilted lens blurs its ends; a film shift keeps the tower's verticals
// parallel where pitching the camera makes them lean.
//
// Where a test needs to know which object a pixel shows, it asks the module for the pixel
// centre's ray through the lens centre and intersects it with the scene, so the regions follow
// the camera's own geometry instead of hard-coded pixel positions.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostsim/misaligned_call.h"
#include "hostsim/module_render.h"
#include "hostsim/render/default_scene.h"
#include "hostsim/render/sampling.h"
#include "hostsim/render/scene.h"
#include "support/module_paths.h"

namespace {

using hostsim::ModuleRenderJob;
using hostsim::ModuleRenderResult;
using hostsim::ModuleSession;
using hostsim::render::Image;
using hostsim::render::Rgb;

constexpr double kDegrees = 3.14159265358979323846 / 180.0;
constexpr double kPinholeFStop = 1e12; // an aperture far below a nanometre

// One camera instance of a module file, rendered through and then asked for single rays.
class ModuleCamera {
  public:
    explicit ModuleCamera(int variant) {
        std::string error;
        session_ = ModuleSession::open(vellary::test::builtModulePath(variant), &error);
        if (session_ == nullptr) {
            ADD_FAILURE() << "module file of test" << variant << ": " << error;
            return;
        }
        instance_ = session_->createInstance(&error);
        EXPECT_NE(instance_, nullptr) << error;
        item_ = session_->host().cameras().cameras().back();
    }
    ~ModuleCamera() {
        if (session_ != nullptr) {
            EXPECT_TRUE(session_->close().empty()) << "the host recorded violations";
        }
    }

    bool usable() const { return session_ != nullptr && instance_ != nullptr; }

    Image render(const ModuleRenderJob& job) {
        ModuleRenderResult result = hostsim::renderThroughModule(*session_, instance_, item_, job);
        EXPECT_TRUE(result.rendered) << result.error;
        EXPECT_TRUE(result.warnings.empty());
        EXPECT_EQ(result.render.stats.failedRays, 0u);
        return std::move(result.render.image);
    }

    // What each pixel centre shows through the lens centre at the frame's start, by the table of
    // the last render: -1 sky, 0 ground, 1 + i sphere i of the row, 100 + j box j.
    std::vector<int> labels(const ModuleRenderJob& job) {
        const hostsim::render::Scene scene = hostsim::render::defaultScene();
        const EvaluateRayFn evaluate = session_->module().handlerCallbacks().evaluate;
        const hostsim::render::RenderSettings& s = job.render;
        std::vector<int> result;
        for (int py = 0; py < s.height; ++py) {
            for (int px = 0; px < s.width; ++px) {
                const hostsim::render::FilmPoint film = hostsim::render::filmPosition(
                    px, py, 0.5, 0.5, s.width, s.height, s.filmWidth, s.filmHeight);
                RayRecord ray{};
                hostsim::callModule(evaluate, instance_, film.x, film.y, 0.0, 0.0, 0.0, &ray);
                const auto hit = intersectScene(scene, ray.origin, ray.direction);
                result.push_back(!hit                                                ? -1
                                 : hit->kind == hostsim::render::SurfaceKind::Ground ? 0
                                 : hit->kind == hostsim::render::SurfaceKind::Sphere
                                     ? 1 + hit->index
                                     : 100 + hit->index);
            }
        }
        return result;
    }

  private:
    std::unique_ptr<ModuleSession> session_;
    HostInstance instance_ = nullptr;
    HostItemId item_ = nullptr;
};

ModuleRenderJob tinyJob(int width, int height, int samplesPerPixel) {
    ModuleRenderJob job;
    const hostsim::render::DefaultCamera camera = hostsim::render::defaultCamera();
    job.settings.zoomFactor = {{0.0, camera.zoomFactor}};
    job.camera.position = camera.position;
    job.focusDistance = camera.focusDistance;
    job.fStop = camera.fStop;
    job.render.width = width;
    job.render.height = height;
    job.render.samplesPerPixel = samplesPerPixel;
    job.render.threads = 2;
    job.render.filmWidth = camera.filmWidth;
    job.render.filmHeight = camera.filmHeight;
    return job;
}

double channelDifference(Rgb a, Rgb b) {
    return (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b)) / 3.0;
}

// Mean difference of two pictures over the pixels a mask selects; -1 when it selects none.
double meanDifference(const Image& a, const Image& b, const std::vector<bool>& mask) {
    double sum = 0.0;
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (mask[static_cast<std::size_t>(y * a.width() + x)]) {
                sum += channelDifference(a.pixel(x, y), b.pixel(x, y));
                ++count;
            }
        }
    }
    return count > 0 ? sum / count : -1.0;
}

// Pixels within `margin` of a pixel that passes the test (blur spreads past an object's edge).
template <class Test>
std::vector<bool> grownMask(const std::vector<int>& labels, int width, int height, int margin,
                            Test test) {
    std::vector<bool> mask(labels.size(), false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!test(labels[static_cast<std::size_t>(y * width + x)])) {
                continue;
            }
            for (int dy = -margin; dy <= margin; ++dy) {
                for (int dx = -margin; dx <= margin; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < width && ny < height) {
                        mask[static_cast<std::size_t>(ny * width + nx)] = true;
                    }
                }
            }
        }
    }
    return mask;
}

class RenderThroughModule : public testing::TestWithParam<int> {};

// With the aperture closed down the module's rays are those of a pinhole at the camera, so the
// picture equals one made by a pinhole written here from the film geometry alone.
TEST_P(RenderThroughModule, ClosedApertureEqualsAPinholeRender) {
    ModuleCamera camera(GetParam());
    ASSERT_TRUE(camera.usable());
    ModuleRenderJob job = tinyJob(72, 48, 4);
    job.fStop = kPinholeFStop;
    job.settings.hShift = {{0.0, 0.1}};
    job.settings.vShift = {{0.0, 0.2}};
    const Image rendered = camera.render(job);

    const double focal = job.render.filmHeight * job.settings.zoomFactor[0].value * 0.5;
    const double shiftX = 0.1 * job.render.filmWidth;
    const double shiftY = 0.2 * job.render.filmHeight;
    const DVec3 eye = job.camera.position;
    const hostsim::render::RayFunction pinhole = [=](double filmX, double filmY, double, double,
                                                     double, RayRecord* ray) {
        ray->origin = eye;
        ray->direction = {filmX + shiftX, filmY + shiftY, focal};
        return true;
    };
    const Image reference =
        hostsim::render::renderImage(job.render, hostsim::render::defaultScene(), pinhole).image;

    const std::vector<bool> everywhere(static_cast<std::size_t>(72 * 48), true);
    EXPECT_LT(meanDifference(rendered, reference, everywhere), 1e-4);

    // The same camera with its real aperture is not a pinhole: the test can tell them apart.
    job.fStop = 0.05;
    const Image open = camera.render(job);
    EXPECT_GT(meanDifference(open, reference, everywhere), 0.01);
}

// A view across the row from above and to its left, focused on the row's middle sphere, with a
// lens so large that depth of field shows on a tiny picture (the "miniature" look).
ModuleRenderJob sideViewJob() {
    ModuleRenderJob job = tinyJob(96, 64, 16);
    job.settings.zoomFactor = {{0.0, 1.8}};
    job.camera.position = {-12.5, 6.0, 12.2};
    job.camera.rotation = {65.0 * kDegrees, 19.3 * kDegrees, 0.0}; // the host's pitch looks down
    job.focusDistance = 16.97;
    job.fStop = 0.02;
    return job;
}

// Sharpness is measured against the pinhole picture of the same camera: where the lens keeps
// an object in focus the two agree, where it blurs they differ.
struct Sharpness {
    double rowEnds;    // the two nearest and two farthest spheres of the row
    double awayGround; // ground more than 4 m from the row
};

Sharpness measureSharpness(ModuleCamera& camera, ModuleRenderJob job) {
    const Image lens = camera.render(job);
    job.fStop = kPinholeFStop;
    const Image pinhole = camera.render(job);
    const std::vector<int> labels = camera.labels(job);
    const int w = job.render.width;
    const int h = job.render.height;
    const int last = hostsim::render::layout::rowCount;
    const auto rowEnd = [last](int label) {
        return label == 1 || label == 2 || label == last - 1 || label == last;
    };
    const auto notRow = [](int label) { return label >= 1 && label < 100; };
    // The spheres themselves only: their blurred rims mix with the ground behind them.
    const std::vector<bool> ends = grownMask(labels, w, h, 0, rowEnd);
    // Ground pixels far from the row, tested by where the pinhole ray meets the ground.
    std::vector<bool> away(labels.size(), false);
    const std::vector<bool> nearRow = grownMask(labels, w, h, 6, notRow);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        away[i] = labels[i] == 0 && !nearRow[i];
    }
    return {meanDifference(lens, pinhole, ends), meanDifference(lens, pinhole, away)};
}

TEST_P(RenderThroughModule, TiltLaysThePlaneOfFocusAlongTheRow) {
    ModuleCamera camera(GetParam());
    ASSERT_TRUE(camera.usable());
    ModuleRenderJob job = sideViewJob();
    const Sharpness untilted = measureSharpness(camera, job);
    job.settings.tiltDirection = {{0.0, 86.0 * kDegrees}};
    job.settings.tiltAngle = {{0.0, -24.0 * kDegrees}};
    const Sharpness tilted = measureSharpness(camera, job);

    ASSERT_GE(untilted.rowEnds, 0.0) << "the row's ends are not in the picture";
    ASSERT_GE(tilted.rowEnds, 0.0) << "the row's ends are not in the picture";
    // Focused on the middle, the untilted lens blurs the row's ends; tilted, they are sharp.
    EXPECT_GT(untilted.rowEnds, 3.0 * tilted.rowEnds)
        << "untilted " << untilted.rowEnds << ", tilted " << tilted.rowEnds;
    // Tilted, what lies off the row blurs far more than the row itself.
    EXPECT_GT(tilted.awayGround, 3.0 * tilted.rowEnds)
        << "ground " << tilted.awayGround << ", row " << tilted.rowEnds;
    // A tilt the other way turns the plane across the row: its ends blur again.
    job.settings.tiltAngle = {{0.0, 24.0 * kDegrees}};
    const Sharpness wrongWay = measureSharpness(camera, job);
    EXPECT_GT(wrongWay.rowEnds, 3.0 * tilted.rowEnds);
}

// The leftmost column showing the tower in a pixel row, or -1.
int towerLeftEdge(const std::vector<int>& labels, int width, int row) {
    for (int x = 0; x < width; ++x) {
        if (labels[static_cast<std::size_t>(row * width + x)] >= 100) {
            return x;
        }
    }
    return -1;
}

struct TowerEdge {
    int top;    // left edge column in the highest pixel row showing the tower
    int bottom; // ... in the lowest
    int rows;   // pixel rows showing the tower
};

TowerEdge towerEdge(const std::vector<int>& labels, int width, int height) {
    TowerEdge edge{-1, -1, 0};
    for (int y = 0; y < height; ++y) {
        const int x = towerLeftEdge(labels, width, y);
        if (x < 0) {
            continue;
        }
        if (edge.top < 0) {
            edge.top = x;
        }
        edge.bottom = x;
        ++edge.rows;
    }
    return edge;
}

TEST_P(RenderThroughModule, ShiftKeepsVerticalsParallelWherePitchMakesThemLean) {
    ModuleCamera camera(GetParam());
    ASSERT_TRUE(camera.usable());
    const hostsim::render::DefaultCamera defaults = hostsim::render::defaultCamera();
    ModuleRenderJob job = tinyJob(240, 160, 1);
    job.fStop = kPinholeFStop;

    job.settings.vShift = {{0.0, defaults.parallelVerticalShift}};
    camera.render(job);
    const TowerEdge shifted = towerEdge(camera.labels(job), 240, 160);

    job.settings.vShift = {{0.0, 0.0}};
    job.camera.rotation.pitch = -defaults.convergingPitchUp; // the host's pitch looks down
    camera.render(job);
    const TowerEdge pitched = towerEdge(camera.labels(job), 240, 160);

    // Both framings show most of the tower's height.
    EXPECT_GT(shifted.rows, 100);
    EXPECT_GT(pitched.rows, 100);
    EXPECT_LE(std::abs(shifted.top - shifted.bottom), 1)
        << "top " << shifted.top << ", bottom " << shifted.bottom;
    // Pitched up, the tower's verticals converge: its left edge leans in towards the centre.
    EXPECT_GE(pitched.top - pitched.bottom, 4)
        << "top " << pitched.top << ", bottom " << pitched.bottom;
}

INSTANTIATE_TEST_SUITE_P(Builds, RenderThroughModule, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return "test" + std::to_string(info.param);
                         });

} // namespace
