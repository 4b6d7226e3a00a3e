// The per-frame motion-sample table, built through the host's new-frame call: the sub-frame
// times, what the module asks the host per entry, the camera geometry of each entry (film shift,
// focus plane, aperture, tilt), and what becomes of the table and the instance afterwards.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/ray_evaluation.h"
#include "model/sample_table.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;
using hostsim::numberText;
using testing::ElementsAreArray;
using testing::IsEmpty;

// The worked camera: D = 10, f = 0.024 x 2 x 0.5 = 0.024, F = 4, so r = 0.003 and q = D / f.
class SampleTableTest : public OneCameraTest {
  protected:
    void SetUp() override {
        OneCameraTest::SetUp();
        setLens(item, kFocusDistance, kFStop);
    }

    const MotionSample& entry(std::uint32_t i) const { return sampleTable.entries[i]; }

    static constexpr double kFocusDistance = 10.0;
    static constexpr double kFStop = 4.0;
    static constexpr double kFocalLength = 0.024 * 2.0 * 0.5;
    static constexpr double kScale = kFocusDistance / kFocalLength; // q, for unit axes
    static constexpr double kTolerance = 1e-12 * kScale;
};

// --- Sub-frame times and host calls ------------------------------------------------------------

TEST_F(SampleTableTest, EntriesLieAtEvenlySpacedSubFrameTimes) {
    // The camera moves along x at one unit per unit of time, so each entry's position tells the
    // time it was sampled at.
    host.cameras().setPositionKey(item, 0.0, {0.0, 1.0, 2.0});
    host.cameras().setPositionKey(item, 10.0, {10.0, 1.0, 2.0});
    struct Case {
        int motionSteps;
        std::vector<double> fractions; // of the frame's duration
    };
    const Case cases[] = {{0, {0.0}},
                          {1, {0.0, 0.25, 0.5, 0.75, 1.0}},
                          {2, {0.0, 0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0}}};
    const double start = 2.0;
    const double duration = 0.5;
    for (const Case& c : cases) {
        host.log().clear();
        ASSERT_EQ(nullptr, newFrame(camera, start, duration, c.motionSteps, record));
        ASSERT_NE(nullptr, sampleTable.entries);
        ASSERT_EQ(c.fractions.size() - 1, sampleTable.count) << c.motionSteps << " steps";
        const std::vector<hostsim::HostCall> calls = host.log().calls();
        ASSERT_EQ(11 * c.fractions.size(), calls.size()) << "11 host calls per entry";
        for (std::size_t i = 0; i < c.fractions.size(); ++i) {
            const double expected = start + duration * c.fractions[i];
            EXPECT_DOUBLE_EQ(expected, entry(i).position.x) << "entry " << i;
            // Every host call of the entry asks about the same time.
            for (std::size_t k = 11 * i; k < 11 * (i + 1); ++k) {
                const hostsim::HostCall& call = calls[k];
                const std::string& timeText = call.arguments.at(call.operation == "vector" ? 2 : 1);
                double asked = kNaN;
                ASSERT_TRUE(hostsim::parseDouble(timeText, &asked)) << callText(call);
                EXPECT_DOUBLE_EQ(expected, asked) << callText(call) << ", entry " << i;
            }
        }
    }
}

