// Ray evaluation of the build this program links: a table look-up and a few multiply-adds.
// Built once per variant; the expectations follow VELLARY_BUILD_VARIANT.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_records.h"
#include "model/ray_evaluation.h"
#include "model/sample_table.h"

namespace {

constexpr int kVariant = VELLARY_BUILD_VARIANT;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

bool sameBits(const DVec3& a, const DVec3& b) {
    return std::memcmp(&a, &b, sizeof(DVec3)) == 0;
}

// A tilted, shifted, non-unit sample whose every field is distinct, so a mixed-up field shows.
MotionSample distinctSample(double seed) {
    MotionSample s;
    s.shiftX = 0.0031 * seed;
    s.shiftY = -0.0047 * seed;
    s.focusAxisX = {41.0 + seed, 3.5, -2.25};
    s.focusAxisY = {-1.5, 38.0 - seed, 7.75};
    s.focusCenter = {0.4, -0.9, 9.5 + seed};
    s.apertureX = {0.003, 0.0002, -0.0001};
    s.apertureY = {-0.0003, 0.0029, 0.0004};
    s.forward = {0.02, -0.1, 2.0 + seed}; // not unit length, as a host may report it
    s.position = {10.0 * seed, 1.6, -3.0};
    return s;
}

// Installs hand-made entries as the module-wide table and restores the previous one after.
class RayTableTest : public ::testing::Test {
  protected:
    void install(std::vector<MotionSample> entries) {
        entries_ = std::move(entries);
        sampleTable.entries = entries_.data();
        sampleTable.count = static_cast<std::uint32_t>(entries_.size() - 1);
    }
    void SetUp() override { saved_ = sampleTable; }
    void TearDown() override { sampleTable = saved_; }

    RayRecord evaluate(double filmX, double filmY, double lensX, double lensY, double time) {
        RayRecord ray;
        std::memset(&ray, 0xAB, sizeof(ray));
        EXPECT_EQ(1, evaluateRay(nullptr, filmX, filmY, lensX, lensY, time, &ray));
        return ray;
    }

