// Ray tracing against the default scene: what each kind of ray hits, and that no ray the
// camera could hand over (unnormalised, zero, NaN, grazing) breaks the tracer.
#include "hostsim/render/default_scene.h"
#include "hostsim/render/shading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace hostsim::render {
namespace {

constexpr DVec3 eye{0.0, 1.6, 0.0};

struct RayCase {
    const char* name;
    DVec3 origin;
    DVec3 direction;
    std::optional<SurfaceKind> kind; // nothing: the ray reaches the sky
    int index;
    DVec3 expectedPoint; // checked when kind is set
};

Sphere rowSphere(int i) {
    return defaultScene().spheres.at(static_cast<std::size_t>(i));
}

// Aim at a point, so the expected hit follows from the layout instead of being typed in.
DVec3 towards(DVec3 target, DVec3 from = eye) {
    return sub(target, from);
}

DVec3 nearSideOf(const Sphere& sphere, DVec3 from) {
    const DVec3 toCentre = sub(sphere.centre, from);
    return sub(sphere.centre, scale(toCentre, sphere.radius / length(toCentre)));
}

// Further spheres hide behind nearer ones from the eye; look at them from the side.
DVec3 beside(const Sphere& sphere) {
    return add(sphere.centre, {-3.0, 0.5, 0.0});
}

RayCase sphereCase(const char* name, int i, DVec3 origin) {
    const Sphere sphere = rowSphere(i);
    return {name,
            origin,
            towards(sphere.centre, origin),
            SurfaceKind::Sphere,
            i,
            nearSideOf(sphere, origin)};
}

const DVec3 towerFront{layout::towerCentreX, 7.0, layout::towerCentreZ - layout::towerWidth / 2};

std::vector<RayCase> rayCases() {
    const DVec3 aboveTower{layout::towerCentreX, 40.0, layout::towerCentreZ};
    return {
        {"ground ahead", eye, {0.0, -1.0, 2.0}, SurfaceKind::Ground, 0, {0.0, 0.0, 3.2}},
        sphereCase("first sphere from the eye", 0, eye),
        sphereCase("sixth sphere from the side", 5, beside(rowSphere(5))),
        sphereCase("last sphere from the side", layout::rowCount - 1,
                   beside(rowSphere(layout::rowCount - 1))),
        {"tower front", eye, towards(towerFront), SurfaceKind::Box, 0, towerFront},
        {"straight up", eye, {0.0, 1.0, 0.0}, std::nullopt, 0, {}},
        {"sky right of the row", eye, {0.6, 0.2, 1.0}, std::nullopt, 0, {}},
        {"sky above the tower", eye, towards(aboveTower), std::nullopt, 0, {}},
    };
}

void expectNear(DVec3 actual, DVec3 expected, double tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(SceneIntersection, RaysHitWhatLiesAlongThem) {
    const Scene scene = defaultScene();
    for (const RayCase& c : rayCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<Hit> hit = intersectScene(scene, c.origin, c.direction);
        ASSERT_EQ(hit.has_value(), c.kind.has_value());
        if (!hit) {
            continue;
        }
        EXPECT_EQ(hit->kind, *c.kind);
        EXPECT_EQ(hit->index, c.index);
        expectNear(hit->point, c.expectedPoint, 1e-9);
        EXPECT_NEAR(hit->distance, length(sub(c.expectedPoint, c.origin)), 1e-9);
        EXPECT_LT(dot(hit->normal, c.direction), 0.0) << "normal faces the ray";
        EXPECT_NEAR(length(hit->normal), 1.0, 1e-12);
    }
}

TEST(SceneIntersection, DirectionLengthDoesNotMoveTheHit) {
    const Scene scene = defaultScene();
    for (const RayCase& c : rayCases()) {
        SCOPED_TRACE(c.name);
        const std::optional<Hit> unit =
            intersectScene(scene, c.origin, scale(c.direction, 1.0 / length(c.direction)));
        for (double factor : {1e-6, 0.02, 38.4, 1e7}) {
            SCOPED_TRACE(factor);
            const std::optional<Hit> scaled =
                intersectScene(scene, c.origin, scale(c.direction, factor));
            ASSERT_EQ(scaled.has_value(), unit.has_value());
            if (unit) {
                EXPECT_EQ(scaled->kind, unit->kind);
                EXPECT_EQ(scaled->index, unit->index);
                expectNear(scaled->point, unit->point, 1e-9);
                EXPECT_NEAR(scaled->distance, unit->distance, 1e-9);
            }
        }
    }
}

TEST(SceneIntersection, UnusableRaysShowTheBackground) {
    const Scene scene = defaultScene();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Bad {
        const char* name;
        DVec3 origin;
        DVec3 direction;
    };
    const Bad cases[] = {
        {"zero direction", eye, {0.0, 0.0, 0.0}},
        {"NaN direction", eye, {nan, nan, nan}},
        {"one NaN component", eye, {0.0, nan, 1.0}},
        {"infinite direction", eye, {0.0, -inf, 1.0}},
        {"NaN origin", {nan, 1.6, 0.0}, {0.0, -1.0, 1.0}},
        {"infinite origin", {0.0, inf, 0.0}, {0.0, -1.0, 1.0}},
        {"denormal direction", eye, {0.0, -4e-320, 1e-320}},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(intersectScene(scene, c.origin, c.direction).has_value());
        const Rgb colour = shadeRay(scene, c.origin, c.direction);
        EXPECT_EQ(colour.r, scene.skyHorizon.r);
        EXPECT_EQ(colour.g, scene.skyHorizon.g);
        EXPECT_EQ(colour.b, scene.skyHorizon.b);
    }
}

TEST(SceneShading, GrazingRayFarAlongTheGroundStaysFinite) {
    // Hits the ground some 1e12 m out, where the checker's cell index fits no integer type.
    const Scene scene = defaultScene();
    const std::optional<Hit> hit = intersectScene(scene, eye, {0.0, -1e-12, 1.0});
    ASSERT_TRUE(hit.has_value());
    EXPECT_GT(hit->point.z, 1e11);
    const Rgb colour = shadeRay(scene, eye, {0.0, -1e-12, 1.0});
    EXPECT_TRUE(std::isfinite(colour.r) && std::isfinite(colour.g) && std::isfinite(colour.b));
}

double luminance(Rgb c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

TEST(SceneShading, PatternsAndLightMakeEdgesVisible) {
    const Scene scene = defaultScene();
    const double size = scene.checkerSize;
    auto groundAt = [&](double x, double z) {
        return luminance(
            surfaceColour(scene, {SurfaceKind::Ground, 0, 1.0, {x, 0.0, z}, {0.0, 1.0, 0.0}}));
    };
    EXPECT_NE(groundAt(0.5 * size, 0.5 * size), groundAt(1.5 * size, 0.5 * size));
    EXPECT_NE(groundAt(0.5 * size, 0.5 * size), groundAt(0.5 * size, -0.5 * size));
    EXPECT_EQ(groundAt(0.5 * size, 0.5 * size), groundAt(1.5 * size, 1.5 * size));

    // Neighbouring vertical stripes of the tower's front face differ; one stripe is uniform
    // from bottom to top.
    const Box& tower = scene.boxes.at(0);
    auto frontAt = [&](double x, double y) {
        return luminance(surfaceColour(
            scene, {SurfaceKind::Box, 0, 1.0, {x, y, tower.min.z}, {0.0, 0.0, -1.0}}));
    };
    const double x0 = tower.min.x + 0.5 * tower.stripeWidth;
    EXPECT_NE(frontAt(x0, 1.0), frontAt(x0 + tower.stripeWidth, 1.0));
    EXPECT_EQ(frontAt(x0, 1.0), frontAt(x0, layout::towerHeight - 0.5));

    // The sun lights the tower's front, not the side the camera also sees, so its near
    // vertical edge shows as a step in brightness on the same stripe colour.
    const double zOnSide = tower.min.z + 0.5 * tower.stripeWidth;
    const DVec3 onFront{x0, 5.0, tower.min.z};
    const DVec3 onSide{tower.max.x, 5.0, zOnSide};
    const double front = luminance(shadeRay(scene, eye, towards(onFront)));
    const double side = luminance(shadeRay(scene, eye, towards(onSide)));
    EXPECT_GT(front, 1.5 * side);
}

TEST(SceneShading, SkyDeepensFromHorizonToZenith) {
    const Scene scene = defaultScene();
    const Rgb horizon = skyColour(scene, {0.0, 0.0, 5.0});
    const Rgb zenith = skyColour(scene, {0.0, 3.0, 0.0});
    EXPECT_EQ(horizon.b, scene.skyHorizon.b);
    EXPECT_EQ(zenith.b, scene.skyZenith.b);
    EXPECT_GT(luminance(horizon), luminance(zenith));
}

} // namespace
} // namespace hostsim::render