TEST_F(SampleTableTest, EachEntryAsksSettingsLensAndItemVectorsInOrderForTheRecordsCamera) {
    // The instance belongs to one camera, the record to another: the host is asked about the
    // record's camera.
    const HostItemId other = host.cameras().addCamera("Other");
    setLens(other, kFocusDistance, kFStop);
    HostCameraRecord* otherRecord = recordFor(other, 0.036, 0.024);
    host.log().clear();
    ASSERT_EQ(nullptr, newFrame(camera, 1.0, 1.0, 1, otherRecord));

    std::vector<std::string> expected;
    for (double time : {1.0, 1.25, 1.5, 1.75, 2.0}) {
        const std::string t = numberText(time);
        for (const std::string& call : settingCalls(camera, time)) {
            expected.push_back(call);
        }
        expected.push_back("LW Camera Info 5.focusDistance(" + text(other) + ", " + t + ")");
        expected.push_back("LW Camera Info 5.fStop(" + text(other) + ", " + t + ")");
        for (int code = 1; code <= 4; ++code) {
            expected.push_back("LW Item Info 4.vector(" + text(other) + ", " +
                               std::to_string(code) + ", " + t + ", ");
        }
    }
    std::vector<std::string> actual = callTexts();
    // The address the host fills differs from call to call; compare up to it.
    for (std::string& call : actual) {
        if (call.rfind("LW Item Info 4.vector(", 0) == 0) {
            call = call.substr(0, call.rfind(", ") + 2);
        }
    }
    EXPECT_THAT(actual, ElementsAreArray(expected));
}

// --- Geometry of an entry ----------------------------------------------------------------------

TEST_F(SampleTableTest, UntiltedEntryOfTheWorkedCamera) {
    host.cameras().setPositionKey(item, 0.0, {1.5, -2.0, 0.25});
    // A tilt direction without a tilt angle changes nothing.
    setSettings(camera, {.zoomFactor = 2.0, .hShift = 0.1, .vShift = -0.2, .tiltDirection = 0.7});
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
    const MotionSample& s = entry(0);
    EXPECT_DOUBLE_EQ(0.1 * 0.036, s.shiftX);
    EXPECT_DOUBLE_EQ(-0.2 * 0.024, s.shiftY);
    expectNear({10.0 / 0.024, 0.0, 0.0}, s.focusAxisX, kTolerance, "focusAxisX");
    expectNear({0.0, 10.0 / 0.024, 0.0}, s.focusAxisY, kTolerance, "focusAxisY");
    expectNear({0.0, 0.0, 10.0}, s.focusCenter, 1e-12, "focusCenter");
    expectNear({0.003, 0.0, 0.0}, s.apertureX, 1e-15, "apertureX");
    expectNear({0.0, 0.003, 0.0}, s.apertureY, 1e-15, "apertureY");
    EXPECT_TRUE(sameBits({0.0, 0.0, 1.0}, s.forward));
    EXPECT_TRUE(sameBits({1.5, -2.0, 0.25}, s.position));
}

TEST_F(SampleTableTest, TiltTurnsTheFilmAxesAboutTheTiltAxis) {
    struct Case {
        double direction;
        double angle;
        DVec3 axisX; // unit directions of focusAxisX and focusAxisY
        DVec3 axisY;
    };
    std::vector<Case> cases;
    for (double angle : {0.3, -0.5, 1.2}) {
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        // Direction 0: the tilt axis is the right axis; the up axis turns towards forward.
        cases.push_back({0.0, angle, {1.0, 0.0, 0.0}, {0.0, c, s}});
        // Direction pi/2: the tilt axis is -up; the right axis turns towards forward.
        cases.push_back({kPi / 2.0, angle, {c, 0.0, s}, {0.0, 1.0, 0.0}});
    }
    for (const Case& c : cases) {
        setSettings(camera,
                    {.zoomFactor = 2.0, .tiltDirection = c.direction, .tiltAngle = c.angle});
        ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
        const std::string what =
            "direction " + numberText(c.direction) + ", angle " + numberText(c.angle);
        expectNear(scaled(c.axisX, kScale), entry(0).focusAxisX, kTolerance, what + " focusAxisX");
        expectNear(scaled(c.axisY, kScale), entry(0).focusAxisY, kTolerance, what + " focusAxisY");
        // The forward axis is never tilted.
        expectNear({0.0, 0.0, 10.0}, entry(0).focusCenter, 1e-12, what + " focusCenter");
    }
}

