// The projection the host draws its interactive view with, asked through the handler's preview
// callback. Expected matrices are built here from the camera's closed forms: the tilt rotation
// A about u = (cos(-direction), sin(-direction), 0) and the perspective P with the zoom, film
// shift and lens offset; the host is to receive A . P.
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/camera_host.h"

namespace {

using namespace camtest;
using hostsim::numberText;
using testing::ElementsAreArray;

constexpr double kFar = 65000.0;

struct Matrix {
    double e[4][4];
};

// p turned by angle about the unit axis u, right-handed: +x about +z goes towards +y.
DVec3 rotated(const DVec3& p, const DVec3& u, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const DVec3 cross = {u.y * p.z - u.z * p.y, u.z * p.x - u.x * p.z, u.x * p.y - u.y * p.x};
    const double along = (u.x * p.x + u.y * p.y + u.z * p.z) * (1.0 - c);
    return {p.x * c + cross.x * s + u.x * along, p.y * c + cross.y * s + u.y * along,
            p.z * c + cross.z * s + u.z * along};
}

// Row i is the image of basis vector i: row vectors are turned by multiplying from the left.
Matrix tiltRotation(double direction, double angle) {
    const DVec3 u = {std::cos(-direction), std::sin(-direction), 0.0};
    Matrix a = {};
    const DVec3 basis[3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    for (int i = 0; i < 3; ++i) {
        const DVec3 row = rotated(basis[i], u, angle);
        a.e[i][0] = row.x;
        a.e[i][1] = row.y;
        a.e[i][2] = row.z;
    }
    a.e[3][3] = 1.0;
    return a;
}

// What the camera looks like to the preview, and how it settles the degenerate lens cases.
struct PreviewCamera {
    double filmWidth = 0.036;
    double filmHeight = 0.024;
    CameraSettings settings;
    double focusDistance = 10.0;
    double fStop = 4.0;
    double lensX = 0.0;
    double lensY = 0.0;
};

Matrix expectedProjection(const PreviewCamera& c) {
    const CameraSettings& s = c.settings;
    const double f = c.filmHeight * s.zoomFactor * 0.5;
    // An f-stop that isn't a positive number is a pinhole.
    const bool pinhole = !(c.fStop > 0.0) || !std::isfinite(c.fStop);
    const double r = pinhole ? 0.0 : f / c.fStop * 0.5;
    const double x0 = -(c.filmWidth * c.lensX);
    const double y0 = -(c.filmWidth * c.lensY);
    // Without a focus distance the lens offset has no plane to be cancelled at.
    const double lensAtFocusX = c.focusDistance == 0.0 ? 0.0 : r * x0 / c.focusDistance;
    const double lensAtFocusY = c.focusDistance == 0.0 ? 0.0 : r * y0 / c.focusDistance;
    const double sinAngle = std::sin(s.tiltAngle);
    const DVec3 d = {-sinAngle * std::sin(s.tiltDirection), -sinAngle * std::cos(s.tiltDirection),
                     std::cos(s.tiltAngle)};
    const double n = d.z * f;
    const Matrix p = {{
        {n, 0.0, 0.0, 0.0},
        {0.0, n, 0.0, 0.0},
        {lensAtFocusX + s.hShift * c.filmWidth - d.x * f,
         lensAtFocusY + s.vShift * c.filmHeight - d.y * f, -(kFar + n) / (kFar - n), -1.0},
        {r * x0, r * y0, -(n * 2.0 * kFar) / (kFar - n), 0.0},
    }};
    const Matrix a = tiltRotation(s.tiltDirection, s.tiltAngle);
    Matrix ap = {};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                ap.e[i][j] += a.e[i][k] * p.e[k][j];
            }
        }
    }
    return ap;
}

class PreviewTest : public OneCameraTest {
  protected:
    // Sets up the host camera as described and asks for its preview.
    Matrix4d preview(const PreviewCamera& c) {
        setSettings(camera, c.settings);
        setLens(item, c.focusDistance, c.fStop);
        return previewAt(c.lensX, c.lensY, recordFor(item, c.filmWidth, c.filmHeight));
    }