    std::vector<MotionSample> entries_;
    SampleTable saved_;
};

TEST_F(RayTableTest, NoTableGivesNoRayAndLeavesTheRecordUntouched) {
    sampleTable.entries = nullptr;
    sampleTable.count = 4;
    RayRecord ray;
    std::memset(&ray, 0x5C, sizeof(ray));
    RayRecord before = ray;
    EXPECT_EQ(0, evaluateRay(nullptr, 0.01, 0.02, 0.3, 0.4, 0.5, &ray));
    EXPECT_EQ(0, std::memcmp(&before, &ray, sizeof(ray)));
}

TEST_F(RayTableTest, FailedFrameLeavesNoTable) {
    // A table the module allocated itself, as a previous frame would have left it.
    MotionSample* previous = static_cast<MotionSample*>(std::malloc(sizeof(MotionSample)));
    *previous = distinctSample(1);
    sampleTable.entries = previous;
    sampleTable.count = 0;
    FrameTiming timing = {};
    timing.motionSteps = -1; // a count no table can be built for
    HostCameraRecord camera = {};
    EXPECT_STREQ("Can't allocate Memory", buildSampleTable(nullptr, &timing, &camera));
    EXPECT_EQ(nullptr, sampleTable.entries);
    RayRecord ray;
    std::memset(&ray, 0x5C, sizeof(ray));
    RayRecord before = ray;
    EXPECT_EQ(0, evaluateRay(nullptr, 0, 0, 0, 0, 0.5, &ray));
    EXPECT_EQ(0, std::memcmp(&before, &ray, sizeof(ray)));
}

TEST_F(RayTableTest, TimeFractionPicksEntryByTruncation) {
    install({distinctSample(0), distinctSample(1), distinctSample(2), distinctSample(3),
             distinctSample(4)});
    const struct {
        double fraction;
        int entry;
    } cases[] = {{0.0, 0},
                 {0.25, 1},
                 {0.49, 1},
                 {0.5, 2},
                 {0.999, 3},
                 {1.0, 4},
                 // Outside the exposure the choice stays within the table.
                 {-0.5, 0},
                 {1.5, 4},
                 {-kInf, 0},
                 {kInf, 4},
                 {kNaN, 0},
                 {1e300, 4}};
    for (const auto& c : cases) {
        const RayRecord ray = evaluate(0, 0, 0, 0, c.fraction);
        EXPECT_TRUE(sameBits(entries_[c.entry].position, ray.origin))
            << "fraction " << c.fraction << " should use entry " << c.entry;
    }
}

TEST_F(RayTableTest, SingleEntryServesEveryFraction) {
    install({distinctSample(5)});
    for (double fraction : {0.0, 0.3, 0.999, 1.0, -1.0, kNaN}) {
        EXPECT_TRUE(sameBits(entries_[0].position, evaluate(0, 0, 0, 0, fraction).origin));
    }
}

TEST_F(RayTableTest, CentreOfLensIsThePinholeAtThePosition) {
    install({distinctSample(2)});
    const RayRecord ray = evaluate(0.012, -0.007, 0.0, 0.0, 0.0);
    EXPECT_TRUE(sameBits(entries_[0].position, ray.origin));
}

TEST_F(RayTableTest, UnshiftedFilmCentreLooksAtTheFocusCentre) {
    install({distinctSample(3)});
    const MotionSample& s = entries_[0];
    const RayRecord ray = evaluate(-s.shiftX, -s.shiftY, 0.0, 0.0, 0.0);
    const double focus = length(s.focusCenter);
    const DVec3 expected = kVariant == 1 ? s.focusCenter
                                         : DVec3{s.focusCenter.x / focus, s.focusCenter.y / focus,
                                                 s.focusCenter.z / focus};
    EXPECT_NEAR(expected.x, ray.direction.x, 1e-15 * focus);
    EXPECT_NEAR(expected.y, ray.direction.y, 1e-15 * focus);
    EXPECT_NEAR(expected.z, ray.direction.z, 1e-15 * focus);
}

// Depth of field: every ray through one film position, wherever it starts on the lens, passes
// through the same point of the plane of focus.
TEST_F(RayTableTest, RaysThroughOneFilmPointMeetAtOneFocusPoint) {
    install({distinctSample(1)});
    const MotionSample& s = entries_[0];
    const double filmX = 0.011;
    const double filmY = -0.006;
    const double a = filmX + s.shiftX;
    const double b = filmY + s.shiftY;
    const DVec3 focusPoint = {
        s.position.x + a * s.focusAxisX.x + b * s.focusAxisY.x + s.focusCenter.x,
        s.position.y + a * s.focusAxisX.y + b * s.focusAxisY.y + s.focusCenter.y,
        s.position.z + a * s.focusAxisX.z + b * s.focusAxisY.z + s.focusCenter.z};
    for (const auto& lens :
         {std::pair{0.0, 0.0}, std::pair{1.0, 0.0}, std::pair{-0.6, 0.8}, std::pair{0.3, -0.2}}) {
        const RayRecord ray = evaluate(filmX, filmY, lens.first, lens.second, 0.0);
        // Walk from the origin along the direction until the ray reaches the focus distance.
        const double t = kVariant == 1 ? 1.0 : (focusPoint.z - ray.origin.z) / ray.direction.z;
        EXPECT_NEAR(focusPoint.x, ray.origin.x + t * ray.direction.x, 1e-12);
        EXPECT_NEAR(focusPoint.y, ray.origin.y + t * ray.direction.y, 1e-12);
        EXPECT_NEAR(focusPoint.z, ray.origin.z + t * ray.direction.z, 1e-12);
        // The origin lies on the aperture.
        EXPECT_NEAR(s.position.x + lens.first * s.apertureX.x + lens.second * s.apertureY.x,
                    ray.origin.x, 1e-15);
    }
}

TEST_F(RayTableTest, DirectionLengthAndThirdVectorFollowTheBuild) {
    install({distinctSample(1), distinctSample(2)});
    for (double fraction : {0.0, 1.0}) {
        const MotionSample& s = entries_[fraction == 0.0 ? 0 : 1];
        const RayRecord ray = evaluate(0.004, 0.009, 0.5, -0.5, fraction);
        DVec3 origin;
        DVec3 unnormalised;
        rayThroughSample(s, 0.004, 0.009, 0.5, -0.5, &origin, &unnormalised);
        EXPECT_TRUE(sameBits(origin, ray.origin));
        if (kVariant == 1) {
            EXPECT_TRUE(sameBits(unnormalised, ray.direction));
            EXPECT_TRUE(sameBits(ray.direction, ray.auxDirection));
        } else {
            EXPECT_NEAR(1.0, length(ray.direction), 1e-15);
            const double l = length(unnormalised);
            EXPECT_EQ(unnormalised.x / l, ray.direction.x);
            EXPECT_EQ(unnormalised.y / l, ray.direction.y);
            EXPECT_EQ(unnormalised.z / l, ray.direction.z);
            if (kVariant == 2) {
                EXPECT_TRUE(sameBits(s.forward, ray.auxDirection));
            } else {
                EXPECT_TRUE(sameBits(ray.direction, ray.auxDirection));
            }
        }
    }
}

TEST_F(RayTableTest, DegenerateDirectionNeverGivesNaNInNormalisingBuilds) {
    if (kVariant == 1) {
        GTEST_SKIP() << "test1 hands the unnormalised direction over as it is";
    }
    MotionSample zero = distinctSample(1);
    zero.focusAxisX = {0, 0, 0};
    zero.focusAxisY = {0, 0, 0};
    zero.focusCenter = {0, 0, 0};
    zero.apertureX = {0, 0, 0};
    zero.apertureY = {0, 0, 0}; // focus point on the lens: zero-length direction
    MotionSample infinite = distinctSample(2);
    infinite.focusCenter = {kInf, 0, kInf};
    install({zero, infinite});
    for (double fraction : {0.0, 1.0}) {
        const MotionSample& s = entries_[fraction == 0.0 ? 0 : 1];
        const RayRecord ray = evaluate(0.001, 0.002, 0.0, 0.0, fraction);
        const double f = length(s.forward);
        EXPECT_NEAR(s.forward.x / f, ray.direction.x, 1e-15);
        EXPECT_NEAR(s.forward.y / f, ray.direction.y, 1e-15);
        EXPECT_NEAR(s.forward.z / f, ray.direction.z, 1e-15);
        if (kVariant == 3) {
            EXPECT_TRUE(sameBits(ray.direction, ray.auxDirection));
        }
    }
}

TEST_F(RayTableTest, WritesTheNineDoublesAndNothingElse) {
    install({distinctSample(1)});
    struct Guarded {
        unsigned char before[32];
        RayRecord ray;
        unsigned char after[32];
    } guarded;
    std::memset(&guarded, 0xEE, sizeof(guarded));
    EXPECT_EQ(1, evaluateRay(nullptr, 0.001, 0.001, 0.2, 0.1, 0.5, &guarded.ray));
    for (unsigned char byte : guarded.before) {
        EXPECT_EQ(0xEE, byte);
    }
    for (unsigned char byte : guarded.after) {
        EXPECT_EQ(0xEE, byte);
    }
}

TEST_F(RayTableTest, RaysFromManyThreadsMatchTheSameRaysFromOne) {
    std::vector<MotionSample> entries;
    for (int i = 0; i <= 8; ++i) {
        entries.push_back(distinctSample(i));
    }
    install(entries);
    constexpr int kRays = 20000;
    auto rayArguments = [](int i, double* args) {
        args[0] = 0.018 * std::sin(i * 0.37);
        args[1] = 0.012 * std::cos(i * 0.11);
        args[2] = std::sin(i * 1.3) * 0.7;
        args[3] = std::cos(i * 0.9) * 0.7;
        args[4] = (i % 101) / 100.0;
    };
    std::vector<RayRecord> serial(kRays);
    for (int i = 0; i < kRays; ++i) {
        double a[5];
        rayArguments(i, a);
        evaluateRay(nullptr, a[0], a[1], a[2], a[3], a[4], &serial[i]);
    }
    std::vector<RayRecord> parallel(kRays);
    std::vector<std::thread> threads;
    constexpr int kThreads = 4;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < kRays; i += kThreads) {
                double a[5];
                rayArguments(i, a);
                evaluateRay(nullptr, a[0], a[1], a[2], a[3], a[4], &parallel[i]);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, std::memcmp(serial.data(), parallel.data(), sizeof(RayRecord) * kRays));
}

} // namespace