TEST_F(SampleTableTest, OnlyAnExactlyZeroTiltAngleSkipsTheTilt) {
    // A turned camera, so that the untilted axes are not trivial. A NaN tilt direction poisons
    // every tilt rotation, so a NaN focus axis shows that the tilt was applied.
    host.cameras().setRotationKey(item, 0.0, {0.4, -0.3, 0.2});
    struct Case {
        double angle;
        double direction;
        bool tilted;
    };
    const Case cases[] = {
        {0.0, kNaN, false},  {-0.0, kNaN, false},  {0.0, 1.3, false},
        {-0.0, -2.0, false}, {1e-300, kNaN, true}, {kNaN, 0.0, true},
    };
    const DVec3 right = host.cameras().vectorAt(item, ITEM_RIGHT, 0.0);
    const DVec3 up = host.cameras().vectorAt(item, ITEM_UP, 0.0);
    for (const Case& c : cases) {
        setSettings(camera,
                    {.zoomFactor = 2.0, .tiltDirection = c.direction, .tiltAngle = c.angle});
        ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
        const MotionSample& s = entry(0);
        const std::string what =
            "angle " + numberText(c.angle) + ", direction " + numberText(c.direction);
        if (c.tilted) {
            EXPECT_FALSE(isFinite(s.focusAxisX)) << what;
            EXPECT_FALSE(isFinite(s.focusAxisY)) << what;
        } else {
            // Exactly the host's axes times kX = (1 / |X|) * q and kY = (1 / |Y|) * q.
            EXPECT_TRUE(sameBits(scaled(right, (1.0 / length(right)) * kScale), s.focusAxisX))
                << what;
            EXPECT_TRUE(sameBits(scaled(up, (1.0 / length(up)) * kScale), s.focusAxisY)) << what;
        }
    }
}

TEST_F(SampleTableTest, ForwardAndPositionArePassedOnBitForBit) {
    // A host whose axes are not of unit length: the focus centre still lies at the focus
    // distance, and the aperture still has radius r.
    const DVec3 position = {0.1, -7.25e3, 1.0 / 3.0};
    const DVec3 right = {0.0, 0.0, -3.0}; // three times the unit length
    const DVec3 up = {0.0, 0.5, 0.0};
    const DVec3 forward = {1.0 / 3.0, -0.2, 0.0}; // length 0.3887...
    host.cameras().overrideVector(item, ITEM_POSITION, position);
    host.cameras().overrideVector(item, ITEM_RIGHT, right);
    host.cameras().overrideVector(item, ITEM_UP, up);
    host.cameras().overrideVector(item, ITEM_FORWARD, forward);
    setSettings(camera, {.zoomFactor = 2.0});
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
    const MotionSample& s = entry(0);
    EXPECT_TRUE(sameBits(forward, s.forward));
    EXPECT_TRUE(sameBits(position, s.position));
    const double f = length(forward);
    expectNear(scaled(forward, kFocusDistance / f), s.focusCenter, 1e-12, "focusCenter");
    EXPECT_NEAR(kFocusDistance, length(s.focusCenter), 1e-12);
    expectNear({0.0, 0.0, -kScale}, s.focusAxisX, kTolerance, "focusAxisX");
    expectNear({0.0, kScale, 0.0}, s.focusAxisY, kTolerance, "focusAxisY");
    expectNear({0.0, 0.0, -0.003}, s.apertureX, 1e-15, "apertureX");
    expectNear({0.0, 0.003, 0.0}, s.apertureY, 1e-15, "apertureY");
}

TEST_F(SampleTableTest, ApertureAndFocusCentreNeverDependOnTheTilt) {
    host.cameras().setRotationKey(item, 0.0, {-0.6, 0.35, 1.1});
    setSettings(camera, {.zoomFactor = 2.0});
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
    const MotionSample untilted = entry(0);
    const double tilts[][2] = {{0.0, 0.4}, {1.1, -0.9}, {-2.5, kPi / 2.0}, {3.0, 1e-9}};
    for (const auto& tilt : tilts) {
        setSettings(camera, {.zoomFactor = 2.0, .tiltDirection = tilt[0], .tiltAngle = tilt[1]});
        ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
        const MotionSample& s = entry(0);
        EXPECT_TRUE(sameBits(untilted.apertureX, s.apertureX)) << tilt[0] << ", " << tilt[1];
        EXPECT_TRUE(sameBits(untilted.apertureY, s.apertureY)) << tilt[0] << ", " << tilt[1];
        EXPECT_TRUE(sameBits(untilted.focusCenter, s.focusCenter)) << tilt[0] << ", " << tilt[1];
        // The tilt turns the film axes without changing their length.
        EXPECT_NEAR(length(untilted.focusAxisX), length(s.focusAxisX), kTolerance);
        EXPECT_NEAR(length(untilted.focusAxisY), length(s.focusAxisY), kTolerance);
    }
}