    Matrix4d previewAt(double lensX, double lensY, const HostCameraRecord* cameraRecord) {
        // Filled with a pattern no element of a projection has, to see that all 16 are written.
        hostsim::GuardedRecord<Matrix4d> projection("Matrix4d", 1, 0xCD);
        EXPECT_EQ(1, handler->preview(camera, lensX, lensY, projection.get(), cameraRecord));
        EXPECT_TRUE(projection.check()) << projection.damage();
        Matrix4d pattern;
        std::memset(&pattern, 0xCD, sizeof(pattern));
        for (int i = 0; i < 16; ++i) {
            EXPECT_NE(0, std::memcmp(&pattern.m[i], &projection->m[i], sizeof(double)))
                << "element " << i << " left unwritten";
        }
        return *projection;
    }

    static void expectMatrixNear(const Matrix& expected, const Matrix4d& actual,
                                 const std::string& what) {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                EXPECT_NEAR(expected.e[i][j], actual.m[4 * i + j], 1e-12)
                    << what << ": element (" << i << ", " << j << ")";
            }
        }
    }

    static void expectFinite(const Matrix4d& m, const std::string& what) {
        for (int i = 0; i < 16; ++i) {
            EXPECT_TRUE(std::isfinite(m.m[i])) << what << ": element " << i << " is " << m.m[i];
        }
    }
};

TEST_F(PreviewTest, WithoutTiltTheHostReceivesThePerspectiveItself) {
    PreviewCamera c;
    // A tilt direction alone changes nothing.
    c.settings = {.zoomFactor = 2.0, .hShift = 0.1, .vShift = -0.2, .tiltDirection = 0.8};
    c.lensX = 0.3;
    c.lensY = -0.2;
    const Matrix4d m = preview(c);
    const double f = 0.024;
    const double r = f / 4.0 * 0.5;
    const double x0 = -(0.036 * 0.3);
    const double y0 = -(0.036 * -0.2);
    const double expected[16] = {f,
                                 0.0,
                                 0.0,
                                 0.0, //
                                 0.0,
                                 f,
                                 0.0,
                                 0.0, //
                                 r * x0 / 10.0 + 0.1 * 0.036,
                                 r * y0 / 10.0 + -0.2 * 0.024,
                                 -(kFar + f) / (kFar - f),
                                 -1.0,
                                 r * x0,
                                 r * y0,
                                 -(f * 2.0 * kFar) / (kFar - f),
                                 0.0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_DOUBLE_EQ(expected[i], m.m[i]) << "element " << i;
    }
}

TEST_F(PreviewTest, TiltedProjectionIsTheTiltRotationTimesThePerspective) {
    const double tilts[][2] = {{0.4, 0.3}, {-1.2, -0.7}, {kPi / 2.0, 0.25}, {3.0, 1.2}, {0.0, 0.5}};
    for (const auto& tilt : tilts) {
        PreviewCamera c;
        c.settings = {.zoomFactor = 3.2,
                      .hShift = -0.15,
                      .vShift = 0.05,
                      .tiltDirection = tilt[0],
                      .tiltAngle = tilt[1]};
        c.focusDistance = 6.0;
        c.fStop = 2.8;
        c.lensX = 0.5;
        c.lensY = -0.25;
        expectMatrixNear(expectedProjection(c), preview(c),
                         "direction " + numberText(tilt[0]) + ", angle " + numberText(tilt[1]));
    }
}