// --- The instance and the table after a call ---------------------------------------------------

TEST_F(SampleTableTest, InstanceKeepsTheLastSubFrameValuesAndTheFilmSize) {
    EXPECT_EQ(0.0, camera->filmWidth);
    EXPECT_EQ(0.0, camera->filmHeight);
    // Every setting animated differently over the frame from 3 to 4.
    const double atStart[5] = {1.5, 0.1, -0.1, 0.2, 0.05};
    const double atEnd[5] = {2.5, -0.3, 0.4, -0.6, 0.15};
    for (int i = 0; i < 5; ++i) {
        host.channels().setKeys(camera->*kSettingFields[i].channel,
                                {{3.0, atStart[i]}, {4.0, atEnd[i]}});
    }
    HostCameraRecord* wide = recordFor(item, 0.05, 0.03);
    ASSERT_EQ(nullptr, newFrame(camera, 3.0, 1.0, 1, wide));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(atEnd[i], camera->*kSettingFields[i].value) << kSettingFields[i].channelName;
    }
    EXPECT_EQ(0.05, camera->filmWidth);
    EXPECT_EQ(0.03, camera->filmHeight);
    // The film shift of each entry follows its own sub-frame values.
    EXPECT_EQ(atStart[1] * 0.05, entry(0).shiftX);
    EXPECT_EQ(0.03 * atEnd[2], entry(4).shiftY);
}

TEST_F(SampleTableTest, ImpossibleStepCountFailsWithoutATableAndTheNextFrameRecovers) {
    std::vector<std::int32_t> counts = {-1, -2, std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max(),
                                        // N = 4 x steps no longer fits 32 bits
                                        0x40000000};
    if (sizeof(std::size_t) == 4) {
        // The first count whose block of 184-byte entries exceeds a 32-bit address space.
        counts.push_back(5835554);
    }
    for (std::int32_t steps : counts) {
        ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, record)); // a table to lose
        ASSERT_NE(nullptr, sampleTable.entries);
        host.log().clear();
        EXPECT_STREQ("Can't allocate Memory", newFrame(camera, 0.0, 1.0, steps, record))
            << steps << " steps";
        EXPECT_EQ(nullptr, sampleTable.entries) << steps << " steps";
        EXPECT_THAT(host.log().calls(), IsEmpty()) << "no entry is built for " << steps;
        RayRecord ray = {};
        EXPECT_EQ(0, handler->evaluate(camera, 0.0, 0.0, 0.0, 0.0, 0.5, &ray));

        setSettings(camera, {.zoomFactor = 2.0});
        ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, record));
        ASSERT_NE(nullptr, sampleTable.entries);
        EXPECT_EQ(4u, sampleTable.count);
        EXPECT_EQ(11u * 5u, host.log().size()); // five entries of 11 host calls
        for (std::uint32_t i = 0; i <= 4; ++i) {
            expectNear({0.0, 0.0, 10.0}, entry(i).focusCenter, 1e-12, "focusCenter");
        }
        EXPECT_EQ(1, handler->evaluate(camera, 0.0, 0.0, 0.0, 0.0, 1.0, &ray));
    }
}

TEST_F(SampleTableTest, ZeroFocalLengthStillSucceedsWithNonFiniteEntries) {
    setSettings(camera, {.zoomFactor = 0.0});
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));
    EXPECT_FALSE(isFinite(entry(0).focusAxisX));
    EXPECT_FALSE(isFinite(entry(0).focusCenter));
    EXPECT_TRUE(sameBits({0.0, 0.0, 1.0}, entry(0).forward));
}

TEST_F(SampleTableTest, TheTableIsThatOfTheLatestNewFrameWhicheverInstance) {
    const HostItemId secondItem = host.cameras().addCamera("Second");
    setLens(secondItem, 4.0, 2.0);
    CameraInstance* second = createCamera(secondItem);
    setSettings(camera, {.zoomFactor = 2.0, .hShift = 0.1});
    setSettings(second, {.zoomFactor = 5.0, .hShift = -0.25});

    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, recordFor(item, 0.036, 0.024)));
    const double firstZoom = camera->zoomFactor;
    ASSERT_EQ(nullptr, newFrame(second, 0.0, 1.0, 1, recordFor(secondItem, 0.036, 0.024)));
    EXPECT_EQ(4u, sampleTable.count);
    const double f = 0.024 * 5.0 * 0.5;
    for (std::uint32_t i = 0; i <= 4; ++i) {
        EXPECT_DOUBLE_EQ(-0.25 * 0.036, entry(i).shiftX);
        expectNear({0.0, 0.0, 4.0}, entry(i).focusCenter, 1e-12, "focusCenter");
        expectNear({4.0 / f, 0.0, 0.0}, entry(i).focusAxisX, 1e-12 * 4.0 / f, "focusAxisX");
        expectNear({f / 2.0 * 0.5, 0.0, 0.0}, entry(i).apertureX, 1e-15, "apertureX");
    }
    // Rays of the first camera's instance come from the second camera's table.
    RayRecord ray = {};
    ASSERT_EQ(1, handler->evaluate(camera, 0.0, 0.0, 0.0, 0.0, 0.5, &ray));
    EXPECT_NEAR(-0.25 * 0.036 / f, ray.direction.x / ray.direction.z, 1e-12);
    // The second call left the first instance alone.
    EXPECT_EQ(firstZoom, camera->zoomFactor);
    EXPECT_EQ(5.0, second->zoomFactor);
}

// --- Depth of field ----------------------------------------------------------------------------

// With no tilt the table reproduces the thin lens: in the camera's own frame the pinhole ray
// through a film point runs along d = (a, b, f), it meets the plane of focus at d * (D / d.z),
// and every ray through that film point, from wherever it leaves the lens, passes there.
TEST_F(SampleTableTest, RaysThroughOneFilmPointMeetAtTheThinLensFocusPoint) {
    const double focusDistance = 7.5;
    const double fStop = 2.8;
    const CameraSettings settings = {
        .zoomFactor = 3.2, .hShift = 0.05, .vShift = -0.1, .tiltDirection = 0.9};
    host.cameras().setPositionKey(item, 0.0, {1.0, 2.0, -3.0});
    host.cameras().setRotationKey(item, 0.0, {0.3, -0.2, 0.1});
    setLens(item, focusDistance, fStop);
    setSettings(camera, settings);
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 0, record));

    const DVec3 P = host.cameras().vectorAt(item, ITEM_POSITION, 0.0);
    const DVec3 X = host.cameras().vectorAt(item, ITEM_RIGHT, 0.0);
    const DVec3 Y = host.cameras().vectorAt(item, ITEM_UP, 0.0);
    const DVec3 Z = host.cameras().vectorAt(item, ITEM_FORWARD, 0.0);
    auto toWorld = [&](const DVec3& c) {
        return DVec3{P.x + c.x * X.x + c.y * Y.x + c.z * Z.x,
                     P.y + c.x * X.y + c.y * Y.y + c.z * Z.y,
                     P.z + c.x * X.z + c.y * Y.z + c.z * Z.z};
    };
    const double f = 0.024 * settings.zoomFactor * 0.5;
    const double r = f / (2.0 * fStop);

    const double filmPoints[][2] = {{0.0, 0.0}, {0.012, -0.008}, {-0.017, 0.011}};
    const double lensPoints[][2] = {{0.0, 0.0}, {1.0, 0.0}, {-0.6, 0.8}, {0.3, -0.45}};
    for (const auto& film : filmPoints) {
        const DVec3 d = {film[0] + settings.hShift * 0.036, film[1] + settings.vShift * 0.024, f};
        const DVec3 focus = toWorld(scaled(d, focusDistance / d.z));
        for (const auto& lens : lensPoints) {
            const DVec3 origin = toWorld({r * lens[0], r * lens[1], 0.0});
            RayRecord ray = {};
            ASSERT_EQ(1, handler->evaluate(camera, film[0], film[1], lens[0], lens[1], 0.0, &ray));
            const std::string what = "film (" + numberText(film[0]) + ", " + numberText(film[1]) +
                                     "), lens (" + numberText(lens[0]) + ", " +
                                     numberText(lens[1]) + ")";
            expectNear(origin, ray.origin, 1e-12, what + " origin");
            // The ray's direction points from its origin to the focus point.
            const DVec3 toFocus = {focus.x - ray.origin.x, focus.y - ray.origin.y,
                                   focus.z - ray.origin.z};
            const double reach = length(toFocus) / length(ray.direction);
            expectNear(focus,
                       {ray.origin.x + reach * ray.direction.x,
                        ray.origin.y + reach * ray.direction.y,
                        ray.origin.z + reach * ray.direction.z},
                       1e-9, what + " focus point");
        }
    }
}