TEST_F(PreviewTest, LensOffsetIsScaledByTheFilmWidthOnBothAxes) {
    PreviewCamera c;
    c.settings = {.zoomFactor = 2.0, .hShift = 0.1, .vShift = -0.2};
    const Matrix4d centred = preview(c);
    const double f = 0.024;
    EXPECT_EQ(0.0, centred.m[12]);
    EXPECT_EQ(0.0, centred.m[13]);
    EXPECT_DOUBLE_EQ(-(f * 2.0 * kFar) / (kFar - f), centred.m[14]);
    EXPECT_EQ(0.0, centred.m[15]);
    EXPECT_EQ(0.1 * 0.036, centred.m[8]);
    EXPECT_EQ(-0.2 * 0.024, centred.m[9]);

    c.lensX = 1.0;
    c.lensY = 1.0;
    const Matrix4d corner = preview(c);
    const double r = f / 4.0 * 0.5;
    EXPECT_DOUBLE_EQ(r * -0.036, corner.m[12]);
    EXPECT_EQ(corner.m[12], corner.m[13]) << "x0 = y0 = -0.036 on a 0.036 x 0.024 film";
    EXPECT_DOUBLE_EQ(r * -0.036 / 10.0 + 0.1 * 0.036, corner.m[8]);
    EXPECT_DOUBLE_EQ(r * -0.036 / 10.0 + -0.2 * 0.024, corner.m[9]);
}

// Depth of field in the view: a point at the focus distance (in the tilted frame) projects to
// the same place whatever lens position the host asks for.
TEST_F(PreviewTest, PointsAtTheFocusDistanceStayPutWhenTheLensMoves) {
    PreviewCamera c;
    c.settings = {
        .zoomFactor = 2.6, .hShift = 0.05, .vShift = 0.1, .tiltDirection = 0.6, .tiltAngle = 0.35};
    c.focusDistance = 4.0;
    c.fStop = 1.4;
    const Matrix4d still = preview(c);
    c.lensX = 0.7;
    c.lensY = -0.4;
    const Matrix4d moved = preview(c);
    const Matrix a = tiltRotation(c.settings.tiltDirection, c.settings.tiltAngle);
    for (const auto& xy : {std::pair{0.0, 0.0}, std::pair{1.5, -0.5}, std::pair{-2.0, 3.0}}) {
        // q . A = (x, y, -D); A is orthogonal, so q = (x, y, -D) . A^T.
        const double turned[3] = {xy.first, xy.second, -c.focusDistance};
        double q[4] = {0.0, 0.0, 0.0, 1.0};
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                q[j] += turned[k] * a.e[j][k];
            }
        }
        for (int column : {0, 1, 3}) {
            double before = 0.0;
            double after = 0.0;
            for (int k = 0; k < 4; ++k) {
                before += q[k] * still.m[4 * k + column];
                after += q[k] * moved.m[4 * k + column];
            }
            EXPECT_NEAR(before, after, 1e-12)
                << "column " << column << " at " << xy.first << ", " << xy.second;
        }
    }
    // A point off the focus distance does move, so the check above is not empty.
    EXPECT_NE(still.m[12], moved.m[12]);
}

TEST_F(PreviewTest, TiltAtTheLimitsOfTheAngleControlStaysFinite) {
    for (double angle : {kPi / 2.0, -kPi / 2.0}) {
        for (double direction : {0.0, 0.8, -2.0}) {
            PreviewCamera c;
            c.settings = {
                .zoomFactor = 2.0, .hShift = 0.1, .tiltDirection = direction, .tiltAngle = angle};
            c.lensX = 0.5;
            c.lensY = 0.5;
            const std::string what =
                "angle " + numberText(angle) + ", direction " + numberText(direction);
            const Matrix4d m = preview(c);
            expectFinite(m, what);
            expectMatrixNear(expectedProjection(c), m, what);
        }
    }
}

// Host values the lens formulas can't divide by: a pinhole for an f-stop that isn't a positive
// number, no lens term at focus for a focus distance of 0. The matrix stays finite.
TEST_F(PreviewTest, DegenerateLensValuesGiveAFiniteMatrix) {
    struct Case {
        const char* name;
        double zoomFactor;
        double focusDistance;
        double fStop;
    };
    const Case cases[] = {
        {"f-stop 0", 2.0, 10.0, 0.0},        {"negative f-stop", 2.0, 10.0, -2.0},
        {"NaN f-stop", 2.0, 10.0, kNaN},     {"infinite f-stop", 2.0, 10.0, kInf},
        {"focus distance 0", 2.0, 0.0, 4.0}, {"both 0", 2.0, 0.0, 0.0},
        {"zoom factor 0", 0.0, 10.0, 4.0},
    };
    for (const Case& k : cases) {
        PreviewCamera c;
        c.settings = {.zoomFactor = k.zoomFactor,
                      .hShift = 0.1,
                      .vShift = -0.2,
                      .tiltDirection = 0.3,
                      .tiltAngle = 0.5};
        c.focusDistance = k.focusDistance;
        c.fStop = k.fStop;
        c.lensX = 1.0;
        c.lensY = 1.0;
        const Matrix4d m = preview(c);
        expectFinite(m, k.name);
        expectMatrixNear(expectedProjection(c), m, k.name);
    }
}