// --- A host without "LW Camera Info 5" ----------------------------------------------------------

// Activation accepts such a host; both the render and the preview path then see a pinhole
// focused at 1.0 and never reach for the missing service.
TEST_F(CameraHostTest, WithoutCameraInfoBothCallbacksUseAPinholeFocusedAtOne) {
    host.setServiceAbsent(SERVICE_CAMERA_INFO);
    activate();
    const HostItemId item = host.cameras().addCamera();
    CameraInstance* camera = createCamera(item);
    setSettings(camera, {.zoomFactor = 2.0, .hShift = 0.1, .vShift = -0.2});
    const HostCameraRecord* record = recordFor(item, 0.036, 0.024);
    host.log().clear();

    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, record));
    const double f = 0.024;
    for (std::uint32_t i = 0; i <= sampleTable.count; ++i) {
        const MotionSample& s = sampleTable.entries[i];
        EXPECT_TRUE(sameBits({0.0, 0.0, 0.0}, s.apertureX));
        EXPECT_TRUE(sameBits({0.0, 0.0, 0.0}, s.apertureY));
        expectNear({0.0, 0.0, 1.0}, s.focusCenter, 1e-15, "focusCenter");
        expectNear({1.0 / f, 0.0, 0.0}, s.focusAxisX, 1e-12, "focusAxisX");
    }
    // Every ray leaves from the pinhole, wherever the host puts the lens sample.
    RayRecord ray = {};
    ASSERT_EQ(1, handler->evaluate(camera, 0.01, 0.0, 1.0, -1.0, 0.0, &ray));
    EXPECT_TRUE(sameBits(host.cameras().vectorAt(item, ITEM_POSITION, 0.0), ray.origin));

    // The preview: no lens offset at all, whatever lens position the host asks for.
    hostsim::GuardedRecord<Matrix4d> projection("Matrix4d");
    ASSERT_EQ(1, handler->preview(camera, 1.0, 1.0, projection.get(), record));
    const double* m = projection->m;
    EXPECT_EQ(0.0, m[12]);
    EXPECT_EQ(0.0, m[13]);
    EXPECT_DOUBLE_EQ(0.1 * 0.036, m[8]);
    EXPECT_DOUBLE_EQ(-0.2 * 0.024, m[9]);
    EXPECT_EQ(f, m[0]);
    EXPECT_TRUE(projection.check());

    for (const hostsim::HostCall& call : host.log().calls()) {
        EXPECT_NE(SERVICE_CAMERA_INFO, call.service) << callText(call);
    }
}

} // namespace