TEST_F(PreviewTest, FilmSizeOfTheRecordStaysInTheInstance) {
    setSettings(camera, {.zoomFactor = 2.0});
    EXPECT_EQ(0.0, camera->filmWidth);
    previewAt(0.0, 0.0, recordFor(item, 0.036, 0.024));
    EXPECT_EQ(0.036, camera->filmWidth);
    EXPECT_EQ(0.024, camera->filmHeight);
    const Matrix4d m = previewAt(0.0, 0.0, recordFor(item, 0.05, 0.03));
    EXPECT_EQ(0.05, camera->filmWidth);
    EXPECT_EQ(0.03, camera->filmHeight);
    EXPECT_EQ(0.03 * 2.0 * 0.5, m.m[0]) << "the focal length follows the new film height";
}

TEST_F(PreviewTest, SamplesAtTheHostsCurrentTimeLookingTheTimeUpOnEveryCall) {
    for (int i = 0; i < 5; ++i) {
        host.channels().setKeys(camera->*kSettingFields[i].channel,
                                {{0.0, 1.0 + i}, {4.0, 2.0 + 0.5 * i}});
    }
    host.cameras().setFocusDistanceKey(item, 0.0, 3.0);
    host.cameras().setFocusDistanceKey(item, 4.0, 5.0);
    for (double time : {1.5, 2.5}) {
        host.setTime(time);
        host.log().clear();
        previewAt(0.2, 0.1, record);
        std::vector<std::string> expected = {"globalLookup.LW Time Info()"};
        for (const std::string& call : settingCalls(camera, time)) {
            expected.push_back(call);
        }
        expected.push_back("LW Camera Info 5.focusDistance(" + text(item) + ", " +
                           numberText(time) + ")");
        expected.push_back("LW Camera Info 5.fStop(" + text(item) + ", " + numberText(time) + ")");
        EXPECT_THAT(callTexts(), ElementsAreArray(expected)) << "at " << time;
        for (const SettingFields& field : kSettingFields) {
            EXPECT_EQ(host.channels().valueAt(camera->*field.channel, time), camera->*field.value)
                << field.channelName << " at " << time;
        }
    }
}

TEST_F(PreviewTest, WithoutTimeInfoThePreviewSamplesAtTimeZero) {
    for (int i = 0; i < 5; ++i) {
        host.channels().setKeys(camera->*kSettingFields[i].channel,
                                {{0.0, 0.1 * (i + 1)}, {5.0, -1.0 - i}});
    }
    host.setTime(5.0);
    host.setServiceAbsent(SERVICE_TIME_INFO);
    host.log().clear();
    const Matrix4d m = previewAt(0.0, 0.0, record);
    expectFinite(m, "no time service");
    std::vector<std::string> expected = {"globalLookup.LW Time Info()"};
    for (const std::string& call : settingCalls(camera, 0.0)) {
        expected.push_back(call);
    }
    expected.push_back("LW Camera Info 5.focusDistance(" + text(item) + ", " + numberText(0.0) +
                       ")");
    expected.push_back("LW Camera Info 5.fStop(" + text(item) + ", " + numberText(0.0) + ")");
    EXPECT_THAT(callTexts(), ElementsAreArray(expected));
    for (const SettingFields& field : kSettingFields) {
        EXPECT_EQ(host.channels().valueAt(camera->*field.channel, 0.0), camera->*field.value)
            << field.channelName;
    }
}

} // namespace
